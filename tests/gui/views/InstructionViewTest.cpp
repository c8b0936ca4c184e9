// The instruction view on the sample workspace, with a scripted instruction
// chooser: the code text box, New placement, edit, drag and drop, delete and
// enable, keys, and what the tree shows (the edits' rules and their undo:
// the core's DocumentEdits tests).

#include "gui/views/InstructionView.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionChooser.h"
#include "gui/views/TextStepEdit.h"

#include "ViewsFixture.h"
#include "code/State.h"
#include "document/DocumentEdits.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <deque>
#include <functional>
#include <random>

namespace bram::test {
namespace {

// Answers with a new instruction of the named definition, or cancels for an
// empty name or "+" (the variables changed); records each question as "Type"
// or "Type:text of the instruction edited".
class CScriptedChooser : public gui::IInstructionChooser {
public:
    Result Choose(CState& /*state*/, const CTypeInfo* blockType, const CCodeBase* existing, QWidget*) override
    {
        asked.push_back(blockType->GetName() + (existing != nullptr ? ":" + existing->GetText() : ""));
        std::string answer = answers.empty() ? "" : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        Result result;
        result.variablesChanged = answer == "+";
        if (!answer.empty() && !result.variablesChanged) {
            result.instruction = Definition(answer)->CreateCode();
        }
        return result;
    }
    std::deque<std::string> answers;
    std::vector<std::string> asked;
};

class InstructionViewTest : public ViewsTest {
protected:
    InstructionViewTest() { instructions->SetInstructionChooser(&chooser); }

    QTreeView* Tree() const { return instructions->Tree(); }
    QModelIndex At(const std::vector<int>& path) const { return InstructionRow(path); }
    int Count(const std::vector<int>& path) const { return Tree()->model()->rowCount(At(path)); }
    static QString Label(const QModelIndex& row) { return row.data().toString(); }
    // The first words of each child's label.
    QStringList Labels(std::initializer_list<int> path) const
    {
        QStringList labels;
        for (const QString& label : Children(At(path))) {
            labels << label.section(QLatin1Char(' '), 0, 1);
        }
        return labels;
    }
    void SelectNode(std::initializer_list<int> path) const { SelectInstruction(path); }
    static Qt::BrushStyle Foreground(const QModelIndex& row)
    {
        return row.data(Qt::ForegroundRole).value<QBrush>().style();
    }
    QAction* Action(const char* name) const { return instructions->Action(QLatin1String(name)); }

    CScriptedChooser chooser;
};

TEST_F(InstructionViewTest, NewInstructionsArePlacedByTheSelection)
{
    Countdown("Hello");
    EXPECT_EQ(Label(At({})), QStringLiteral("Hello"));
    // After the selected instruction of that root block.
    SelectNode({0, 0});
    chooser.answers = {"ScriptEnds", "Print"};
    Action("New0")->trigger();
    EXPECT_EQ(Labels({0}), (QStringList{"Script starts", "Script ends"}));
    EXPECT_EQ(Tree()->currentIndex(), At({0, 1})) << "the new instruction is selected";
    // A root block selected, New for another one: at that one's end.
    SelectNode({1});
    Action("New2")->trigger();
    EXPECT_EQ(Count({2}), 5);
    EXPECT_EQ(chooser.asked, (std::vector<std::string>{"Event", "Action"}));
    EXPECT_EQ(UndoNames(), (std::vector<std::string>(2, "History/InstructionView_NewInstruction")));

    // Cancelled: no step, or the variables step when the chooser changed variables.
    chooser.answers = {"", "+"};
    Action("New2")->trigger();
    EXPECT_EQ(UndoNames().size(), 2u);
    Action("New2")->trigger();
    EXPECT_EQ(UndoNames().back(), "History/Variables_VariablesChanged");
    EXPECT_EQ(Count({2}), 5);
    // Without a chooser nothing happens, and New is greyed.
    instructions->SetInstructionChooser(nullptr);
    EXPECT_FALSE(Action("New2")->isEnabled());
    instructions->OnNew(2);
    EXPECT_EQ(UndoNames().size(), 3u);
}

// Picked by name: the root block of the instruction's type, placed by New's rules.
TEST_F(InstructionViewTest, APickedInstructionGoesToTheRootBlockOfItsTypeAsNewPlacesIt)
{
    Countdown("Hello");
    const int nested = Count({2, 2, 0});
    const int actions = Count({2});
    struct SCase {
        std::vector<int> selected;
        const char* picked;
        std::vector<std::size_t> placed;
    };
    const SCase cases[] = {
        {{2, 2, 0}, "Print", {2, 2, 0, static_cast<std::size_t>(nested)}},
        {{2, 0}, "Print", {2, 1}},
        {{0, 0}, "Print", {2, static_cast<std::size_t>(actions) + 1}},
        {{2, 0}, "ScriptEnds", {0, 1}},
    };
    for (const SCase& c : cases) {
        SelectNode({});
        SelectInstruction(c.selected);
        chooser.answers = {c.picked};
        instructions->OnNewPicked(*Definition(c.picked));
        const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
        EXPECT_EQ(trigger->GetNodePath(trigger->GetCurrentNode()), c.placed) << c.picked;
        EXPECT_EQ(trigger->GetCurrentNode()->GetDefinition()->GetName(), c.picked);
    }
    // The chooser opens on the picked instruction, of its block's type.
    ASSERT_EQ(chooser.asked.size(), 4u);
    EXPECT_EQ(chooser.asked[0].substr(0, 13), "Action:Print ") << chooser.asked[0];
    EXPECT_EQ(chooser.asked[3], "Event:Script ends");
    EXPECT_EQ(UndoNames(), (std::vector<std::string>(4, "History/InstructionView_NewInstruction")));
}

TEST_F(InstructionViewTest, EditingAsksForTheInstructionOrTheStructureOfABlock)
{
    Countdown("Hello");
    // A double click is a click followed by the double-click event.
    const auto doubleClick = [this](const QModelIndex& row) {
        const QPoint at = Tree()->visualRect(row).center();
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(At({2}));
    EXPECT_TRUE(chooser.asked.empty()) << "a root block has nothing to edit";
    chooser.answers = {"While", ""};
    doubleClick(At({2, 2, 0}));
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].substr(0, 11), "Action:For ") << chooser.asked[0];
    EXPECT_EQ(Labels({2})[2], QStringLiteral("While condition"));
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/InstructionView_InstructionChanged"}));
    // Enter edits the selected instruction, as a double click does; cancelled, no step.
    SelectNode({2, 0});
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Return);
    ASSERT_EQ(chooser.asked.size(), 2u);
    EXPECT_EQ(UndoNames().size(), 1u);
}

