// The palettes of the main window on the Showcase sample: insert by name
// (placed as New places, its dialog open on the first parameter without a
// value; Escape changes nothing), a letter typed on an instruction, and go
// to a trigger or a global (the ranking itself: NameRankingList tests).

#include "gui/controls/Palette.h"
#include "gui/dialogs/InstructionDialog.h"
#include "gui/dialogs/ParameterDialog.h"
#include "gui/dialogs/VariablesDialog.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/views/InstructionView.h"

#include "GuiTestSupport.h"
#include "base/Text.h"
#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/DocumentEdits.h"
#include "progress/LoadingProgress.h"
#include "records/CodeInfoBase.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

namespace bram {
namespace {

struct PaletteTest : test::DocumentTest {
    PaletteTest()
    {
        EXPECT_TRUE(document.OpenDocument(started.workspace / "samples/Showcase.bdf"));
        frame = MakeFrame();
        EXPECT_TRUE(test::ShowActive(*frame));
    }
    gui::CInstructionView& Instructions() const
    {
        return dynamic_cast<gui::CInstructionView&>(*frame->InstructionPane());
    }
    CCodeTrigger* Current() const { return document.GetState()->GetCurrentTrigger(); }
    // Makes the trigger current with the node at the path selected.
    void SelectNode(const std::string& trigger, std::vector<std::size_t> path)
    {
        SelectTrigger(document, document.GetCategorySystem().FindTrigger(trigger).entry);
        Current()->SetCurrentNode(Current()->GetNodeFromPath(path));
        document.UpdateAllViews();
    }
    QStringList Rows(const gui::CPalette* palette) const
    {
        QStringList rows;
        for (int i = 0; i < palette->List()->count(); ++i) {
            rows << palette->List()->item(i)->text();
        }
        return rows;
    }
    static void Key(QKeyCombination key)
    {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    }

    std::unique_ptr<test::CDrivenFrame> frame;
};

TEST_F(PaletteTest, InsertByNamePlacesAsNewDoesAndAsksForTheFirstMissingParameter)
{
    SelectNode("Greeting", {2, 0});
    const std::size_t steps = document.GetUndoCount();
    Instructions().Tree()->setFocus();
    Key(Qt::CTRL | Qt::Key_Space);
    gui::CPalette* palette = frame->InsertPalette();
    ASSERT_TRUE(palette->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), palette->Field());
    EXPECT_FALSE(palette->Field()->accessibleName().isEmpty());
    EXPECT_FALSE(palette->List()->accessibleName().isEmpty());
    QTest::keyClicks(palette->Field(), QStringLiteral("print"));
    ASSERT_FALSE(Rows(palette).isEmpty());
    EXPECT_EQ(Rows(palette).front(), QStringLiteral("Print text  \u2013  Actions"));

    std::string picked;
    bool asked = false;
    frame->answer = [&](QDialog& dialog) {
        auto& instruction = dynamic_cast<gui::CInstructionDialog&>(dialog);
        picked =
            instruction.GetInstruction() != nullptr ? instruction.GetInstruction()->GetDefinition()->GetName() : "";
        // The parameter dialog opens once the instruction dialog shows; it is cancelled here.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&instruction, &asked] {
            if (auto* parameter = instruction.findChild<gui::CParameterDialog*>();
                parameter && parameter->isVisible()) {
                asked = parameter->TextField() != nullptr;
                parameter->reject();
            }
        });
        closer.start(10);
        dialog.show();
        const bool opened = QTest::qWaitFor([&asked] { return asked; }, 5000);
        dialog.hide();
        return opened ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    Key(Qt::Key_Return);
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(picked, "Print");
    EXPECT_TRUE(asked) << "the dialog of the text to print opens";
    // Right after the selected instruction, as New places it, and selected.
    const CCodeBase* added = Current()->GetNodeFromPath(std::vector<std::size_t>{2, 1});
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->GetDefinition()->GetName(), "Print");
    EXPECT_EQ(Current()->GetCurrentNode(), added);
    EXPECT_EQ(document.GetUndoCount(), steps + 1);
    EXPECT_EQ(document.GetUndoName(), "History/InstructionView_NewInstruction");

    // Cancelled in the dialog: as a cancelled New, no step.
    frame->answer = [](QDialog&) { return int(QDialog::Rejected); };
    ASSERT_TRUE(test::ShowActive(*frame)) << "back from the dialog";
    Instructions().Tree()->setFocus();
    Key(Qt::CTRL | Qt::Key_Space);
    QTest::keyClicks(palette->Field(), QStringLiteral("print"));
    Key(Qt::Key_Return);
    EXPECT_EQ(document.GetUndoCount(), steps + 1);
    EXPECT_EQ(frame->dialogs, 2);
}

