// The editor's start-up and shut-down on copies of the sample workspace:
// the loading box, the main window, the one "Fatal Error" box of a failed
// start, the command line, and the assertion question.

#include "Application.h"
#include "LoadingBox.h"
#include "MainFrame.h"
#include "RecentFileList.h"

#include "GuiTestSupport.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "log/Assertion.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

using gui::CApplication;

struct StartUpTest : ::testing::Test {
    QString Folder() const { return QString::fromStdString(workspace.Path()); }

    test::CWorkspaceCopy workspace;
    test::CFakePrompts prompts;
};

TEST_F(StartUpTest, SampleWorkspaceOpensTheMainWindow)
{
    CApplication app;
    ASSERT_TRUE(app.InitInstance(Folder(), {}));
    const gui::CLoadingBox* box = app.LoadingBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->BarPosition(), 1000);
    EXPECT_EQ(box->HighestPosition(), 1000);
    // The box was on screen while the modules loaded, and is gone now.
    EXPECT_GT(box->VisibleUpdates(), 5);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->DetailText(), QStringLiteral("Creating the main window..."));

    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->isVisible());
    EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Brambleton - Untitled"));
    EXPECT_TRUE(prompts.boxes.empty());
    ASSERT_NE(app.Document()->GetState(), nullptr);
    EXPECT_FALSE(app.Document()->IsModified());

    app.ExitInstance();
    const std::string log = workspace.Log();
    EXPECT_EQ(log.find("Could not initialize program."), std::string::npos);
    EXPECT_TRUE(log.ends_with("Program is exiting correctly.\n")) << log;
}

TEST_F(StartUpTest, ABrokenModuleOrAFolderWithoutSettingsEndsWithOneFatalErrorBox)
{
    test::CTempDir empty;
    test::WriteFile(workspace / "Modules/core.modl", "not an archive");
    for (const QString& folder : {QString::fromStdString(empty.Path()), Folder()}) {
        SCOPED_TRACE(folder.toStdString());
        prompts.boxes.clear();
        CApplication app;
        EXPECT_FALSE(app.InitInstance(folder, {}));
        ASSERT_EQ(prompts.boxes.size(), 1u);
        const auto& box = prompts.boxes[0];
        EXPECT_EQ(box.title, QStringLiteral("Fatal Error"));
        EXPECT_EQ(
            box.text,
            QStringLiteral("Error while initializing application. \r\nStopped Execution. Program will shut down."));
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(app.MainFrame(), nullptr);
        EXPECT_FALSE(app.LoadingBox()->isVisible());
        app.ExitInstance();
    }
    const std::string log = workspace.Log();
    const std::size_t failed = log.find("Could not initialize program.\n");
    ASSERT_NE(failed, std::string::npos) << log;
    EXPECT_NE(log.find("A module exception occured."), std::string::npos);
    EXPECT_GT(log.find("Program is exiting correctly.\n", failed), failed);
}

TEST_F(StartUpTest, UnreadableCommandLineFileEndsWithoutFatalBox)
{
    test::WriteFile(workspace / "broken.bdf", "<Brambleton>");
    CApplication app;
    EXPECT_FALSE(app.InitInstance(Folder(), {QString::fromStdString(workspace / "broken.bdf")}));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("The file could not be opened."));
    EXPECT_NE(prompts.boxes[0].title, QStringLiteral("Fatal Error"));
    app.ExitInstance();
    EXPECT_TRUE(workspace.Log().ends_with("Program is exiting correctly.\n"));
}

TEST_F(StartUpTest, AssertionAsksWhenPrintAssertionsIsOn)
{
    std::string ini = test::ReadFile(workspace / "brambleton.ini");
    ini.replace(ini.find("PrintAssertions=0"), 17, "PrintAssertions=1");
    test::WriteFile(workspace / "brambleton.ini", ini);
    CApplication app;
    ASSERT_TRUE(app.InitInstance(Folder(), {}));
    prompts.boxAnswers = {QMessageBox::No};
    EXPECT_EQ(AssertionFailed("Dialogs/VariablesDialog.cpp", 42), 1);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Internal Assertion Failed"));
    EXPECT_EQ(prompts.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(prompts.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("file Dialogs/VariablesDialog.cpp, line 42.")));
}

TEST_F(StartUpTest, SampleDocumentOpensFromTheCommandLine)
{
    const QString sample = QString::fromStdString(workspace / "samples/Countdown.bdf");
    CApplication app;
    ASSERT_TRUE(app.InitInstance(Folder(), {sample}));
    EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Brambleton - Countdown.bdf"));
    const CState* state = app.Document()->GetState();
    EXPECT_GT(state->GetTriggerCount(), 0u);
    EXPECT_GT(state->GetGlobalCount(), 0u);
    EXPECT_FALSE(app.Document()->IsModified());
    EXPECT_EQ(app.MainFrame()->RecentFiles().Files().first(), sample);
    EXPECT_TRUE(prompts.boxes.empty());

    // The opened document turns into a script.
    prompts.fileAnswers = {QString::fromStdString(workspace / "countdown")};
    app.MainFrame()->OnGenerateScript();
    const std::string script = test::ReadFile(workspace / "countdown.lua");
    EXPECT_NE(script.find("function fn_"), std::string::npos) << script;
    EXPECT_TRUE(prompts.boxes.empty());
}

} // namespace
} // namespace bram
