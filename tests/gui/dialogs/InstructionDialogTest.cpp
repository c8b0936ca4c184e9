// The instruction dialog and its chooser on the sample workspace, and both
// dialogs laid out in English and German.

#include "gui/dialogs/InstructionDialog.h"

#include "gui/controls/HyperlinkCtrl.h"

#include "DialogDrivers.h"
#include "GuiTestSupport.h"
#include "base/Text.h"
#include "code/State.h"
#include "code/Values.h"
#include "modules/Module.h"
#include "progress/LoadingProgress.h"
#include "records/InstructionInfo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace bram::test {
namespace {

using gui::CHyperlinkCtrl;
using gui::CInstructionDialog;
using gui::CParameterDialog;

// Parameter dialogs answered by the test: `answer` fills in the dialog and closes it.
class CDrivenInstructionDialog : public CInstructionDialog {
public:
    using CInstructionDialog::CInstructionDialog;
    std::function<void(CParameterDialog&)> answer;
    std::function<void()> addVariable;

protected:
    std::unique_ptr<CParameterDialog> MakeParameterDialog(CParameter* parameter) override
    {
        auto dialog = std::make_unique<test::CDrivenParameterDialog>(state, parameter, this);
        dialog->variables = addVariable;
        return dialog;
    }
    int RunParameterDialog(CParameterDialog& dialog) override
    {
        answer(dialog);
        return dialog.result();
    }

public:
    CState* state = nullptr;
};

struct InstructionDialogTest : test::DocumentTest {
    InstructionDialogTest() { test::AddCurrentTrigger(document, "Tick"); }
    std::unique_ptr<CDrivenInstructionDialog> Open(const char* blockType, const CCodeBase* existing = nullptr)
    {
        auto dialog = std::make_unique<CDrivenInstructionDialog>(document.GetState(), TypeNamed(blockType), existing);
        dialog->state = document.GetState();
        return dialog;
    }
    static void Choose(CInstructionDialog& dialog, const QString& category, const QString& instruction)
    {
        dialog.CategoryBox()->setCurrentIndex(dialog.CategoryBox()->findText(category));
        dialog.InstructionList()->setCurrentIndex(dialog.InstructionList()->findText(instruction));
    }
};

TEST_F(InstructionDialogTest, CategoriesComeFromTheDefinitionsOfTheBlockType)
{
    // A definition of the block type without categories is never listed.
    CCallInfo hidden("Hidden", "Call", "", "Hidden", "Hidden", "", TypeNamed("Event"), {}, nullptr);
    MutableInstructionList().push_back(&hidden);
    auto dialog = Open("Event");
    EXPECT_EQ(Items(dialog->CategoryBox()), (QStringList{"Events", "Timers"}));
    EXPECT_EQ(dialog->CategoryBox()->currentIndex(), 0);
    // "Events|Timers" is listed under both.
    EXPECT_TRUE(Items(dialog->InstructionList()).contains(QStringLiteral("Timer expires")));
    dialog->CategoryBox()->setCurrentIndex(1);
    EXPECT_EQ(Items(dialog->InstructionList()), (QStringList{"Timer expires"}));
    EXPECT_EQ(dialog->GetInstruction()->GetDefinition(), Definition("TimerExpires"));
    MutableInstructionList().pop_back();
}

TEST_F(InstructionDialogTest, SearchNarrowsTheListAndOkFollowsIt)
{
    auto dialog = Open("Action");
    Choose(*dialog, QStringLiteral("Output"), QStringLiteral("Print text"));
    EXPECT_FALSE(dialog->OkButton()->isEnabled()) << "the message is still empty";

    dialog->SearchField()->setText(QStringLiteral("print"));
    EXPECT_EQ(dialog->InstructionList()->count(), 0) << "the search is case-sensitive";
    EXPECT_EQ(dialog->GetInstruction(), nullptr);
    EXPECT_TRUE(dialog->Description()->Text().isEmpty());
    dialog->SearchField()->clear();
    EXPECT_EQ(dialog->InstructionList()->currentIndex(), 0);
    ASSERT_NE(dialog->GetInstruction(), nullptr);

    // A stop takes no parameters: OK at once.
    Choose(*dialog, QStringLiteral("Control flow"), QStringLiteral("Stop the script"));
    EXPECT_TRUE(dialog->OkButton()->isEnabled());
}

TEST_F(InstructionDialogTest, SentenceLinksOpenParameterDialogsAndShortenLongValues)
{
    auto dialog = Open("Action");
    Choose(*dialog, QStringLiteral("Output"), QStringLiteral("Print text"));
    ASSERT_EQ(dialog->Description()->LinkCount(), 1u);
    EXPECT_EQ(dialog->Description()->Link(0)->marks, 0u) << "not set yet";

    // 33 characters in apostrophes are 35: shown whole; 40 are shortened.
    const std::string whole(33, 'w');
    const std::string longer = "abcdefghijklmn" + std::string(10, '-') + "opqrstuvwxyzAB";
    for (const std::string& value : {whole, longer}) {
        dialog->answer = [&value](CParameterDialog& parameter) {
            parameter.TextField()->setPlainText(QString::fromStdString(value));
            parameter.accept();
        };
        dialog->OnLinkClicked(0);
        const CHyperlinkCtrl::CLink* link = dialog->Description()->Link(0);
        EXPECT_EQ(link->marks, CHyperlinkCtrl::MarkSet);
        const QString shown = dialog->Description()->LinkText(link);
        EXPECT_EQ(shown, value == whole ? QStringLiteral("'%1'").arg(QString::fromStdString(whole))
                                        : QStringLiteral("'abcdefghijklmn[...]opqrstuvwxyzAB'"));
    }
    EXPECT_TRUE(dialog->OkButton()->isEnabled());
    EXPECT_FALSE(dialog->VariablesChanged());

    // A value whose type comes from an empty variable parameter cannot be given yet.
    Choose(*dialog, QStringLiteral("Variables"), QStringLiteral("Set variable"));
    ASSERT_EQ(dialog->Description()->LinkCount(), 2u);
    EXPECT_EQ(dialog->Description()->Link(1)->marks, CHyperlinkCtrl::MarkUnavailable);
    dialog->answer = [](CParameterDialog&) { ADD_FAILURE() << "no dialog for a parameter without a type"; };
    dialog->OnLinkClicked(1);
    EXPECT_EQ(prompts.beeps, 1);
}

TEST_F(InstructionDialogTest, TheKeyboardReachesEveryFieldAndLink)
{
    auto dialog = Open("Action");
    Choose(*dialog, QStringLiteral("Control flow"), QStringLiteral("Repeat n times"));
    ASSERT_TRUE(test::ShowActive(*dialog));
    dialog->CategoryBox()->setFocus();
    for (QWidget* next :
         {static_cast<QWidget*>(dialog->SearchField()), static_cast<QWidget*>(dialog->InstructionList()),
          static_cast<QWidget*>(dialog->Description())}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    int opened = 0;
    dialog->answer = [&opened](CParameterDialog& parameter) {
        ++opened;
        parameter.reject();
    };
    QTest::keyClick(dialog->Description(), Qt::Key_Return);
    EXPECT_EQ(opened, 1) << "Return on a link opens its parameter, not OK";
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(InstructionDialogTest, EditingWorksOnACopyShownPreselected)
{
    const std::unique_ptr<CCodeBase> existing(Definition("Print")->CreateCode());
    existing->GetParameter(0)->SetValue(new CStringValue("hello", TypeNamed("Text")));
    struct CAnsweringChooser : gui::CInstructionDialogChooser {
        std::function<void(CInstructionDialog&)> answer;
        int Run(CInstructionDialog& dialog) override
        {
            answer(dialog);
            return dialog.result();
        }
    } chooser;
    chooser.answer = [&existing](CInstructionDialog& dialog) {
        EXPECT_EQ(dialog.CategoryBox()->currentText(), QStringLiteral("Output"));
        EXPECT_EQ(dialog.InstructionList()->currentText(), QStringLiteral("Print text"));
        EXPECT_NE(dialog.GetInstruction(), existing.get());
        EXPECT_EQ(dialog.Description()->Text(), QStringLiteral("Prints 'hello' on its own line."));
        EXPECT_TRUE(dialog.OkButton()->isEnabled());
        dialog.accept();
    };
    gui::IInstructionChooser& asInterface = chooser;
    auto result = asInterface.Choose(*document.GetState(), TypeNamed("Action"), existing.get(), nullptr);
    ASSERT_NE(result.instruction, nullptr);
    EXPECT_NE(result.instruction.get(), existing.get());
    EXPECT_EQ(result.instruction->GetText(), existing->GetText());

    // Another list item discards the copy: back on Print, the message is empty again.
    auto dialog = Open("Action", existing.get());
    Choose(*dialog, QStringLiteral("Control flow"), QStringLiteral("Stop the script"));
    Choose(*dialog, QStringLiteral("Output"), QStringLiteral("Print text"));
    EXPECT_FALSE(dialog->GetInstruction()->GetParameter(0)->HasValue());
    EXPECT_EQ(existing->GetParameter(0)->GetText(), "'hello'");
}

TEST_F(InstructionDialogTest, ACancelledDialogReportsChangedVariables)
{
    auto dialog = Open("Action");
    Choose(*dialog, QStringLiteral("Control flow"), QStringLiteral("Repeat n times"));
    dialog->addVariable = [this] { AddGlobal("Lives"); };
    dialog->answer = [](CParameterDialog& parameter) {
        parameter.AddVariableButton(false)->click();
        parameter.reject();
    };
    dialog->OnLinkClicked(0);
    EXPECT_TRUE(dialog->VariablesChanged());
    dialog->reject();
    EXPECT_EQ(dialog->TakeInstruction(), nullptr);
    EXPECT_TRUE(dialog->VariablesChanged());
}

// Every label, button, group title and list is at least as wide as its text needs.
void ExpectTextsFit(QWidget& dialog)
{
    dialog.show();
    for (const QWidget* widget : dialog.findChildren<QWidget*>()) {
        const bool texted = qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
                            qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QComboBox*>(widget);
        if (texted && widget->isVisible()) {
            EXPECT_GE(widget->width(), widget->minimumSizeHint().width())
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        }
    }
    dialog.close();
}

TEST(DialogLayoutTest, DialogsFitTheirTextsInEnglishAndGerman)
{
    QStringList titles;
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        test::CWorkspaceCopy workspace;
        std::string ini = test::ReadFile(workspace / "brambleton.ini");
        ReplaceAll(ini, "Language=en", std::string("Language=") + language);
        test::WriteFile(workspace / "brambleton.ini", ini);
        CApplicationCore core;
        CLoadingProgress progress;
        ASSERT_TRUE(core.InitInstance(workspace.Path(), progress));
        {
            CApplicationDocument document;
            document.NewDocument();
            test::AddCurrentTrigger(document, "Tick");
            CInstructionDialog instruction(document.GetState(), TypeNamed("Action"), nullptr);
            titles << instruction.windowTitle();
            instruction.CategoryBox()->setCurrentIndex(1);
            ExpectTextsFit(instruction);
            std::unique_ptr<CCodeBase> negate(Definition("Negate")->CreateCode());
            CParameterDialog parameter(document.GetState(), negate->GetParameter(0));
            ExpectTextsFit(parameter);
        }
        core.ExitInstance();
    }
    EXPECT_NE(titles.front(), titles.back()) << "the second run is in German";
}

} // namespace
} // namespace bram::test
