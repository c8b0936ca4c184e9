// The main window on a started sample workspace: menus from the string
// table, keys, panes, enable rules, and the document commands with their
// dialogs answered by the test.

#include "MainFrame.h"
#include "AboutDialog.h"
#include "RecentFileList.h"
#include "VariablesDialog.h"

#include "GuiTestSupport.h"
#include "TestDataFiles.h"
#include "base/Paths.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "localization/Localization.h"
#include "modules/Module.h"
#include "records/TypeInfo.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace bram {
namespace {

using gui::CMainFrame;

class CDrivenFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    std::function<int(QDialog&)> answer;
    int dialogs = 0;

protected:
    int RunDialog(QDialog& dialog) override
    {
        ++dialogs;
        return answer ? answer(dialog) : QDialog::Rejected;
    }
};

const CTypeInfo* NumberType()
{
    const auto& types = GetAllTypes();
    const auto it = std::ranges::find_if(types, [](const CTypeInfo* type) { return type->GetName() == "Number"; });
    return it != types.end() ? *it : nullptr;
}

struct MainFrameTest : ::testing::Test {
    MainFrameTest() { document.NewDocument(); }

    std::unique_ptr<CDrivenFrame> MakeFrame()
    {
        return std::make_unique<CDrivenFrame>(document, QString::fromStdString(UserIni()),
                                              QString::fromStdString(started.workspace.Path()));
    }
    std::string UserIni() const { return started.workspace / "user.ini"; }
    QString Path(const char* name) const { return QString::fromStdString(started.workspace / name); }
    // What a view does: record a step, then change the fresh state.
    void AddGlobal(const std::string& name)
    {
        document.AddHistoryStep("History/Variables_VariablesChanged");
        document.GetState()->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>(name, NumberType()));
    }
    std::vector<std::string> Globals() const { return test::GlobalNames(document); }

    test::CStartedCore started;
    test::CFakePrompts prompts;
    CApplicationDocument document;
};

TEST_F(MainFrameTest, MenusAndTitleFollowTheStringTableInOrderOrShowIdentifiers)
{
    const std::vector<test::FieldCase> menus = test::FieldCases("gui/main-menus.txt");
    std::string entries = "<string id=\"Title\">Test Editor</string>";
    for (const test::FieldCase& menu : menus) {
        for (const QString& id : QString::fromStdString(menu.name + " " + menu["items"]).split(' ')) {
            entries += id == "-" ? "" : "<string id=\"" + id.toStdString() + "\">[" + id.toStdString() + "]</string>";
        }
    }
    test::CTempDir tables;
    test::CTempDir empty;
    test::WriteFile(tables / "xx/MainFrame.xml", "<stringtable>" + entries + "</stringtable>");
    SetLanguage("xx");
    for (const bool translated : {true, false}) {
        SCOPED_TRACE(translated);
        SetLocalizationPath(translated ? tables.Path() : empty.Path());
        const auto frame = MakeFrame();
        const auto shown = [translated](const QString& id) { return translated && id != "-" ? "[" + id + "]" : id; };
        const QMenuBar* bar = frame->menuBar();
        ASSERT_EQ(bar->actions().size(), static_cast<qsizetype>(menus.size()));
        for (std::size_t i = 0; i < menus.size(); ++i) {
            EXPECT_EQ(bar->actions()[static_cast<int>(i)]->text(), shown(QString::fromStdString(menus[i].name)));
            QStringList items;
            for (const QString& id : QString::fromStdString(menus[i]["items"]).split(' ')) {
                items << shown(id);
            }
            EXPECT_EQ(test::MenuTexts(test::TopMenu(bar, static_cast<int>(i))), items);
        }
        // The recent-file placeholder is greyed while the list is empty.
        EXPECT_FALSE(frame->Action(QStringLiteral("LastFile"))->isEnabled());
        // The title is read once: the document name follows it.
        EXPECT_EQ(frame->windowTitle(),
                  translated ? QStringLiteral("Test Editor - Untitled") : QStringLiteral("Title - Untitled"));
    }
}

TEST_F(MainFrameTest, AcceleratorsAreMapped)
{
    const auto frame = MakeFrame();
    for (const test::FieldCase& row : test::FieldCases("gui/main-shortcuts.txt")) {
        const QAction* action = frame->Action(QString::fromStdString(row.name));
        ASSERT_NE(action, nullptr) << row.name;
        EXPECT_EQ(action->shortcuts(), QKeySequence::listFromString(QString::fromStdString(row["keys"]))) << row.name;
    }
    // No two actions share a key.
    QList<QKeySequence> all;
    for (const QAction* action : frame->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            EXPECT_FALSE(all.contains(key)) << key.toString().toStdString();
            all << key;
        }
    }
    // Print does nothing: no box, no dialog, the document untouched.
    frame->Action(QStringLiteral("Print"))->trigger();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(frame->dialogs, 0);
    EXPECT_FALSE(document.IsModified());
}