TEST_F(InstructionViewTest, DragsFollowThePlacementRulesAndRefuseItsOwnInsideAndOtherTypes)
{
    Countdown("Hello");
    const QStringList before = Labels({2});
    SelectNode({2, 3});
    ASSERT_TRUE(instructions->DropOn(At({2, 0})));
    EXPECT_EQ(Labels({2}), (QStringList{before[0], before[3], before[1], before[2]}));
    // Another type, the dragged structure itself, its block and what is inside it: refused.
    SelectNode({2, 3});
    for (const auto& path : {std::vector<int>{0}, {0, 0}, {2, 3}, {2, 3, 0}, {2, 3, 0, 0}}) {
        const QModelIndex target = At(path);
        EXPECT_FALSE(instructions->CanDropOn(target)) << Label(target).toStdString();
        EXPECT_FALSE(instructions->DropOn(target));
    }
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/InstructionView_DragDropInstruction"}));

    // Many selected: in the tree's order; the current node follows the current row.
    SelectNode({2, 2});
    Tree()->selectionModel()->setCurrentIndex(At({2, 0}), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(instructions->SelectedIndexes(), (QModelIndexList{At({2, 0}), At({2, 2})}));
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetCurrentNode(), instructions->NodeOf(At({2, 0})));
}

TEST_F(InstructionViewTest, AltUpAndDownMoveWithinTheBlockAsOneStepEach)
{
    Countdown("Hello");
    const QStringList before = Labels({2});
    QSignalSpy moves(Tree()->model(), &QAbstractItemModel::rowsMoved);
    SelectNode({2, 1});
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(Tree(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Labels({2}), (QStringList{before[1], before[0], before[2], before[3]}));
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(Labels({2}), (QStringList{before[0], before[2], before[3], before[1]}));
    EXPECT_EQ(Tree()->currentIndex(), At({2, 3}));
    EXPECT_EQ(UndoNames().size(), 4u) << "a move at either end records nothing";
    EXPECT_EQ(moves.count(), 4) << "a row moves, the others stay";
}

TEST_F(InstructionViewTest, DeleteAndEnableAreUndoableAndOfferedOnlyForInstructions)
{
    Countdown("Hello");
    SelectNode({2, 2, 0});
    EXPECT_FALSE(Action("Delete")->isEnabled()) << "a structure's block";
    EXPECT_FALSE(Action("Enable")->isEnabled());
    // Rows change where the edit is: another block the user closed stays closed.
    Tree()->collapse(At({0}));
    QSignalSpy resets(Tree()->model(), &QAbstractItemModel::modelReset);
    SelectNode({2, 2});
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Delete);
    EXPECT_EQ(Count({2}), 3);
    document.OnEditUndo();
    ASSERT_EQ(Count({2}), 4);
    EXPECT_EQ(Count({2, 2, 0}), 1) << "the structure comes back with what it held";
    EXPECT_TRUE(Tree()->isExpanded(At({2, 2, 0})));
    EXPECT_FALSE(Tree()->isExpanded(At({0})));
    EXPECT_EQ(resets.count(), 0);

    Select("Done");
    SelectNode({2, 1});
    EXPECT_NE(Foreground(At({2, 1})), Qt::NoBrush) << "disabled: greyed";
    Action("Enable")->trigger();
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->GetCurrentNode()->IsEnabled());
    EXPECT_EQ(Foreground(At({2, 1})), Qt::NoBrush);
    EXPECT_EQ(UndoNames().back(), "History/InstructionView_EnableInstruction");
}

