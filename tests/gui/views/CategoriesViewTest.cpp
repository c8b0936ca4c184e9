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
#include "gui/common/UserPrompts.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <functional>
#include <random>

namespace bram::test {
namespace {

using gui::CCategoriesModel;
using gui::CCategoriesView;

class CategoriesViewTest : public ViewsTest {
protected:
    QAction* Action(const char* name) const { return categories->Action(QLatin1String(name)); }
    QString ParentOf(const QString& label) const { return CatRow(label).parent().data().toString(); }
    bool Editing() const { return LabelEditor(categories) != nullptr; }
    static bool Greyed(const QModelIndex& row) { return row.data(Qt::ForegroundRole).isValid(); }
};

// What a model tester finds wrong in the signals and answers of a model.
class CModelComplaints {
public:
    explicit CModelComplaints(QAbstractItemModel* model)
        : m_tester(model, QAbstractItemModelTester::FailureReportingMode::Warning)
    {
        s_complaints.clear();
        m_previous = qInstallMessageHandler(&Collect);
    }
    ~CModelComplaints() { qInstallMessageHandler(m_previous); }
    static QStringList Complaints() { return s_complaints; }

private:
    static void Collect(QtMsgType /*type*/, const QMessageLogContext& context, const QString& message)
    {
        if (context.category != nullptr && std::string_view(context.category) == "qt.modeltest") {
            s_complaints << message;
        }
    }
    static inline QStringList s_complaints;
    QAbstractItemModelTester m_tester;
    QtMessageHandler m_previous = nullptr;
};

// After any mix of edits, undo and redo, reported as the edits note them or
// as "anything changed", the rows the model keeps up to date are those a model built
// afresh shows: labels, order, what each row names (what the commands read)
// and the greyed disabled triggers; and a model tester finds every signal
// consistent with the rows.
TEST_F(CategoriesViewTest, AfterAnyEditsTheTreeIsTheOneBuiltAfresh)
{
    Countdown();
    CModelComplaints complaints(categories->Model());
    const std::function<void(const CCategoriesModel&, const QModelIndex&, QStringList&)> dump =
        [&](const CCategoriesModel& model, const QModelIndex& row, QStringList& out) {
            const CCategory* category = model.CategoryOf(row);
            const CTriggerEntry* entry = model.EntryOf(row);
            out << QStringList{row.data().toString(),
                               row.siblingAtColumn(1).data().toString(),
                               QString::number(static_cast<int>(model.KindOf(row))),
                               category != nullptr ? gui::ToQ(category->GetName()) : QString(),
                               entry != nullptr ? gui::ToQ(entry->GetName()) + QString::number(entry->GetId())
                                                : QString(),
                               Greyed(row) ? QStringLiteral("grey") : QString()}
                       .join('|');
            for (int i = 0; i < model.rowCount(row); ++i) {
                dump(model, model.index(i, 0, row), out);
            }
        };
    const auto rows = [&](const CCategoriesModel& model) {
        QStringList out;
        dump(model, model.index(0, 0), out);
        return out;
    };
    std::mt19937 random(7);
    const auto pick = [&random](std::size_t n) { return n == 0 ? 0 : random() % n; };
    CCategorySystem& all = document.GetCategorySystem();
    for (int round = 0; round < 200; ++round) {
        if (all.GetCategoryCount() == 0) {
            CreateCategory(document);
        }
        CCategory* category = all.GetCategory(pick(all.GetCategoryCount()));
        CTriggerEntry* entry =
            category->GetTriggerCount() == 0 ? nullptr : category->GetTrigger(pick(category->GetTriggerCount()));
        switch (pick(9)) {
        case 0: CreateTrigger(document, category); break;
        case 1: RenameTrigger(document, entry, "R" + std::to_string(pick(40))); break;
        case 2: MoveTrigger(document, entry, all.GetCategory(pick(all.GetCategoryCount())), pick(4)); break;
        case 3:
            if (entry != nullptr) {
                SetTriggerEnabled(document, entry->GetId(), pick(2) == 0);
            }
            break;
        case 4: DeleteTrigger(document, entry); break;
        case 5:
            pick(3) == 0 ? CreateCategory(document) != nullptr
                         : RenameCategory(document, category, "C" + std::to_string(pick(9)));
            break;
        case 6: pick(4) == 0 && DeleteCategory(document, category); break;
        // Without a step to take, they would only fail their check.
        case 7: document.CanUndo() && (document.Undo(), true); break;
        default: document.CanRedo() && (document.Redo(), true); break;
        }
        // Half the rounds report that anything may have changed, as a
        // new document does: every row is compared.
        if (pick(2) == 0) {
            document.NoteChange({EChangeKind::Document});
        }
        document.UpdateAllViews();
        CCategoriesView fresh(document);
        ASSERT_EQ(rows(*categories->Model()), rows(*fresh.Model())) << "round " << round;
    }
    EXPECT_EQ(complaints.Complaints(), QStringList());
}

// An edit signals its own rows: no reset, no layout change, no other row's data.
TEST_F(CategoriesViewTest, AnEditChangesOnlyItsRows)
{
    Countdown("Tick");
    QStringList signalled;
    const CCategoriesModel* model = categories->Model();
    const auto label = [](const QModelIndex& row) { return row.data().toString(); };
    QObject::connect(model, &QAbstractItemModel::modelReset, [&] { signalled << "reset"; });
    QObject::connect(model, &QAbstractItemModel::layoutChanged, [&] { signalled << "layout"; });
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& a, const QModelIndex& b) {
        signalled << "data " + label(a) + (a.row() != b.row() ? "..." + label(b) : QString());
    });
    QObject::connect(model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex& parent, int first, int last) {
        signalled << QStringLiteral("insert %1 %2-%3").arg(label(parent)).arg(first).arg(last);
    });
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex& parent, int first, int last) {
        signalled << QStringLiteral("remove %1 %2-%3").arg(label(parent)).arg(first).arg(last);
    });
    QObject::connect(model, &QAbstractItemModel::rowsMoved,
                     [&](const QModelIndex& parent, int first, int, const QModelIndex&, int to) {
                         signalled << QStringLiteral("move %1 %2>%3").arg(label(parent)).arg(first).arg(to);
                     });
    const struct {
        std::function<void()> edit;
        QStringList expected;
    } cases[] = {
        {[&] { Action("Enable")->trigger(); }, {"data Tick"}},
        // Renamed: the rows it passes show the others (a move would lay out the whole category);
        // the current row and the selection go with it.
        {[&] {
             RenameRow(CatRow("Tick"), QStringLiteral("Zed"));
             EXPECT_EQ(categories->currentIndex().data().toString(), QStringLiteral("Zed"));
             EXPECT_EQ(categories->selectionModel()->selectedRows(), QModelIndexList{CatRow("Zed")});
         },
         {"data Unused..."}},
        {[&] { categories->OnNewTrigger(); }, {"insert Timers 0-0"}},
        {[&] { document.OnEditUndo(); }, {"remove Timers 0-0"}},
        {[&] {
             Select("Bye");
             categories->DropOn(CatRow("Timers"));
         },
         {"remove Finish 0-0", "insert Timers 0-0"}},
    };
    for (const auto& c : cases) {
        signalled.clear();
        c.edit();
        EXPECT_EQ(signalled, c.expected);
        if (Editing()) {
            QTest::keyClick(LabelEditor(categories), Qt::Key_Escape);
        }
    }

    // Several selected rows stay on their triggers when one of them moves past others.
    Select("Zed");
    QTest::keyClick(categories, Qt::Key_Up, Qt::ShiftModifier);
    const auto selectedLabels = [&] {
        QStringList labels;
        for (const QModelIndex& row : categories->selectionModel()->selectedRows()) {
            labels << label(row);
        }
        labels.sort();
        return labels;
    };
    const QStringList before = selectedLabels();
    ASSERT_EQ(before.size(), 2);
    ASSERT_TRUE(categories->Model()->setData(CatRow("Zed"), QStringLiteral("Aaa")));
    EXPECT_EQ(selectedLabels(), (QStringList{"Aaa", before[0] == "Zed" ? before[1] : before[0]}));
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
    EXPECT_EQ(categories->currentIndex().data().toString(), QStringLiteral("Trigger1"));
    Select("Category 1");
    Action("NewTrigger")->trigger();
    Select("Trigger1");
    Action("NewTrigger")->trigger();
    EXPECT_EQ(Children(CatRow("Category 2")), (QStringList{"Trigger1", "Trigger3"}));
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Trigger3");
    categories->setCurrentIndex(categories->RootIndex());
    categories->OnUpdate();
    EXPECT_FALSE(Action("NewTrigger")->isEnabled());
    EXPECT_FALSE(Action("Delete")->isEnabled());
}