TEST_F(MainFrameTest, F6MovesBetweenThePanes)
{
    const auto frame = MakeFrame();
    frame->show();
    QApplication::setActiveWindow(frame.get());
    frame->CategoriesPane()->setFocus();
    const QWidget* order[] = {frame->CommentPane(), frame->InstructionPane(), frame->CategoriesPane()};
    for (const QWidget* pane : order) {
        frame->Action(QStringLiteral("NextPane"))->trigger();
        EXPECT_EQ(QApplication::focusWidget(), pane);
    }
    frame->Action(QStringLiteral("PrevPane"))->trigger();
    EXPECT_EQ(QApplication::focusWidget(), frame->InstructionPane());
    // From outside the panes, F6 starts at the first one.
    frame->menuBar()->setFocus();
    frame->Action(QStringLiteral("NextPane"))->trigger();
    EXPECT_EQ(QApplication::focusWidget(), frame->CategoriesPane());
}

TEST_F(MainFrameTest, PanesStartAtAThirdAndAHalf)
{
    const auto frame = MakeFrame();
    frame->resize(900, 600 + frame->menuBar()->sizeHint().height());
    frame->show();
    ASSERT_EQ(frame->OuterSplitter()->size(), QSize(900, 600));
    const int bar = frame->OuterSplitter()->handleWidth();
    const int column = frame->OuterSplitter()->sizes()[0];
    const int comment = frame->InnerSplitter()->sizes()[0];
    EXPECT_LE(column, 300);
    EXPECT_GE(column, 300 - bar);
    EXPECT_LE(comment, 300);
    EXPECT_GE(comment, 300 - frame->InnerSplitter()->handleWidth());
    EXPECT_EQ(frame->InnerSplitter()->parentWidget(), frame->OuterSplitter());
    EXPECT_EQ(frame->InnerSplitter()->orientation(), Qt::Vertical);
}

TEST_F(MainFrameTest, LocalsAndToCodeNeedACurrentTriggerAndUndoTextsNameTheStep)
{
    const auto frame = MakeFrame();
    QAction* globals = frame->Action(QStringLiteral("62005"));
    QAction* locals = frame->Action(QStringLiteral("62006"));
    QAction* toCode = frame->Action(QStringLiteral("62007"));
    QAction* undo = frame->Action(QStringLiteral("Undo"));
    QAction* redo = frame->Action(QStringLiteral("Redo"));
    EXPECT_TRUE(globals->isEnabled());
    EXPECT_FALSE(locals->isEnabled());
    EXPECT_FALSE(toCode->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), QStringLiteral("&Redo"));
    EXPECT_FALSE(redo->isEnabled());
    toCode->trigger();
    EXPECT_FALSE(document.CanUndo());

    test::AddCurrentTrigger(document, "Tick");
    document.UpdateAllViews();
    EXPECT_TRUE(locals->isEnabled());
    EXPECT_TRUE(toCode->isEnabled());

    toCode->trigger();
    const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
    ASSERT_NE(trigger, nullptr);
    EXPECT_TRUE(trigger->IsCode());
    EXPECT_NE(trigger->GetCodeText().find("trg_Tick"), std::string::npos) << trigger->GetCodeText();
    EXPECT_EQ(document.GetUndoName(), "History/Trigger_ToCode");
    EXPECT_TRUE(locals->isEnabled());
    EXPECT_FALSE(toCode->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo: convert trigger to code"));
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());

    undo->trigger();
    EXPECT_FALSE(document.GetState()->GetCurrentTrigger()->IsCode());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), QStringLiteral("&Redo: convert trigger to code"));
    EXPECT_TRUE(redo->isEnabled());

    redo->trigger();
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->IsCode());
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
}

