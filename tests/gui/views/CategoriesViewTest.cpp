// The categories view on the sample workspace: names, renames, the label
// edit lockout, drag and drop, delete with undo, and keys (the edits' rules:
// the core's DocumentEdits tests).

#include "gui/views/CategoriesView.h"
#include "gui/views/CommentView.h"
#include "gui/views/TextStepEdit.h"

#include "ViewsFixture.h"
#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/DocumentEdits.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <random>

namespace bram::test {
namespace {

using gui::CCategoriesView;

class CategoriesViewTest : public ViewsTest {
protected:
    QAction* Action(const char* name) const { return categories->Action(QLatin1String(name)); }
    QString ParentOf(const QString& label) const
    {
        const QTreeWidgetItem* item = Item(label);
        return item != nullptr && item->parent() != nullptr ? item->parent()->text(0) : QString();
    }
    bool Editing() const { return LabelEditor(categories) != nullptr; }
};

// After any mix of edits, undo and redo, the tree the view keeps up to date
// is the one a view built afresh shows: labels, order, what each item
// names (the roles the commands read) and the greyed disabled triggers.
TEST_F(CategoriesViewTest, AfterAnyEditsTheTreeIsTheOneBuiltAfresh)
{
    Countdown();
    const std::function<void(const QTreeWidgetItem*, QStringList&)> dump = [&](const QTreeWidgetItem* item,
                                                                               QStringList& out) {
        QStringList roles;
        for (int role = Qt::UserRole; role < Qt::UserRole + 8; ++role) {
            roles << item->data(0, role).toString();
        }
        out << item->text(0) + "|" + item->text(1) + "|" + roles.join(',') + "|" +
                   QString::number(item->foreground(0).style() != Qt::NoBrush);
        for (int i = 0; i < item->childCount(); ++i) {
            dump(item->child(i), out);
        }
    };
    const auto rows = [&](const QTreeWidget& tree) {
        QStringList out;
        dump(tree.topLevelItem(0), out);
        return out;
    };
    std::mt19937 random(7);
    const auto pick = [&random](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const auto entry = [&]() -> CTriggerEntry* {
        CCategorySystem& all = document.GetCategorySystem();
        CCategory* category = all.GetCategory(pick(all.GetCategoryCount()));
        return category->GetTriggerCount() == 0 ? nullptr : category->GetTrigger(pick(category->GetTriggerCount()));
    };
    for (int round = 0; round < 150; ++round) {
        CCategorySystem& all = document.GetCategorySystem();
        CCategory* category = all.GetCategory(pick(all.GetCategoryCount()));
        switch (pick(7)) {
        case 0: CreateTrigger(document, category); break;
        case 1: RenameTrigger(document, entry(), "R" + std::to_string(pick(40))); break;
        case 2: MoveTrigger(document, entry(), category, pick(4)); break;
        case 3:
            if (CTriggerEntry* e = entry()) {
                SetTriggerEnabled(document, e->GetId(), pick(2) == 0);
            }
            break;
        case 4: DeleteTrigger(document, entry()); break;
        case 5: document.Undo(); break;
        default: document.Redo(); break;
        }
        document.UpdateAllViews();
        CCategoriesView fresh(document);
        ASSERT_EQ(rows(*categories), rows(fresh)) << "round " << round;
    }
}

// The names themselves are the core's (DocumentEdits.NewNamesAreTheFirstFreeNumberedLocalizedNames).
TEST_F(CategoriesViewTest, NewItemsOpenTheirLabelAndTriggersGoIntoTheSelectedCategory)
{
    Show();
    Action("NewCategory")->trigger();
    Action("NewCategory")->trigger();
    ASSERT_TRUE(Editing());
    EXPECT_EQ(LabelEditor(categories)->text(), QStringLiteral("Category 2"));
    QTest::keyClick(LabelEditor(categories), Qt::Key_Escape);

    // A new trigger goes into the selected category, or the selected trigger's.
    Select("Category 2");
    Action("NewTrigger")->trigger();
    ASSERT_TRUE(Editing());
    EXPECT_EQ(categories->currentItem()->text(0), QStringLiteral("Trigger1"));
    Select("Category 1");
    Action("NewTrigger")->trigger();
    Select("Trigger1");
    Action("NewTrigger")->trigger();
    EXPECT_EQ(Children(Item("Category 2")), (QStringList{"Trigger1", "Trigger3"}));
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Trigger3");
    categories->setCurrentItem(categories->RootItem());
    categories->OnUpdate();
    EXPECT_FALSE(Action("NewTrigger")->isEnabled());
    EXPECT_FALSE(Action("Delete")->isEnabled());
}

TEST_F(CategoriesViewTest, RenamesStoreNormalizedNamesAndRefuseSilently)
{
    Countdown();
    Rename(Item("Tick"), QStringLiteral("Start Game!"));
    EXPECT_EQ(Item("Tick"), nullptr);
    EXPECT_EQ(ParentOf("Start_Game"), QStringLiteral("Timers"));
    EXPECT_TRUE(document.GetCategorySystem().HasTrigger("Start_Game"));
    const std::size_t steps = UndoNames().size();
    Rename(Item("Start_Game"), QStringLiteral("Hello"));
    EXPECT_NE(Item("Start_Game"), nullptr) << "a refused name leaves the label";
    EXPECT_EQ(UndoNames().size(), steps);
    EXPECT_EQ(UndoNames().back(), "History/CatView_RenameTrigger");

    // Each level stays alphabetical.
    Rename(Item("Unused"), QStringLiteral("aardvark"));
    EXPECT_EQ(Children(Item("Timers")), (QStringList{"aardvark", "Start_Game"}));
    Rename(Item("Timers"), QStringLiteral("Alarms"));
    EXPECT_EQ(Children(categories->RootItem()), (QStringList{"Alarms", "Finish", "Start"}));
    document.OnEditUndo();
    EXPECT_EQ(Children(categories->RootItem()), (QStringList{"Finish", "Start", "Timers"}));
}

TEST_F(CategoriesViewTest, AClickWithin750msOfTheSelectingClickDoesNotEditTheLabel)
{
    Countdown();
    const int delay = QApplication::doubleClickInterval() + 100;
    Click(categories, Item("Hello"));
    Click(categories, Item("Hello"));
    QTest::qWait(delay);
    EXPECT_FALSE(Editing());

    Click(categories, Item("Tick"));
    QTest::qWait(CCategoriesView::kLabelEditLockoutMs + 50);
    Click(categories, Item("Tick"));
    QTest::qWait(delay);
    ASSERT_TRUE(Editing());
    EXPECT_EQ(LabelEditor(categories)->text(), QStringLiteral("Tick"));
}

TEST_F(CategoriesViewTest, TriggersDropOnlyIntoOtherCategories)
{
    Countdown("Tick");
    for (const QTreeWidgetItem* refused : {Item("Timers"), Item("Unused"), Item("Tick"), categories->RootItem()}) {
        EXPECT_FALSE(categories->CanDropOn(refused)) << refused->text(0).toStdString();
        EXPECT_FALSE(categories->DropOn(refused));
    }
    EXPECT_TRUE(UndoNames().empty());

    // Onto a category: appended; onto a trigger: takes its place in the list.
    ASSERT_TRUE(categories->DropOn(Item("Start")));
    EXPECT_EQ(ParentOf("Tick"), QStringLiteral("Start"));
    EXPECT_EQ(categories->currentItem(), Item("Tick"));
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Tick");
    Select("Unused");
    ASSERT_TRUE(categories->DropOn(Item("Bye")));
    const CCategory* finish = document.GetCategorySystem().FindCategory("Finish");
    ASSERT_EQ(finish->GetTriggerCount(), 3u);
    EXPECT_EQ(finish->GetTrigger(1)->GetName(), "Unused");
    EXPECT_EQ(UndoNames(), (std::vector<std::string>(2, "History/CatView_DragDropTrigger")));
}

TEST_F(CategoriesViewTest, DeletingACategoryTakesItsTriggersAndOneUndoBringsAllBack)
{
    Countdown("Timers");
    categories->setFocus();
    QTest::keyClick(categories, Qt::Key_Delete);
    EXPECT_EQ(Item("Timers"), nullptr);
    EXPECT_EQ(document.GetState()->GetTriggerCount(), 3u);
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/CatView_DeleteCategory"}));

    document.OnEditUndo();
    EXPECT_EQ(Children(Item("Timers")), (QStringList{"Tick", "Unused"}));
    // The disabled trigger is back, and greyed.
    EXPECT_NE(Item("Unused")->foreground(0).style(), Qt::NoBrush);
    EXPECT_EQ(Item("Tick")->foreground(0).style(), Qt::NoBrush);
}

TEST_F(CategoriesViewTest, KeysReachEveryCommandAndTheMenuFollowsTheSelection)
{
    Countdown();
    categories->setFocus();
    EXPECT_EQ(categories->accessibleName(), QStringLiteral("Categories and triggers"));
    Select("Unused");
    EXPECT_EQ(PopupMenu([this] { QTest::keyClick(categories, Qt::Key_Menu); }),
              (QStringList{"NewCategory+", "NewTrigger+", "Delete+", "Cut+", "Copy+", "Paste-", "Enable+",
                           "EnableAtBeginning+x"}));
    Select("Finish");
    EXPECT_EQ(PopupMenu([this] { QTest::keyClick(categories, Qt::Key_F10, Qt::ShiftModifier); }),
              (QStringList{"NewCategory+", "NewTrigger+", "Delete+", "Cut+", "Copy+", "Paste-", "Enable-",
                           "EnableAtBeginning-"}));

    // Insert makes a trigger and opens its label; F2 renames; Delete deletes.
    QTest::keyClick(categories, Qt::Key_Insert);
    ASSERT_NE(LabelEditor(categories), nullptr);
    QTest::keyClick(LabelEditor(categories), Qt::Key_Escape);
    EXPECT_EQ(ParentOf("Trigger1"), QStringLiteral("Finish"));
    QTest::keyClick(categories, Qt::Key_F2);
    ASSERT_NE(LabelEditor(categories), nullptr);
    LabelEditor(categories)->setText(QStringLiteral("Ping"));
    QTest::keyClick(LabelEditor(categories), Qt::Key_Return);
    Settle();
    ASSERT_EQ(categories->currentItem(), Item("Ping"));
    QTest::keyClick(categories, Qt::Key_Delete);
    EXPECT_EQ(Item("Ping"), nullptr);
    EXPECT_EQ(UndoNames().back(), "History/CatView_DeleteTrigger");

    // Enable from the menu greys the trigger; the comment view's box follows.
    Select("Bye");
    Action("Enable")->trigger();
    EXPECT_NE(Item("Bye")->foreground(0).style(), Qt::NoBrush);
    EXPECT_FALSE(comment->EnabledBox()->isChecked());
    EXPECT_EQ(UndoNames().back(), "History/Trigger_EnabledChanged");
}

} // namespace
} // namespace bram::test