TEST_F(CategoriesViewTest, RenamesStoreNormalizedNamesAndRefuseSilently)
{
    Countdown();
    RenameRow(CatRow("Tick"), QStringLiteral("Start Game!"));
    EXPECT_FALSE(CatRow("Tick").isValid());
    EXPECT_EQ(ParentOf("Start_Game"), QStringLiteral("Timers"));
    EXPECT_TRUE(document.GetCategorySystem().HasTrigger("Start_Game"));
    const std::size_t steps = UndoNames().size();
    RenameRow(CatRow("Start_Game"), QStringLiteral("Hello"));
    EXPECT_TRUE(CatRow("Start_Game").isValid()) << "a refused name leaves the label";
    EXPECT_EQ(UndoNames().size(), steps);
    EXPECT_EQ(UndoNames().back(), "History/CatView_RenameTrigger");

    // Each level stays alphabetical.
    RenameRow(CatRow("Unused"), QStringLiteral("aardvark"));
    EXPECT_EQ(Children(CatRow("Timers")), (QStringList{"aardvark", "Start_Game"}));
    RenameRow(CatRow("Timers"), QStringLiteral("Alarms"));
    EXPECT_EQ(Children(categories->RootIndex()), (QStringList{"Alarms", "Finish", "Start"}));
    document.OnEditUndo();
    EXPECT_EQ(Children(categories->RootIndex()), (QStringList{"Finish", "Start", "Timers"}));
}