TEST_F(PaletteTest, EscapeOrALetterThatFindsNothingChangesNothing)
{
    SelectNode("Greeting", {2, 1});
    const std::string before = document.WriteDataFile();
    const std::size_t steps = document.GetUndoCount();
    QTreeView* tree = Instructions().Tree();
    tree->setFocus();
    // A letter typed on an instruction opens the palette with it.
    QTest::keyClicks(tree, QStringLiteral("p"));
    gui::CPalette* palette = frame->InsertPalette();
    ASSERT_TRUE(palette->isVisible());
    EXPECT_EQ(palette->Field()->text(), QStringLiteral("p"));
    QTest::keyClicks(palette->Field(), QStringLiteral("rint"));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), tree) << "the focus goes back";
    // Words that match nothing: Enter beeps and the palette stays.
    Key(Qt::CTRL | Qt::Key_Space);
    QTest::keyClicks(palette->Field(), QStringLiteral("zzq"));
    EXPECT_EQ(palette->List()->count(), 0);
    Key(Qt::Key_Return);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(palette->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_EQ(frame->dialogs, 0);
    EXPECT_EQ(document.GetUndoCount(), steps);
    EXPECT_EQ(document.WriteDataFile(), before);
}

TEST_F(PaletteTest, GoToSelectsTheTriggerOrOpensTheVariablesDialogOnTheGlobal)
{
    SelectNode("Bye", {});
    frame->CategoriesPane()->setFocus();
    Key(Qt::CTRL | Qt::Key_K);
    gui::CPalette* palette = frame->GoToPalette();
    ASSERT_TRUE(palette->isVisible());
    QTest::keyClicks(palette->Field(), QStringLiteral("gre"));
    EXPECT_EQ(Rows(palette).front(), QStringLiteral("Greeting  \u2013  Greetings"));
    Key(Qt::Key_Return);
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->GetName(), "Greeting");
    const auto& tree = dynamic_cast<QTreeView&>(*frame->CategoriesPane());
    EXPECT_EQ(tree.currentIndex().data().toString(), QStringLiteral("Greeting"));

    // A category is selected in the tree, with no trigger current.
    Key(Qt::CTRL | Qt::Key_K);
    QTest::keyClicks(palette->Field(), QStringLiteral("clock"));
    Key(Qt::Key_Return);
    EXPECT_EQ(tree.currentIndex().data().toString(), QStringLiteral("Clock"));
    EXPECT_EQ(Current(), nullptr);

    // Arrows choose; a global opens the variables dialog on it.
    std::string selected;
    frame->answer = [&selected](QDialog& dialog) {
        auto& variables = dynamic_cast<gui::CVariablesDialog&>(dialog);
        const QTreeWidgetItem* item = variables.List()->currentItem();
        selected = item != nullptr ? item->text(0).toStdString() : "";
        return int(QDialog::Rejected);
    };
    Key(Qt::CTRL | Qt::Key_K);
    QTest::keyClicks(palette->Field(), QStringLiteral("c"));
    const QStringList rows = Rows(palette);
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows.mid(0, 2), (QStringList{"Clock  \u2013  category", "Count  \u2013  global variable"}));
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(selected, "Count");

    // A change of the document closes the palette: what it lists may be gone.
    ASSERT_TRUE(test::ShowActive(*frame));
    Key(Qt::CTRL | Qt::Key_K);
    ASSERT_TRUE(palette->isVisible());
    document.UpdateAllViews();
    EXPECT_FALSE(palette->isVisible());
}

TEST(PaletteLanguageTest, InstructionsAreFoundByTheirGermanWordsWithOrWithoutUmlauts)
{
    test::CWorkspaceCopy workspace;
    std::string ini = test::ReadFile(workspace / "brambleton.ini");
    ReplaceAll(ini, "Language=en", "Language=de");
    test::WriteFile(workspace / "brambleton.ini", ini);
    CApplicationCore core;
    CLoadingProgress progress;
    ASSERT_TRUE(core.InitInstance(workspace.Path(), progress));
    {
        CApplicationDocument document;
        ASSERT_TRUE(document.OpenDocument(workspace / "samples/Showcase.bdf"));
        SelectTrigger(document, document.GetCategorySystem().FindTrigger("Greeting").entry);
        test::CDrivenFrame frame(document, QString::fromStdString(workspace / "user.ini"),
                                 QString::fromStdString(workspace.Path()));
        const auto first = [&frame](const QString& typed) {
            frame.OnInsertByName(typed);
            const QListWidget* list = frame.InsertPalette()->List();
            return list->count() > 0 ? list->item(0)->text().section(QStringLiteral("  "), 0, 0) : QString();
        };
        EXPECT_EQ(first(QStringLiteral("ausgeb")), QStringLiteral("Text ausgeben"));
        EXPECT_EQ(first(QStringLiteral("ausf ausloser")), QStringLiteral("Auslöser ausführen"));
        EXPECT_EQ(first(QStringLiteral("AUSFÜHREN Auslöser")), QStringLiteral("Auslöser ausführen"));
    }
    core.ExitInstance();
}

} // namespace
} // namespace bram