// After any mix of deletes, enables, drags, undo and redo, the tree the
// model keeps up to date is the one a view built afresh shows: labels,
// greying, bold root blocks, marks, open rows and the selection.
TEST_F(InstructionViewTest, AfterAnyEditsTheTreeIsTheOneBuiltAfresh)
{
    Countdown("Tick");
    const auto rows = [](const gui::CInstructionView& view) {
        const QTreeView& tree = *view.Tree();
        const QAbstractItemModel& model = *tree.model();
        QStringList out;
        const std::function<void(const QModelIndex&)> dump = [&](const QModelIndex& row) {
            out << row.data().toString() + "|" + row.data(Qt::ToolTipRole).toString() + "|" +
                       QString::number(row.data(Qt::ForegroundRole).value<QBrush>().style()) +
                       QString::number(row.data(Qt::FontRole).value<QFont>().bold()) +
                       QString::number(tree.isExpanded(row) || model.rowCount(row) == 0) +
                       QString::number(tree.selectionModel()->isSelected(row));
            for (int i = 0; i < model.rowCount(row); ++i) {
                dump(model.index(i, 0, row));
            }
        };
        dump(model.index(0, 0));
        return out;
    };
    std::mt19937 random(11);
    const auto pick = [&random](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const auto node = [&]() -> const CCodeBase* {
        std::vector<const CCodeBase*> nodes;
        const std::function<void(const CCodeBase*)> walk = [&](const CCodeBase* at) {
            nodes.push_back(at);
            for (std::size_t i = 0; at->IsContainer() && i < at->GetChildCount(); ++i) {
                walk(at->GetChild(i));
            }
        };
        const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
        for (std::size_t b = 0; b < trigger->GetBlockCount(); ++b) {
            walk(trigger->GetBlock(b));
        }
        return nodes[pick(nodes.size())];
    };
    for (int round = 0; round < 120; ++round) {
        switch (pick(6)) {
        case 0: DeleteInstruction(document, node()); break;
        case 1: SetInstructionEnabled(document, node(), pick(2) == 0); break;
        case 2:
        case 3: {
            const CCodeBase* dragged = node();
            DropInstruction(document, dragged, node());
            break;
        }
        case 4:
            if (document.CanUndo()) {
                document.Undo();
            }
            break;
        default:
            if (document.CanRedo()) {
                document.Redo();
            }
            break;
        }
        document.UpdateAllViews();
        const gui::CInstructionView fresh(document);
        ASSERT_EQ(rows(*instructions), rows(fresh)) << "round " << round;
    }
}

TEST_F(InstructionViewTest, TheMenuAndTheTreeShowWhatEachItemIs)
{
    Countdown("Tick");
    SelectNode({2, 2});
    Tree()->setFocus();
    EXPECT_EQ(
        PopupMenu([this] { QTest::keyClick(Tree(), Qt::Key_Menu); }),
        (QStringList{"Cut+", "Copy+", "Paste-", "Delete+", "New0+", "New1+", "New2+", "Enable+x", "FindUsages0+"}));
    EXPECT_EQ(Tree()->accessibleName(), QStringLiteral("Instructions of the trigger:"));
    EXPECT_TRUE(At({2}).data(Qt::FontRole).value<QFont>().bold()) << "root blocks stand out";
    EXPECT_FALSE(At({2, 2, 0}).data(Qt::FontRole).value<QFont>().bold());

    // An incomplete instruction (Insert: New in the selection's root block) is marked with its missing parameter.
    chooser.answers = {"Print"};
    QTest::keyClick(Tree(), Qt::Key_Insert);
    EXPECT_EQ(chooser.asked, (std::vector<std::string>{"Action"}));
    const auto icon = [](const QModelIndex& row) { return row.data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(Tree()->currentIndex().data(Qt::ToolTipRole).toString(),
              QStringLiteral("A parameter has no value: text"));
    EXPECT_TRUE(At({2, 0}).data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_NE(icon(Tree()->currentIndex()), icon(At({2, 0})));

    // A renamed trigger is repainted where instructions of the shown one name it.
    Select("Hello");
    QSignalSpy changed(Tree()->model(), &QAbstractItemModel::dataChanged);
    RenameRow(CatRow("Tick"), QStringLiteral("Tock"));
    QStringList repainted;
    for (const QList<QVariant>& signal : changed) {
        const QModelIndex first = signal[0].toModelIndex();
        const QModelIndex last = signal[1].toModelIndex();
        for (int row = first.row(); row <= last.row(); ++row) {
            repainted << Label(first.siblingAtRow(row));
        }
    }
    EXPECT_EQ(repainted.filter(QStringLiteral("Tock")).size(), 1) << repainted.join(QLatin1Char('\n')).toStdString();

    // Renamed or deleted, the current trigger is shown as it is now.
    Select("Tock");
    RenameRow(CatRow("Tock"), QStringLiteral("Tick"));
    EXPECT_EQ(Label(At({})), QStringLiteral("Tick"));
    categories->OnDelete();
    EXPECT_TRUE(Tree()->isHidden());
    EXPECT_TRUE(instructions->Description()->text().startsWith(QStringLiteral("Script header")));
}

TEST_F(InstructionViewTest, AConvertedTriggerShowsItsCodeAndPastingIntoTheTreeNeverConverts)
{
    Countdown("Tick");
    // The text box behind the tree takes no paste.
    QApplication::clipboard()->setText(QStringLiteral("print('pasted')"));
    QTest::keyClick(instructions->TextBox(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(document.GetState()->GetCurrentTrigger()->IsCode());

    ASSERT_TRUE(ConvertCurrentTriggerToCode(document));
    gui::CTextStepEdit* text = instructions->TextBox();
    EXPECT_FALSE(text->isHidden());
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("function fn_Tick(event)")));
    EXPECT_EQ(instructions->Description()->text(), QStringLiteral("Code of the trigger:"));
    EXPECT_EQ(text->accessibleName(), instructions->Description()->text());
    text->setFocus();
    text->moveCursor(QTextCursor::End);
    QTest::keyClicks(text, QStringLiteral("--x"));
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->GetCodeText().ends_with("--x"));
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/Trigger_ToCode", "History/Text_Input"}));
}

// Rows selected together (Shift+Down): delete, enable, copy and paste act on
// all as one step named with the count; a mix of block types drops nowhere.
TEST_F(InstructionViewTest, ManySelectedInstructionsAreOneStepEach)
{
    Countdown("Hello");
    const std::string original = document.WriteDataFile();
    const QStringList before = Labels({2});
    Tree()->setFocus();
    const auto selectTwo = [this] {
        Tree()->clearSelection();
        SelectNode({2, 0});
        QTest::keyClick(Tree(), Qt::Key_Down, Qt::ShiftModifier);
    };
    selectTwo();
    Action("Enable")->trigger();
    EXPECT_EQ(UndoNames().back(), "History/InstructionView_EnableInstructions#2");
    EXPECT_FALSE(instructions->NodeOf(At({2, 1}))->IsEnabled());

    selectTwo();
    instructions->OnCopy();
    SelectNode({2, 3});
    instructions->OnPaste();
    EXPECT_EQ(Labels({2}).mid(4), before.mid(0, 2)) << "pasted in their order after the selection";

    // An event and an action: no block takes both.
    SelectNode({0, 0});
    Tree()->selectionModel()->select(At({2, 0}), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::size_t steps = UndoNames().size();
    for (const auto& path : {std::vector<int>{2}, {2, 3}, {0}}) {
        EXPECT_FALSE(instructions->DropOn(At(path)));
    }
    EXPECT_EQ(UndoNames().size(), steps);

    Tree()->clearSelection();
    SelectNode({2, 0});
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(Tree(), Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(instructions->SelectedNodes().size(), 3u);
    QTest::keyClick(Tree(), Qt::Key_Delete);
    EXPECT_EQ(Labels({2}).size(), 3);
    EXPECT_EQ(UndoNames().back(), "History/InstructionView_DeleteInstructions#3");

    while (document.CanUndo()) {
        document.OnEditUndo();
    }
    EXPECT_EQ(document.WriteDataFile(), original);
    EXPECT_EQ(Labels({2}), before);
}

} // namespace
} // namespace bram::test
