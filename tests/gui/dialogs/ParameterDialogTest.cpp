// The parameter dialog on the sample workspace's instructions; nested
// dialogs and the variables dialog are answered by the test.

#include "gui/dialogs/ParameterDialog.h"

#include "gui/controls/HyperlinkCtrl.h"
#include "gui/controls/NumberEdit.h"

#include "DialogDrivers.h"
#include "GuiTestSupport.h"
#include "code/State.h"
#include "code/Values.h"
#include "log/Assertion.h"
#include "records/InstructionInfo.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace bram::test {
namespace {

using gui::CParameterDialog;

// Gives a number through the literal row and confirms.
void EnterNumber(CParameterDialog& dialog, double value)
{
    dialog.NumberField()->Edit()->SetValue(value);
    dialog.SourceRadio(CParameterDialog::SourceLiteral)->click();
    dialog.accept();
}

struct ParameterDialogTest : test::DocumentTest {
    ParameterDialogTest() { test::AddCurrentTrigger(document, "Tick"); }

    // A new instruction of the sample modules, owned by the test.
    CCodeBase* New(const std::string& name)
    {
        instructions.emplace_back(test::Definition(name)->CreateCode());
        return instructions.back().get();
    }
    CState* State() { return document.GetState(); }
    std::unique_ptr<CDrivenParameterDialog> Open(CParameter* parameter)
    {
        return std::make_unique<CDrivenParameterDialog>(State(), parameter);
    }

    std::vector<std::unique_ptr<CCodeBase>> instructions;
};

TEST_F(ParameterDialogTest, RowsAndValueControlsFollowTheParameter)
{
    // A number: constants, variables, calls returning numbers, and the number field with its spin box.
    auto number = Open(New("Negate")->GetParameter(0));
    EXPECT_EQ(Items(number->ConstantList()), (QStringList{"infinity", "pi"}));
    ASSERT_NE(number->NumberField(), nullptr);
    EXPECT_EQ(number->TextField(), nullptr);
    EXPECT_TRUE(Items(number->CallList()).contains(QStringLiteral("Arithmetic")));
    EXPECT_FALSE(Items(number->CallList()).contains(QStringLiteral("Print"))) << "only calls returning a number";
    EXPECT_FALSE(number->OkButton()->isEnabled()) << "an empty parameter chooses nothing";

    // A truth value: two radio buttons with the localized names, no number field.
    auto truth = Open(New("If")->GetParameter(0));
    ASSERT_NE(truth->TrueRadio(), nullptr);
    EXPECT_EQ(truth->NumberField(), nullptr);

    // Only variables: the variable row alone, listing variables of every type.
    AddGlobal("Count");
    AddGlobal("Name", "Text");
    auto only = Open(New("SetVariable")->GetParameter(0));
    EXPECT_EQ(only->ConstantList(), nullptr);
    EXPECT_EQ(only->CallList(), nullptr);
    EXPECT_EQ(only->SourceRadio(CParameterDialog::SourceLiteral), nullptr);
    EXPECT_EQ(Items(only->VariableList()), (QStringList{"Count", "Name"}));

    // A trigger: the trigger variables of its type, no value row.
    auto trigger = Open(New("EnableTrigger")->GetParameter(0));
    EXPECT_EQ(Items(trigger->VariableList()), (QStringList{"Tick"}));
    EXPECT_EQ(trigger->SourceRadio(CParameterDialog::SourceLiteral), nullptr);

    // Lists and fields are named for assistive tools by their radio buttons.
    EXPECT_EQ(number->ConstantList()->accessibleName(), gui::Localized("ParameterDialog/ConstantRadio"));
    EXPECT_EQ(number->NumberField()->accessibleName(), gui::Localized("ParameterDialog/ValueRadio"));
}

TEST_F(ParameterDialogTest, EnumeratedParametersChooseAmongTheirValues)
{
    CCodeBase* arithmetic = New("Arithmetic");
    CParameter* op = arithmetic->GetParameter(1);
    auto dialog = Open(op);
    EXPECT_EQ(dialog->VariableList(), nullptr);
    ASSERT_TRUE(dialog->SourceRadio(CParameterDialog::SourceLiteral)->isChecked());
    dialog->ConstantList()->setCurrentIndex(dialog->ConstantList()->findText(QStringLiteral("modulo")));
    EXPECT_EQ(op->GetText(), "modulo") << "taken over at once";
    dialog->reject();
    EXPECT_EQ(op->GetChoiceIndex(), 0);

    auto chosen = Open(op);
    chosen->ConstantList()->setCurrentIndex(chosen->ConstantList()->findText(QStringLiteral("-")));
    chosen->accept();
    EXPECT_EQ(op->GetText(), "-");
}

TEST_F(ParameterDialogTest, TypedLinesAreStoredWithSingleLineFeeds)
{
    CParameter* message = New("Print")->GetParameter(0);
    auto dialog = Open(message);
    ASSERT_NE(dialog->TextField(), nullptr);
    QTest::keyClicks(dialog->TextField(), QStringLiteral("first"));
    QTest::keyClick(dialog->TextField(), Qt::Key_Return);
    QTest::keyClicks(dialog->TextField(), QStringLiteral("second"));
    EXPECT_TRUE(dialog->SourceRadio(CParameterDialog::SourceLiteral)->isChecked()) << "typing chooses the value";
    ASSERT_TRUE(dialog->OkButton()->isEnabled());
    dialog->accept();
    const auto* text = dynamic_cast<const CStringValue*>(message->GetValue());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetValue(), "first\nsecond");

