// The find bar of the main window on the Countdown sample: what it finds
// where, going to a result, stepping with F3, and the usages of a variable
// (the rules of both: DocumentCommands.FindListsEveryPlaceThatHoldsTheText,
// DocumentQueries.UsagesOfAVariableAreTheInstructionsThatUseIt).

#include "gui/dialogs/VariablesDialog.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/views/CommentView.h"
#include "gui/views/FindView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/TextStepEdit.h"

#include "GuiTestSupport.h"
#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/DocumentEdits.h"

#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace bram {
namespace {

struct FindTest : test::DocumentTest {
    FindTest()
    {
        EXPECT_TRUE(document.OpenDocument(started.workspace / "samples/Countdown.bdf"));
        frame = MakeFrame();
        EXPECT_TRUE(test::ShowActive(*frame));
        find = frame->FindView();
    }
    // "trigger|place|text" per result.
    QStringList Rows() const { return test::Rows(find->Results(), {0, 1, 2}); }
    void Search(const QString& text)
    {
        find->SearchBox()->clear();
        QTest::keyClicks(find->SearchBox(), text);
        Settle();
    }
    // The list catches up once the typing or editing pauses.
    void Settle() const { QTRY_VERIFY(!find->IsStale()); }
    static void Key(QKeyCombination key)
    {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    }
    const CCodeTrigger* Current() const { return document.GetState()->GetCurrentTrigger(); }
    int Row() const { return find->Results()->indexOfTopLevelItem(find->Results()->currentItem()); }
    gui::CTextStepEdit* CommentBox() const { return dynamic_cast<gui::CCommentView&>(*frame->CommentPane()).TextBox(); }
    gui::CInstructionView& Instructions() const
    {
        return dynamic_cast<gui::CInstructionView&>(*frame->InstructionPane());
    }

    std::unique_ptr<test::CDrivenFrame> frame;
    gui::CFindView* find = nullptr;
};

TEST_F(FindTest, EveryPlaceIsSearchedByTheCaseAndWordRules)
{
    EXPECT_FALSE(frame->FindDock()->isVisible()) << "the bar takes no room until asked for";
    frame->CategoriesPane()->setFocus();
    Key(Qt::CTRL | Qt::Key_F);
    ASSERT_TRUE(frame->FindDock()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), find->SearchBox());
    EXPECT_EQ(find->SearchBox()->accessibleName(), QStringLiteral("Find"));
    EXPECT_EQ(find->CaseSensitiveBox()->accessibleName(), QStringLiteral("Case sensitive"));

    Search("tick");
    EXPECT_EQ(Rows(), (QStringList{"Hello|comment|Tick is enabled here.", "Hello|Actions/4|Enable Tick",
                                   "Tick|name|Tick", "Tick|Actions/2|Print ('tick ' + (text of Count))",
                                   "Bye|Actions/1|Print ('runs of Tick: ' + (text of (runs of Tick)))"}));
    EXPECT_EQ(find->Status()->text(), QStringLiteral("5 matches"));
    // Only the literal 'tick ' is written in lower case.
    Search("Tick");
    find->CaseSensitiveBox()->click();
    EXPECT_EQ(Rows().size(), 4);
    find->CaseSensitiveBox()->click();

    // "Counts" and "Countdown" hold "count" but not the word.
    Search("count");
    EXPECT_EQ(Rows().size(), 10);
    find->WholeWordBox()->click();
    EXPECT_EQ(Rows().size(), 8);

    Search("MAXSTEPS");
    EXPECT_EQ(Rows(), QStringList{"|header|bram.maxSteps = 1000"});
    EXPECT_EQ(find->Status()->text(), QStringLiteral("1 match"));
    Search("nowhere");
    EXPECT_EQ(find->Status()->text(), QStringLiteral("No matches"));

    Key(Qt::Key_Escape);
    EXPECT_FALSE(frame->FindDock()->isVisible());
    EXPECT_TRUE(frame->CategoriesPane()->hasFocus()) << "the focus goes back where it was";
}

