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
#include <QTest>
#include <QTreeWidget>

#include <deque>

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

    QTreeWidget* Tree() const { return instructions->Tree(); }
    // The item at a path of child indexes under the trigger's item.
    QTreeWidgetItem* At(const std::vector<int>& path) const
    {
        QTreeWidgetItem* item = Tree()->topLevelItem(0);
        for (const int index : path) {
            item = item != nullptr ? item->child(index) : nullptr;
        }
        return item;
    }
    // The first words of each child's label.
    QStringList Labels(std::initializer_list<int> path) const
    {
        QStringList labels;
        for (const QString& label : Children(At(path))) {
            labels << label.section(QLatin1Char(' '), 0, 1);
        }
        return labels;
    }
    void SelectNode(std::initializer_list<int> path) { Tree()->setCurrentItem(At(path)); }
    QAction* Action(const char* name) const { return instructions->Action(QLatin1String(name)); }

    CScriptedChooser chooser;
};

TEST_F(InstructionViewTest, NewInstructionsArePlacedByTheSelection)
{
    Countdown("Hello");
    EXPECT_EQ(At({})->text(0), QStringLiteral("Hello"));
    // After the selected instruction of that root block.
    SelectNode({0, 0});
    chooser.answers = {"ScriptEnds", "Print"};
    Action("New0")->trigger();
    EXPECT_EQ(Labels({0}), (QStringList{"Script starts", "Script ends"}));
    EXPECT_EQ(Tree()->currentItem(), At({0, 1})) << "the new instruction is selected";
    // A root block selected, New for another one: at that one's end.
    SelectNode({1});
    Action("New2")->trigger();
    EXPECT_EQ(At({2})->childCount(), 5);
    EXPECT_EQ(chooser.asked, (std::vector<std::string>{"Event", "Action"}));
    EXPECT_EQ(UndoNames(), (std::vector<std::string>(2, "History/InstructionView_NewInstruction")));

    // Cancelled: no step, or the variables step when the chooser changed variables.
    chooser.answers = {"", "+"};
    Action("New2")->trigger();
    EXPECT_EQ(UndoNames().size(), 2u);
    Action("New2")->trigger();
    EXPECT_EQ(UndoNames().back(), "History/Variables_VariablesChanged");
    EXPECT_EQ(At({2})->childCount(), 5);
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
    const int nested = At({2, 2, 0})->childCount();
    const int actions = At({2})->childCount();
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
        Tree()->setCurrentItem(At(c.selected));
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
    const auto doubleClick = [this](QTreeWidgetItem* item) {
        const QPoint at = Tree()->visualItemRect(item).center();
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
        QTreeWidgetItem* target = At(path);
        EXPECT_FALSE(instructions->CanDropOn(target)) << target->text(0).toStdString();
        EXPECT_FALSE(instructions->DropOn(target));
    }
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/InstructionView_DragDropInstruction"}));
}

TEST_F(InstructionViewTest, AltUpAndDownMoveWithinTheBlockAsOneStepEach)
{
    Countdown("Hello");
    const QStringList before = Labels({2});
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
    EXPECT_EQ(Tree()->currentItem(), At({2, 3}));
    EXPECT_EQ(UndoNames().size(), 4u) << "a move at either end records nothing";
}

TEST_F(InstructionViewTest, DeleteAndEnableAreUndoableAndOfferedOnlyForInstructions)
{
    Countdown("Hello");
    SelectNode({2, 2, 0});
    EXPECT_FALSE(Action("Delete")->isEnabled()) << "a structure's block";
    EXPECT_FALSE(Action("Enable")->isEnabled());
    SelectNode({2, 2});
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Delete);
    EXPECT_EQ(At({2})->childCount(), 3);
    document.OnEditUndo();
    ASSERT_EQ(At({2})->childCount(), 4);
    EXPECT_EQ(At({2, 2, 0})->childCount(), 1) << "the structure comes back with what it held";

    Select("Done");
    SelectNode({2, 1});
    EXPECT_NE(At({2, 1})->foreground(0).style(), Qt::NoBrush) << "disabled: greyed";
    Action("Enable")->trigger();
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->GetCurrentNode()->IsEnabled());
    EXPECT_EQ(At({2, 1})->foreground(0).style(), Qt::NoBrush);
    EXPECT_EQ(UndoNames().back(), "History/InstructionView_EnableInstruction");
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
    EXPECT_TRUE(At({2})->font(0).bold()) << "root blocks stand out";
    EXPECT_FALSE(At({2, 2, 0})->font(0).bold());

    // An incomplete instruction (Insert: New in the selection's root block) is marked with its missing parameter.
    chooser.answers = {"Print"};
    QTest::keyClick(Tree(), Qt::Key_Insert);
    EXPECT_EQ(chooser.asked, (std::vector<std::string>{"Action"}));
    EXPECT_EQ(Tree()->currentItem()->toolTip(0), QStringLiteral("A parameter has no value: text"));
    EXPECT_TRUE(At({2, 0})->toolTip(0).isEmpty());
    EXPECT_NE(Tree()->currentItem()->icon(0).cacheKey(), At({2, 0})->icon(0).cacheKey());

    // Renamed or deleted, the current trigger is shown as it is now.
    RenameRow(CatRow("Tick"), QStringLiteral("Tock"));
    EXPECT_EQ(At({})->text(0), QStringLiteral("Tock"));
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

} // namespace
} // namespace bram::test