    // Opened again, the dialog shows the text.
    EXPECT_EQ(Open(message)->TextField()->toPlainText(), QStringLiteral("first\nsecond"));
}

TEST_F(ParameterDialogTest, WithoutVariablesTheRowWaitsForANewGlobal)
{
    AddGlobal("Name", "Text");
    CParameter* x = New("Negate")->GetParameter(0);
    auto dialog = Open(x);
    EXPECT_EQ(Items(dialog->VariableList()), (QStringList{gui::Localized("ParameterDialog/NoVariables")}));
    EXPECT_FALSE(dialog->VariableList()->isEnabled());
    EXPECT_FALSE(dialog->SourceRadio(CParameterDialog::SourceVariable)->isEnabled());

    dialog->variables = [this] { AddGlobal("Lives"); };
    dialog->AddVariableButton(false)->click();
    EXPECT_TRUE(dialog->VariablesChanged());
    EXPECT_EQ(Items(dialog->VariableList()), (QStringList{"Lives"}));
    dialog->SourceRadio(CParameterDialog::SourceVariable)->click();
    ASSERT_TRUE(dialog->OkButton()->isEnabled());
    dialog->accept();
    EXPECT_EQ(x->GetText(), "Lives");
}

// A screen reader toggles radio buttons without a click; the choice is the same.
TEST_F(ParameterDialogTest, RadioButtonsChooseWhenToggledWithoutAClick)
{
    CParameter* condition = New("If")->GetParameter(0);
    auto truth = Open(condition);
    ASSERT_TRUE(AccessibleToggle(truth->FalseRadio()));
    EXPECT_TRUE(truth->SourceRadio(CParameterDialog::SourceLiteral)->isChecked());
    ASSERT_TRUE(truth->OkButton()->isEnabled());
    truth->accept();
    const auto* value = dynamic_cast<const CBoolValue*>(condition->GetValue());
    ASSERT_NE(value, nullptr);
    EXPECT_FALSE(value->GetValue());

    CParameter* x = New("Negate")->GetParameter(0);
    auto number = Open(x);
    ASSERT_TRUE(AccessibleToggle(number->SourceRadio(CParameterDialog::SourceConstant)));
    ASSERT_TRUE(number->OkButton()->isEnabled());
    number->accept();
    EXPECT_EQ(x->GetText(), "infinity");
    EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(ParameterDialogTest, ACallShowsEllipsesForEmptyParametersAndOkWaitsForThem)
{
    CParameter* x = New("Negate")->GetParameter(0);
    auto dialog = Open(x);
    dialog->CallList()->setCurrentIndex(dialog->CallList()->findText(QStringLiteral("Arithmetic")));
    EXPECT_TRUE(dialog->SourceRadio(CParameterDialog::SourceInstruction)->isChecked());
    EXPECT_EQ(dialog->CallText()->Text(), QStringLiteral("[...] + [...]"));
    EXPECT_EQ(dialog->CallText()->LinkCount(), 3u);
    EXPECT_FALSE(dialog->OkButton()->isEnabled());

    dialog->nested = [](CParameterDialog& nested) { EnterNumber(nested, 3); };
    dialog->OnCallLinkClicked(0);
    EXPECT_EQ(dialog->CallText()->Text(), QStringLiteral("3.00 + [...]"));
    EXPECT_FALSE(dialog->OkButton()->isEnabled());
    dialog->nested = [](CParameterDialog& nested) { EnterNumber(nested, 4); };
    dialog->OnCallLinkClicked(2);
    ASSERT_TRUE(dialog->OkButton()->isEnabled());
    dialog->accept();
    EXPECT_EQ(x->GetText(), "3.00 + 4.00");
}

TEST_F(ParameterDialogTest, CancelPutsBackWhatTheParameterHeldWhateverHappenedMeanwhile)
{
    // A literal survives a chosen call, nested edits and a variable added on the way.
    CParameter* x = New("Negate")->GetParameter(0);
    auto* five = new CNumberValue(TypeNamed("Number"));
    five->SetValue(5);
    x->SetValue(five);
    auto dialog = Open(x);
    dialog->CallList()->setCurrentIndex(dialog->CallList()->findText(QStringLiteral("Arithmetic")));
    dialog->variables = [this] { AddGlobal("Lives"); };
    dialog->nested = [](CParameterDialog& nested) {
        nested.AddVariableButton(false)->click();
        nested.VariableList()->setCurrentIndex(0);
        nested.accept();
    };
    dialog->OnCallLinkClicked(0);
    EXPECT_TRUE(dialog->VariablesChanged()) << "a nested dialog's new variable is reported";
    EXPECT_EQ(dialog->CallText()->Text(), QStringLiteral("Lives + [...]"));
    dialog->reject();
    EXPECT_EQ(x->GetValue(), five);
    EXPECT_EQ(x->GetText(), "5.00");

    // A held variable deleted through the variables dialog comes back as an empty parameter.
    CUserDefinedVariable* count = AddGlobal("Count");
    x->SetValue(count);
    auto deleting = Open(x);
    deleting->variables = [this] { State()->GetGlobals().pop_back(); };
    deleting->AddVariableButton(false)->click();
    EXPECT_FALSE(deleting->OkButton()->isEnabled());
    deleting->reject();
    EXPECT_EQ(x->GetValue(), nullptr);

    // A source given another type empties its dependent; Cancel brings both back.
    CCodeBase* set = New("SetVariable");
    CUserDefinedVariable* lives = State()->GetGlobal(0);
    set->GetParameter(0)->SetValue(lives);
    auto* two = new CNumberValue(TypeNamed("Number"));
    two->SetValue(2);
    set->GetParameter(1)->SetValue(two);
    AddGlobal("Name", "Text");
    auto source = Open(set->GetParameter(0));
    source->VariableList()->setCurrentIndex(source->VariableList()->findText(QStringLiteral("Name")));
    EXPECT_EQ(set->GetParameter(1)->GetValue(), nullptr);
    source->reject();
    EXPECT_EQ(set->GetParameter(0)->GetValue(), lives);
    EXPECT_EQ(set->GetParameter(1)->GetText(), "2.00");

    // The source deleted meanwhile: nothing gives the value a type, so it goes too.
    auto deletingSource = Open(set->GetParameter(0));
    deletingSource->variables = [this] { State()->GetGlobals().erase(State()->GetGlobals().begin()); };
    deletingSource->AddVariableButton(false)->click();
    EXPECT_EQ(set->GetParameter(1)->GetValue(), nullptr);
    deletingSource->reject();
    EXPECT_EQ(set->GetParameter(0)->GetValue(), nullptr);
    EXPECT_EQ(set->GetParameter(1)->GetValue(), nullptr);
}

TEST_F(ParameterDialogTest, BrokenDefinitionsAndValuesGoToTheAssertionRoutine)
{
    const unsigned before = GetAssertionFailureCount();
    // An enumerated parameter without values (the module loader refuses one; built here by hand).
    CParameterInfo empty("Broken", "Parameter", std::vector<CEnumValue>{}, nullptr);
    std::unique_ptr<CParameter> parameter(static_cast<CParameter*>(empty.CreateCode().release()));
    auto dialog = Open(parameter.get());
    EXPECT_EQ(dialog->ConstantList()->count(), 0);
    EXPECT_FALSE(dialog->OkButton()->isEnabled());
    dialog->reject();
    EXPECT_GT(GetAssertionFailureCount(), before);

    // A number held by a truth value parameter shows no value; Cancel does not put it back.
    const unsigned held = GetAssertionFailureCount();
    CParameter* condition = New("If")->GetParameter(0);
    condition->SetValue(new CNumberValue(TypeNamed("Number")));
    auto mismatch = Open(condition);
    EXPECT_GT(GetAssertionFailureCount(), held);
    mismatch->reject();
    EXPECT_EQ(condition->GetValue(), nullptr);
}

} // namespace
} // namespace bram::test