TEST_F(FindTest, AResultSelectsItsTriggerAndInstructionOrItsTextAndAVanishedOneBeeps)
{
    frame->OnFind();
    Search("three");
    find->Results()->setFocus();
    find->Results()->setCurrentItem(find->Results()->topLevelItem(0));
    Key(Qt::Key_Return);
    EXPECT_EQ(Current()->GetName(), "Tick");
    EXPECT_EQ(QApplication::focusWidget(), CommentBox());
    EXPECT_EQ(CommentBox()->textCursor().selectedText(), QStringLiteral("three"));

    find->WholeWordBox()->click(); // not "fired"
    Search("fire");
    ASSERT_EQ(Rows().size(), 1);
    const SMatch fire = find->Matches().front();
    emit find->Results()->itemActivated(find->Results()->topLevelItem(0), 0);
    EXPECT_EQ(Current()->GetCurrentNode(), Current()->GetNodeFromPath(fire.path));
    EXPECT_TRUE(Instructions().Tree()->currentIndex().data().toString().startsWith("Fire 'done'"));

    // Without a trigger the header is in the instruction pane's text box.
    Search("maxsteps");
    emit find->Results()->itemActivated(find->Results()->topLevelItem(0), 0);
    EXPECT_EQ(Current(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), Instructions().TextBox());
    EXPECT_EQ(Instructions().TextBox()->textCursor().selectedText(), QStringLiteral("maxSteps"));

    // A result kept from before its trigger was deleted goes nowhere.
    Key(Qt::Key_Escape);
    CTriggerEntry* tick = document.GetCategorySystem().FindCategoryOfTrigger(fire.triggerId)->GetTrigger(0);
    ASSERT_TRUE(DeleteTrigger(document, tick));
    document.UpdateAllViews();
    frame->GoToMatch(fire, 4);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(Current(), nullptr);
}

TEST_F(FindTest, F3StepsThroughTheResultsWrappingAndBeepsWithoutAny)
{
    Key(Qt::Key_F3);
    EXPECT_EQ(prompts.beeps, 1);
    frame->OnFind();
    Search("tick");
    const char* triggers[] = {"Hello", "Hello", "Tick", "Tick", "Bye", "Hello"};
    for (int step = 0; step < 6; ++step) {
        Key(Qt::Key_F3);
        EXPECT_EQ(Row(), step % 5);
        EXPECT_EQ(Current()->GetName(), triggers[step]);
    }
    Key(Qt::SHIFT | Qt::Key_F3);
    EXPECT_EQ(Row(), 4);
    EXPECT_EQ(Current()->GetName(), "Bye");
    EXPECT_EQ(prompts.beeps, 1);
}

TEST_F(FindTest, UsagesAreTheInstructionsOfTheVariablesUsersAfterEditsAndUndo)
{
    const auto count = [this] { return document.GetState()->GetGlobal(0); };
    ASSERT_EQ(count()->GetName(), "Count");
    // Offered in the instruction's menu, one entry per variable used.
    CCodeTrigger* tick = document.GetState()->GetTrigger(1);
    document.GetState()->SetCurrentTrigger(static_cast<int>(tick->GetId()));
    tick->SetCurrentNode(tick->GetNodeFromPath(std::vector<std::size_t>{2, 0})); // Count := Count + 1
    document.UpdateAllViews();
    EXPECT_TRUE(Instructions().ContextMenuNames().contains("FindUsages0"));
    EXPECT_FALSE(Instructions().ContextMenuNames().contains("FindUsages1")) << "Count is used twice, offered once";
    EXPECT_EQ(Instructions().Action("FindUsages0")->text(), QStringLiteral("Find usages of Count"));
    Instructions().Action("FindUsages0")->trigger();
    ASSERT_TRUE(frame->FindDock()->isVisible());
    EXPECT_EQ(find->Title()->text(), QStringLiteral("Usages of Count"));
    EXPECT_EQ(Rows().size(), 8);

    // The list follows edits and undo.
    ASSERT_TRUE(DeleteInstruction(document, tick->GetNodeFromPath(std::vector<std::size_t>{2, 2})));
    document.UpdateAllViews();
    Settle();
    EXPECT_EQ(Rows().size(), 6) << "the If goes with the Fire inside it";
    document.OnEditUndo();
    Settle();
    EXPECT_EQ(Rows().size(), 8);

    // An instruction that uses no variable offers the command greyed.
    CCodeTrigger* current = document.GetState()->GetCurrentTrigger();
    current->SetCurrentNode(current->GetNodeFromPath(std::vector<std::size_t>{0, 0}));
    document.UpdateAllViews();
    EXPECT_TRUE(Instructions().ContextMenuNames().contains("FindUsages"));
    EXPECT_FALSE(Instructions().Action("FindUsages")->isEnabled());
}

TEST_F(FindTest, TheVariablesDialogAsksForUsagesShownAfterItCloses)
{
    frame->answer = [](QDialog& dialog) {
        auto& variables = dynamic_cast<gui::CVariablesDialog&>(dialog);
        variables.List()->setCurrentItem(variables.List()->topLevelItem(1));
        variables.Action("FindUsages")->trigger();
        return variables.result();
    };
    frame->Action("EditGlobals")->trigger();
    ASSERT_TRUE(frame->FindDock()->isVisible());
    EXPECT_EQ(find->Title()->text(), QStringLiteral("Usages of Greeting"));
    EXPECT_EQ(Rows(),
              (QStringList{"Hello|Actions/1|Greeting := 'Hello & welcome'", "Hello|Actions/2|Print (Greeting + '!')"}));
    // Find goes back to searching text.
    frame->OnFind();
    EXPECT_FALSE(find->IsUsages());
    EXPECT_TRUE(find->SearchBox()->isVisible());
}

} // namespace
} // namespace bram
