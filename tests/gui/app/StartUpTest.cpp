// The editor's start-up and shut-down on copies of the sample workspace:
// the loading box, the main window, the one "Fatal Error" box of a failed
// start, the command line, and the assertion question.

#include "gui/app/Application.h"
#include "gui/app/LoadingBox.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/RecentFileList.h"

#include "GuiTestSupport.h"
#include "code/State.h"
#include "log/Assertion.h"

namespace bram {
namespace {

using gui::CApplication;

struct StartUpTest : ::testing::Test {
    QString Folder() const { return QString::fromStdString(workspace.Path()); }

    test::CWorkspaceCopy workspace;
    test::CFakePrompts prompts;
};

TEST_F(StartUpTest, SampleWorkspaceOpensTheMainWindowAfterTheLoadingBox)
{
    CApplication app;
    ASSERT_TRUE(app.InitInstance(Folder(), {}));
    // The box was on screen while the modules loaded, reached the end, and is gone now.
    const gui::CLoadingBox* box = app.LoadingBox();
    EXPECT_EQ(box->HighestPosition(), 1000);
    EXPECT_GT(box->VisibleUpdates(), 5);
    EXPECT_FALSE(box->isVisible());
    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->isVisible());
    EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Brambleton - Untitled"));
    EXPECT_FALSE(app.Document()->IsModified());
    EXPECT_TRUE(prompts.boxes.empty());
    app.ExitInstance();
    EXPECT_TRUE(workspace.Log().ends_with("Program is exiting correctly.\n"));
}

// Each reason of a failed start: ApplicationCoreTest.AFailedStartUpSaysWhy.
TEST_F(StartUpTest, ABrokenModuleEndsWithOneFatalErrorBoxWithTheReasons)
{
    test::WriteFile(workspace / "Modules/core.modl", "not an archive");
    CApplication app;
    EXPECT_FALSE(app.InitInstance(Folder(), {}));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Fatal Error"));
    EXPECT_EQ(prompts.boxes[0].text, QLatin1String(CApplication::kFatalErrorText));
    EXPECT_EQ(prompts.boxes[0].icon, QMessageBox::Critical);
    // The lines the log received (the CLI prints the same).
    EXPECT_EQ(prompts.boxes[0].informative, QStringLiteral("Header expected (modl)\nCould not initialize program."));
    EXPECT_EQ(app.MainFrame(), nullptr);
    EXPECT_FALSE(app.LoadingBox()->isVisible());
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

TEST_F(StartUpTest, CommandLineFileOpens)
{
    // A file that cannot be opened is explained: CommandLineTest.AFileThatCannotBeOpenedIsExplainedAndTheEditorGoesOn.
    const QString sample = QString::fromStdString(workspace / "samples/Countdown.bdf");
    CApplication app;
    ASSERT_TRUE(app.InitInstance(Folder(), {sample}));
    EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("Brambleton - Countdown.bdf"));
    EXPECT_GT(app.Document()->GetState()->GetTriggerCount(), 0u);
    EXPECT_FALSE(app.Document()->IsModified());
    EXPECT_EQ(app.MainFrame()->RecentFiles().Files().first(), sample);
    EXPECT_TRUE(prompts.boxes.empty());
}

} // namespace
} // namespace bram
