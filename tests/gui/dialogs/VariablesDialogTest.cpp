// The variables dialog and the variable edit dialog on the sample
// workspace's types (Truth value, Number, Text).

#include "gui/dialogs/VariablesDialog.h"
#include "gui/dialogs/VariableEditDialog.h"

#include "GuiTestSupport.h"
#include "TestDataFiles.h"
#include "code/State.h"
#include "document/DocumentEdits.h"
#include "records/TypeInfo.h"

#include <QLineEdit>

namespace bram::test {
namespace {

using gui::CVariableEditDialog;
using gui::CVariablesDialog;

// Answers the edit dialog: types the name, picks the type (by its label), presses OK.
struct Answer {
    QString name;
    QString type;
};

int Fill(CVariableEditDialog& dialog, const Answer& answer)
{
    dialog.NameField()->setText(answer.name);
    dialog.TypeList()->setCurrentIndex(dialog.TypeList()->findText(answer.type));
    dialog.accept();
    return dialog.result();
}

class CDrivenVariablesDialog : public CVariablesDialog {
public:
    using CVariablesDialog::CVariablesDialog;
    std::vector<Answer> answers;
    std::vector<QString> shownNames;

protected:
    int RunEditDialog(CVariableEditDialog& dialog) override
    {
        shownNames.push_back(dialog.NameField()->text());
        if (answers.empty()) {
            return QDialog::Rejected;
        }
        const Answer answer = answers.front();
        answers.erase(answers.begin());
        return Fill(dialog, answer);
    }
};

struct VariablesDialogTest : test::DocumentTest {
    VariablesDialogTest()
    {
        AddGlobal("Count");
        AddGlobal("Player Name", "Text");
    }