TEST_F(CategoriesViewTest, AClickWithin750msOfTheSelectingClickDoesNotEditTheLabel)
{
    Countdown();
    const int delay = QApplication::doubleClickInterval() + 100;
    ClickRow(CatRow("Hello"));
    ClickRow(CatRow("Hello"));
    QTest::qWait(delay);
    EXPECT_FALSE(Editing());

    ClickRow(CatRow("Tick"));
    QTest::qWait(CCategoriesView::kLabelEditLockoutMs + 50);
    ClickRow(CatRow("Tick"));
    QTest::qWait(delay);
    ASSERT_TRUE(Editing());
    EXPECT_EQ(LabelEditor(categories)->text(), QStringLiteral("Tick"));
}

TEST_F(CategoriesViewTest, TriggersDropOnlyIntoOtherCategories)
{
    Countdown("Tick");
    for (const QModelIndex& refused : {CatRow("Timers"), CatRow("Unused"), CatRow("Tick"), categories->RootIndex()}) {
        EXPECT_FALSE(categories->CanDropOn(refused)) << refused.data().toString().toStdString();
        EXPECT_FALSE(categories->DropOn(refused));
    }
    EXPECT_TRUE(UndoNames().empty());

    // Onto a category: appended; onto a trigger: takes its place in the list.
    ASSERT_TRUE(categories->DropOn(CatRow("Start")));
    EXPECT_EQ(ParentOf("Tick"), QStringLiteral("Start"));
    EXPECT_EQ(categories->currentIndex(), CatRow("Tick"));
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Tick");
    Select("Unused");
    ASSERT_TRUE(categories->DropOn(CatRow("Bye")));
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
    EXPECT_FALSE(CatRow("Timers").isValid());
    EXPECT_EQ(document.GetState()->GetTriggerCount(), 3u);
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/CatView_DeleteCategory"}));

    document.OnEditUndo();
    EXPECT_EQ(Children(CatRow("Timers")), (QStringList{"Tick", "Unused"}));
    // The disabled trigger is back, and greyed.
    EXPECT_TRUE(Greyed(CatRow("Unused")));
    EXPECT_FALSE(Greyed(CatRow("Tick")));
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
    ASSERT_EQ(categories->currentIndex(), CatRow("Ping"));
    QTest::keyClick(categories, Qt::Key_Delete);
    EXPECT_FALSE(CatRow("Ping").isValid());
    EXPECT_EQ(UndoNames().back(), "History/CatView_DeleteTrigger");

    // Enable from the menu greys the trigger; the comment view's box follows.
    Select("Bye");
    Action("Enable")->trigger();
    EXPECT_TRUE(Greyed(CatRow("Bye")));
    EXPECT_FALSE(comment->EnabledBox()->isChecked());
    EXPECT_EQ(UndoNames().back(), "History/Trigger_EnabledChanged");

    // Shift+arrow selects more; the row reached is the current trigger.
    Select("Tick");
    QTest::keyClick(categories, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(categories->SelectedRows().size(), 2);
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Unused");
}

// Rows selected together: enable, drag, copy and delete act on all of them,
// each as one step named with the count, and undo gives back the file.
TEST_F(CategoriesViewTest, ManySelectedTriggersAreOneStepEach)
{
    Countdown();
    const std::string original = document.WriteDataFile();
    categories->setFocus();
    const auto selectBoth = [this] {
        Select("Bye");
        QTest::keyClick(categories, Qt::Key_Down, Qt::ShiftModifier);
        ASSERT_EQ(categories->SelectedEntries().size(), 2u);
    };
    selectBoth();
    Action("Enable")->trigger();
    EXPECT_TRUE(Greyed(CatRow("Bye")) && Greyed(CatRow("Done")));
    EXPECT_EQ(UndoNames().back(), "History/Triggers_EnabledChanged#2");

    selectBoth();
    ASSERT_TRUE(categories->DropOn(CatRow("Start")));
    EXPECT_EQ(ParentOf("Bye") + ParentOf("Done"), QStringLiteral("StartStart"));
    EXPECT_EQ(UndoNames().back(), "History/CatView_DragDropTriggers#2");

    selectBoth();
    categories->OnCopy();
    Select("Timers");
    categories->OnPaste();
    EXPECT_EQ(Children(CatRow("Timers")).size(), 4);

    selectBoth();
    QTest::keyClick(categories, Qt::Key_Delete);
    EXPECT_FALSE(CatRow("Bye").isValid() || CatRow("Done").isValid());
    EXPECT_EQ(UndoNames().back(), "History/CatView_DeleteTriggers#2");
    EXPECT_EQ(UndoNames().size(), 4u);

    while (document.CanUndo()) {
        document.OnEditUndo();
    }
    EXPECT_EQ(document.WriteDataFile(), original);
    EXPECT_EQ(Children(CatRow("Finish")), (QStringList{"Bye", "Done"}));
}

// Ctrl+Z held down while undoing renames moves rows; each time only the
// current trigger is selected, whatever modifier the keyboard holds.
TEST_F(CategoriesViewTest, UndoWithCtrlHeldSelectsOnlyTheCurrentTrigger)
{
    Countdown("Tick");
    categories->setFocus();
    for (const char* name : {"Zulu", "Alpha"}) {
        ASSERT_TRUE(RenameTrigger(document, categories->SelectedEntries().at(0), name));
        document.UpdateAllViews();
    }
    Select("Bye");
    QWindow* handle = categories->window()->windowHandle();
    QTest::keyPress(handle, Qt::Key_Control, Qt::ControlModifier);
    document.OnEditUndo();
    document.OnEditUndo();
    QTest::keyRelease(handle, Qt::Key_Control);
    EXPECT_EQ(categories->SelectedRows(), QModelIndexList{categories->currentIndex().siblingAtColumn(0)});
}

} // namespace
} // namespace bram::test