TEST_F(MainFrameTest, VariablesCommandIsOneStepOrNone)
{
    AddGlobal("Count");
    const std::size_t steps = document.GetUndoCount();
    const auto frame = MakeFrame();
    bool local = true;
    frame->answer = [&local](QDialog& dialog) {
        auto& variables = dynamic_cast<gui::CVariablesDialog&>(dialog);
        local = variables.windowTitle().isEmpty();
        variables.OnRenameInPlace(0, QStringLiteral("Lives"));
        variables.reject();
        return QDialog::Rejected;
    };
    frame->Action(QStringLiteral("62005"))->trigger();
    EXPECT_EQ(frame->dialogs, 1);
    EXPECT_FALSE(local);
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Count"}));
    EXPECT_EQ(document.GetUndoCount(), steps);
    EXPECT_EQ(document.GetUndoName(), "History/Variables_VariablesChanged");

    frame->answer = [](QDialog& dialog) {
        auto& variables = dynamic_cast<gui::CVariablesDialog&>(dialog);
        variables.OnRenameInPlace(0, QStringLiteral("Lives"));
        variables.accept();
        return QDialog::Accepted;
    };
    frame->Action(QStringLiteral("62005"))->trigger();
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Lives"}));
    EXPECT_EQ(document.GetUndoCount(), steps + 1);
    EXPECT_EQ(frame->Action(QStringLiteral("Undo"))->text(), QStringLiteral("&Undo: edit variables"));
    frame->OnEditUndo();
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Count"}));
}

TEST_F(MainFrameTest, SaveNewOpenRoundTrip)
{
    const auto frame = MakeFrame();
    AddGlobal("Lives");
    EXPECT_TRUE(document.IsModified());
    const QString path = Path("game");
    prompts.fileAnswers = {path};
    ASSERT_TRUE(frame->OnFileSave());
    // Save of an untitled document asks for a name: the title with the data extension.
    EXPECT_EQ(prompts.defaultNames, (QStringList{"Untitled.bdf"}));
    EXPECT_EQ(prompts.filters, (QStringList{"Brambleton data files (*.bdf)"}));
    EXPECT_TRUE(FileExists(started.workspace / "game.bdf"));
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - game.bdf"));

    // Saving again asks nothing.
    ASSERT_TRUE(frame->OnFileSave());
    EXPECT_EQ(prompts.filters.size(), 1);

    ASSERT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(Globals().empty());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - Untitled"));

    prompts.fileAnswers = {path + QStringLiteral(".bdf")};
    ASSERT_TRUE(frame->OnFileOpen());
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Lives"}));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - game.bdf"));
    EXPECT_EQ(prompts.filters.last(), QStringLiteral("Brambleton data files (*.bdf)"));
    EXPECT_TRUE(prompts.boxes.empty());

    // Save as offers the current path.
    prompts.fileAnswers = {Path("copy.bdf")};
    ASSERT_TRUE(frame->OnFileSaveAs());
    EXPECT_EQ(prompts.defaultNames.last(), path + QStringLiteral(".bdf"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - copy.bdf"));
}

TEST_F(MainFrameTest, UnsavedChangesAreAskedFor)
{
    const auto frame = MakeFrame();
    AddGlobal("Lives");

    prompts.boxAnswers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->OnFileNew());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(prompts.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Lives"}));

    // Yes, then the save dialog cancelled: nothing happens.
    prompts.boxAnswers = {QMessageBox::Yes};
    EXPECT_FALSE(frame->OnFileNew());
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Lives"}));

    // Quitting asks too; Cancel keeps the window.
    frame->show();
    prompts.boxAnswers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());

    // Open: the file is chosen first, then the question.
    prompts.fileAnswers = {Path("none.bdf")};
    prompts.boxAnswers = {QMessageBox::Cancel};
    const std::size_t asked = prompts.boxes.size();
    EXPECT_FALSE(frame->OnFileOpen());
    EXPECT_EQ(prompts.boxes.size(), asked + 1);
    EXPECT_EQ(Globals(), (std::vector<std::string>{"Lives"}));

    // Yes saves first, and then the new document comes.
    prompts.boxAnswers = {QMessageBox::Yes};
    prompts.fileAnswers = {Path("kept.bdf")};
    EXPECT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(FileExists(started.workspace / "kept.bdf"));
    EXPECT_TRUE(Globals().empty());

    // No loses the changes; an unmodified document is not asked about.
    AddGlobal("Score");
    prompts.boxAnswers = {QMessageBox::No};
    EXPECT_TRUE(frame->OnFileNew());
    const std::size_t before = prompts.boxes.size();
    EXPECT_TRUE(frame->OnFileNew());
    EXPECT_EQ(prompts.boxes.size(), before);
    EXPECT_TRUE(frame->close());
}