    CState::GlobalList& Globals() { return document.GetState()->GetGlobals(); }
    // "name|type" per row.
    static QStringList Rows(const CVariablesDialog& dialog) { return test::Rows(dialog.List(), {0, 1}); }
    static void Select(CVariablesDialog& dialog, int row)
    {
        dialog.List()->setCurrentItem(dialog.List()->topLevelItem(row));
    }
};

TEST_F(VariablesDialogTest, EditDialogRefusesBadNamesInOrder)
{
    for (const test::FieldCase& c : test::FieldCases("gui/variable-names.txt")) {
        SCOPED_TRACE(c.name);
        prompts.boxes.clear();
        CUserDefinedVariable* opened = c.Has("opened") ? Globals()[std::stoul(c["opened"])].get() : nullptr;
        const std::string before = opened != nullptr ? opened->GetName() : std::string();
        CVariableEditDialog dialog(opened, *document.GetState(), nullptr);
        const int result = Fill(dialog, {QString::fromStdString(c["name"]), QString::fromStdString(c["type"])});
        if (!c.Has("refusal")) {
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_TRUE(prompts.boxes.empty());
        } else {
            EXPECT_NE(result, QDialog::Accepted);
            ASSERT_EQ(prompts.boxes.size(), 1u);
            EXPECT_EQ(prompts.boxes[0].text, gui::Localized(c["refusal"].c_str()));
            EXPECT_EQ(prompts.boxes[0].icon, QMessageBox::Warning);
            // A refused name leaves the variable as it was.
            if (opened != nullptr) {
                EXPECT_EQ(opened->GetName(), before);
            }
        }
    }
    // The rename that was taken renamed the variable itself.
    EXPECT_EQ(Globals()[0]->GetName(), "Score");
}

TEST_F(VariablesDialogTest, EditDialogOffersOnlyDeclarableTypes)
{
    CVariableEditDialog dialog(nullptr, *document.GetState(), nullptr);
    // No trigger, function, variable or creation-less type.
    EXPECT_EQ(test::Items(dialog.TypeList()), (QStringList{"Truth value", "Number", "Text"}));
    EXPECT_EQ(dialog.TypeList()->currentIndex(), 0);
    EXPECT_TRUE(dialog.NameField()->text().isEmpty());
    // An existing variable shows its type.
    EXPECT_EQ(CVariableEditDialog(Globals()[1].get(), *document.GetState(), nullptr).TypeList()->currentText(),
              QStringLiteral("Text"));
}

TEST_F(VariablesDialogTest, TypeChangeReplacesTheObjectNameChangeKeepsIt)
{
    CUserDefinedVariable* count = Globals()[0].get();
    CDrivenVariablesDialog dialog(document.GetState(), false);
    dialog.answers = {{"Counter", "Number"}, {"Counter", "Truth value"}};
    Select(dialog, 0);
    dialog.OnChange();
    EXPECT_EQ(Globals()[0].get(), count);
    EXPECT_EQ(count->GetName(), "Counter");
    Select(dialog, 0);
    dialog.OnChange();
    EXPECT_NE(Globals()[0].get(), count);
    EXPECT_EQ(Globals()[0]->GetName(), "Counter");
    EXPECT_EQ(Globals()[0]->GetType(), TypeNamed("Boolean"));
    EXPECT_EQ(dialog.UndoStepNames(), (std::vector<std::string>{"History/VariablesDialog_RenameVariable",
                                                                "History/VariablesDialog_ReplaceVariable"}));
    EXPECT_EQ(Rows(dialog), (QStringList{"Counter|Truth value", "Player Name|Text"}));
    EXPECT_EQ(dialog.shownNames, (std::vector<QString>{"Count", "Counter"}));
}

TEST_F(VariablesDialogTest, MenuStatesFollowSelectionClipboardAndSteps)
{
    CDrivenVariablesDialog dialog(document.GetState(), false);
    const auto enabled = [&dialog] {
        return test::EnabledStates([&dialog](const char* name) { return dialog.Action(QLatin1String(name)); },
                                   {"Undo", "Redo", "Cut", "Copy", "Paste"});
    };
    EXPECT_EQ(enabled(), "00110") << "the first row is selected";
    // Nothing to undo, redo or paste: a beep each, nothing changed.
    dialog.OnUndo();
    dialog.OnRedo();
    dialog.OnPaste();
    EXPECT_EQ(prompts.beeps, 3);
    EXPECT_EQ(GlobalNames().size(), 2u);

    Select(dialog, 1);
    EXPECT_EQ(enabled(), "00110");
    dialog.OnDelete();
    EXPECT_EQ(enabled(), "10110");
    dialog.OnUndo();
    EXPECT_EQ(enabled(), "01110");
    EXPECT_EQ(GlobalNames().size(), 2u);
    // A new step clears the redo list.
    dialog.OnRenameInPlace(0, QStringLiteral("Lives"));
    EXPECT_EQ(enabled(), "10110");
    EXPECT_EQ(dialog.RedoStepCount(), 0u);
}

TEST_F(VariablesDialogTest, PasteNamesCopiesWithTheFirstFreeSuffix)
{
    CDrivenVariablesDialog dialog(document.GetState(), false);
    Select(dialog, 0);
    dialog.OnCut();
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Player Name"}));
    EXPECT_TRUE(dialog.Action(QStringLiteral("Paste"))->isEnabled());
    dialog.OnPaste();
    dialog.OnPaste();
    dialog.OnPaste();
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Player Name", "Count", "Count_2", "Count_3"}));
    EXPECT_EQ(Globals()[2]->GetType(), TypeNamed("Number"));

    // A clipboard name that only differs by removed characters is taken too.
    Select(dialog, 0);
    dialog.OnCopy();
    dialog.OnPaste();
    EXPECT_EQ(GlobalNames().back(), "Player Name_2");
    EXPECT_EQ(dialog.UndoStepNames().front(), "History/VariablesDialog_Cut");
    EXPECT_EQ(dialog.UndoStepNames().back(), "History/VariablesDialog_Paste");
}

TEST_F(VariablesDialogTest, CancelRestoresTheListExactlyOkKeepsIt)
{
    const std::vector<CUserDefinedVariable*> before = {Globals()[0].get(), Globals()[1].get()};
    CDrivenVariablesDialog dialog(document.GetState(), false);
    dialog.answers = {{"Lives", "Number"}, {"Player Name", "Truth value"}};
    dialog.OnNew();
    dialog.OnRenameInPlace(0, QStringLiteral("Points"));
    Select(dialog, 1);
    dialog.OnChange(); // type change: a replacement
    Select(dialog, 2);
    dialog.OnCopy();
    dialog.OnDelete();
    dialog.OnPaste();
    dialog.OnUndo(); // one step waits on the redo list
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Points", "Player Name"}));
    EXPECT_EQ(dialog.RedoStepCount(), 1u);

    dialog.reject();
    ASSERT_EQ(Globals().size(), 2u);
    EXPECT_EQ(Globals()[0].get(), before[0]);
    EXPECT_EQ(Globals()[1].get(), before[1]);
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Count", "Player Name"}));
    EXPECT_EQ(Globals()[1]->GetType(), TypeNamed("Text"));
    EXPECT_TRUE(dialog.UndoStepNames().empty());
    EXPECT_EQ(dialog.RedoStepCount(), 0u);

    // OK keeps every change.
    CDrivenVariablesDialog kept(document.GetState(), false);
    kept.answers = {{"Lives", "Number"}};
    kept.OnNew();
    Select(kept, 0);
    kept.OnDelete();
    kept.accept();
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Player Name", "Lives"}));
}

TEST_F(VariablesDialogTest, RenameInPlaceTakesOnlyFreeIdentifiers)
{
    CDrivenVariablesDialog dialog(document.GetState(), false);
    dialog.OnRenameInPlace(0, QStringLiteral("Player Name?"));
    dialog.OnRenameInPlace(0, QStringLiteral("%%"));
    EXPECT_EQ(GlobalNames()[0], "Count");
    EXPECT_TRUE(dialog.UndoStepNames().empty());
    EXPECT_EQ(Rows(dialog)[0], QStringLiteral("Count|Number"));

    // Editing the row in the list renames the variable.
    dialog.List()->topLevelItem(0)->setText(0, QStringLiteral("Total count"));
    EXPECT_EQ(GlobalNames()[0], "Total count");
    EXPECT_EQ(dialog.UndoStepNames(), (std::vector<std::string>{"History/VariablesDialog_RenameVariable"}));
    dialog.List()->topLevelItem(1)->setText(0, QStringLiteral("Total_count"));
    EXPECT_EQ(GlobalNames()[1], "Player Name");
    EXPECT_EQ(Rows(dialog)[1], QStringLiteral("Player Name|Text"));
}

TEST_F(VariablesDialogTest, LocalsAreTheCurrentTriggersList)
{
    CCodeTrigger* trigger = test::AddCurrentTrigger(document, "Tick");
    CDrivenVariablesDialog dialog(document.GetState(), true);
    dialog.answers = {{"Ticks", "Number"}};
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
    dialog.OnNew();
    ASSERT_EQ(trigger->GetLocalCount(), 1u);
    EXPECT_EQ(trigger->GetLocal(0)->GetName(), "Ticks");
    EXPECT_EQ(Globals().size(), 2u);
}

TEST_F(VariablesDialogTest, TheFirstRowIsSelectedSoDeleteAndModifyActAtOnce)
{
    CDrivenVariablesDialog dialog(document.GetState(), false);
    dialog.answers = {{"Lives", "Number"}};
    dialog.Action(QStringLiteral("Change"))->trigger();
    dialog.Action(QStringLiteral("Delete"))->trigger();
    EXPECT_EQ(dialog.shownNames, std::vector<QString>{"Count"});
    EXPECT_EQ(Rows(dialog), QStringList{"Player Name|Text"});
}

// The data file names variables and is read locals first: a local named like
// a global would take over the global's users once the file is opened again.
TEST_F(VariablesDialogTest, LocalsAndGlobalsNeverShareAName)
{
    CCodeTrigger* trigger = test::AddCurrentTrigger(document, "Tick");
    trigger->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("Name", TypeNamed("Text")));
    CDrivenVariablesDialog locals(document.GetState(), true);
    locals.answers = {{"Count", "Number"}, {"Player_Name", "Text"}, {"Count", "Text"}};
    locals.OnNew();
    locals.OnNew();
    locals.OnChange();
    locals.OnRenameInPlace(0, QStringLiteral("Count"));
    EXPECT_EQ(Rows(locals), QStringList{"Name|Text"});

