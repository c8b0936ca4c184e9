// The categories view on the sample workspace: names, renames, the label
// edit lockout, drag and drop, delete with undo, and keys (the edits' rules:
// the core's DocumentEdits tests).

#include "gui/views/CategoriesView.h"
#include "gui/views/CommentView.h"
#include "gui/views/TextStepEdit.h"

#include "ViewsFixture.h"
#include "category/CategorySystem.h"
#include "code/State.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

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