TEST_F(MainFrameTest, OpenAndSaveFailuresShowTheirBoxes)
{
    const auto frame = MakeFrame();
    test::WriteFile(started.workspace / "broken.bdf", "<not a data file");
    AddGlobal("Lives");
    prompts.boxAnswers = {QMessageBox::No};
    prompts.fileAnswers = {Path("broken.bdf")};
    EXPECT_FALSE(frame->OnFileOpen());
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].icon, QMessageBox::Critical);
    EXPECT_EQ(prompts.boxes[1].text, QStringLiteral("The file could not be opened."));
    EXPECT_TRUE(Globals().empty());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - Untitled"));
    EXPECT_TRUE(frame->RecentFiles().Files().isEmpty());

    prompts.fileAnswers = {Path("missing-folder/game.bdf")};
    EXPECT_FALSE(frame->OnFileSaveAs());
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[2].icon, QMessageBox::Critical);
    EXPECT_EQ(prompts.boxes[2].text, QStringLiteral("The file could not be saved."));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - Untitled"));

    const std::string log = started.workspace.Log();
    EXPECT_NE(log.find("Loading failed.\n"), std::string::npos);
    EXPECT_NE(log.find("Saving failed.\n"), std::string::npos);
}

TEST_F(MainFrameTest, RecentFilesAreKeptInTheUserSettingsFile)
{
    {
        const auto frame = MakeFrame();
        for (const char* name : {"a.bdf", "b.bdf", "c.bdf", "d.bdf", "e.bdf"}) {
            prompts.fileAnswers = {Path(name)};
            ASSERT_TRUE(frame->OnFileSaveAs());
        }
        EXPECT_EQ(frame->RecentFiles().Files(),
                  (QStringList{Path("e.bdf"), Path("d.bdf"), Path("c.bdf"), Path("b.bdf")}));
        frame->UpdateCommandUI();
        EXPECT_EQ(frame->Action(QStringLiteral("Recent1"))->text(), QStringLiteral("&1 ") + Path("e.bdf"));
        EXPECT_FALSE(frame->Action(QStringLiteral("LastFile"))->isVisible());
    }
    QSettings settings(QString::fromStdString(UserIni()), QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(), Path("e.bdf"));
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File4")).toString(), Path("b.bdf"));
    EXPECT_FALSE(settings.contains(QStringLiteral("Recent File List/File5")));

    // A new window reads them back; a file that cannot be opened leaves the list.
    const auto frame = MakeFrame();
    EXPECT_EQ(frame->RecentFiles().Files().size(), 4);
    ASSERT_TRUE(frame->OnOpenRecentFile(2));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - c.bdf"));
    EXPECT_EQ(frame->RecentFiles().Files().first(), Path("c.bdf"));
    test::WriteFile(started.workspace / "d.bdf", "garbage");
    EXPECT_FALSE(frame->OnOpenRecentFile(static_cast<int>(frame->RecentFiles().Files().indexOf(Path("d.bdf")))));
    EXPECT_FALSE(frame->RecentFiles().Files().contains(Path("d.bdf")));
    EXPECT_EQ(frame->RecentFiles().Files().size(), 3);
}

TEST_F(MainFrameTest, GenerateScriptOffersScriptFilesAndRestoresTheDataType)
{
    const auto frame = MakeFrame();
    AddGlobal("Lives");
    prompts.fileAnswers = {Path("game")};
    frame->Action(QStringLiteral("62004"))->trigger();
    EXPECT_EQ(prompts.filters, (QStringList{"Lua scripts (*.lua)"}));
    const std::string script = test::ReadFile(started.workspace / "game.lua");
    EXPECT_NE(script.find("v_Lives = 0"), std::string::npos) << script;
    EXPECT_EQ(frame->DocTemplate().Filter(), QStringLiteral("Brambleton data files (*.bdf)"));
    EXPECT_TRUE(prompts.boxes.empty());

    // Cancelled: nothing written; failed: the saving box, the data type back.
    frame->OnGenerateScript();
    prompts.fileAnswers = {Path("missing-folder/game.lua")};
    frame->OnGenerateScript();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("The file could not be saved."));
    EXPECT_EQ(frame->DocTemplate().Filter(), QStringLiteral("Brambleton data files (*.bdf)"));
    EXPECT_NE(started.workspace.Log().find("Error while saving script. Error message: "), std::string::npos);
}

TEST_F(MainFrameTest, AboutOpensTheAboutBox)
{
    const auto frame = MakeFrame();
    QString title;
    QString licence;
    frame->answer = [&](QDialog& dialog) {
        const auto& about = dynamic_cast<gui::CAboutDialog&>(dialog);
        title = about.windowTitle();
        licence = about.LicenseText();
        return QDialog::Accepted;
    };
    frame->Action(QStringLiteral("About"))->trigger();
    EXPECT_EQ(title, QStringLiteral("About Brambleton"));
    EXPECT_TRUE(licence.startsWith(QStringLiteral("MIT License"))) << licence.toStdString();
}

} // namespace
} // namespace bram