    CDrivenVariablesDialog globals(document.GetState(), false);
    globals.answers = {{"Name", "Number"}, {"Name!", "Number"}};
    globals.OnNew();
    globals.OnChange();
    globals.OnRenameInPlace(1, QStringLiteral("Name"));
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Count", "Player Name"}));
    EXPECT_TRUE(locals.UndoStepNames().empty());
    EXPECT_TRUE(globals.UndoStepNames().empty());
    ASSERT_EQ(prompts.boxes.size(), 5u);
    for (const auto& box : prompts.boxes) {
        EXPECT_EQ(box.text, gui::Localized("VariableEditDialog/VariableAlreadyExist"));
    }
}

// Countdown: Count is used by ten parameters (in Tick and Bye), Greeting by two (in Hello).
TEST_F(VariablesDialogTest, UsedVariablesShowTheirUsersAndAskBeforeLosingThem)
{
    ASSERT_TRUE(document.OpenDocument(started.workspace / "samples/Countdown.bdf"));
    const std::string file = document.WriteDataFile();
    const std::vector<std::size_t> path{2, 0};
    // An instruction dialog's working copy is no use in the document.
    const CCodeBase* set = document.GetState()->GetTrigger(1)->GetNodeFromPath(path);
    const std::unique_ptr<CCodeBase> working(set->Clone());
    // As the main window opens it: inside the document's step.
    CDrivenVariablesDialog dialog(BeginEditVariables(document, false), false);
    EXPECT_EQ(test::Rows(dialog.List(), {2}), (QStringList{"10", "2"})) << "use counts";
    EXPECT_FALSE(dialog.Action(QStringLiteral("FindUsages"))->isVisible()) << "only the main window shows usages";

    // No to each question changes nothing: delete, cut, a new type.
    prompts.boxAnswers = {QMessageBox::No, QMessageBox::No, QMessageBox::No};
    dialog.answers = {{"Greeting", "Number"}};
    Select(dialog, 0);
    dialog.OnDelete();
    dialog.OnCut();
    Select(dialog, 1);
    dialog.OnChange();
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("The variable Count is used by 10 parameters. Their instructions "
                                                    "lose this value and are disabled. Continue?"));
    EXPECT_EQ(prompts.boxes[2].text.section(' ', 0, 7),
              QStringLiteral("The variable Greeting is used by 2 parameters."));
    EXPECT_TRUE(dialog.UndoStepNames().empty());
    EXPECT_EQ(Rows(dialog), (QStringList{"Count|Number", "Greeting|Text"}));
    EXPECT_FALSE(dialog.Action(QStringLiteral("Paste"))->isEnabled()) << "a refused cut copies nothing";

    // Yes deletes it; its instructions lose the value once the dialog keeps the change.
    prompts.boxAnswers = {QMessageBox::Yes};
    Select(dialog, 0);
    dialog.OnDelete();
    EXPECT_EQ(Rows(dialog), QStringList{"Greeting|Text"});
    dialog.OnUndo(); // undo asks nothing
    dialog.OnRedo();
    EXPECT_EQ(prompts.boxes.size(), 4u);
    dialog.accept();
    EndEditVariables(document, true);
    // The step kept the trigger before its parameters were emptied: undo gives back the set itself.
    const CCodeBase* emptied = document.GetState()->GetTrigger(1)->GetNodeFromPath(path);
    EXPECT_FALSE(emptied->IsEnabled());
    EXPECT_FALSE(emptied->IsComplete());
    document.Undo();
    EXPECT_EQ(document.GetState()->GetTrigger(1)->GetNodeFromPath(path), set);
    EXPECT_TRUE(set->IsComplete());
    EXPECT_EQ(document.WriteDataFile(), file);
}

} // namespace
} // namespace bram::test
