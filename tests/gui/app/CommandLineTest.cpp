// The editor program as a desktop user starts it: child processes on the
// offscreen platform, unattended (boxes go to standard error, the window
// closes once it has started).

#include "GuiTestSupport.h"
#include "Version.h"

#include <filesystem>

namespace bram {
namespace {

struct CommandLineTest : ::testing::Test {
    // Runs the program (or a copy of it) in a folder with arguments.
    test::CommandResult Run(const std::string& folder, const std::string& arguments,
                            const std::string& program = BRAMBLETON_GUI_PATH) const
    {
        return test::RunCommand("cd '" + folder + "' && QT_QPA_PLATFORM=offscreen BRAMBLETON_UNATTENDED=1 '" + program +
                                "' " + arguments);
    }
    test::CWorkspaceCopy workspace;
    test::CTempDir elsewhere;
};

TEST_F(CommandLineTest, HelpAndVersionNeedNoDisplayAndBadArgumentsAreUsageErrors)
{
    // No such platform: creating the application would abort.
    const std::string program = std::string("QT_QPA_PLATFORM=none '") + BRAMBLETON_GUI_PATH + "' ";
    const auto help = test::RunCommand(program + "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: brambleton [--workdir DIR] [DATAFILE]"), std::string::npos) << help.out;
    const auto version = test::RunCommand(program + "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("brambleton ") + BRAMBLETON_VERSION_STRING + "\n");
    for (const char* arguments : {"--workdir", "--bogus", "a.bdf b.bdf"}) {
        const auto bad = Run(workspace.Path(), arguments);
        EXPECT_EQ(bad.status, 2) << arguments;
        EXPECT_NE(bad.err.find("usage: brambleton"), std::string::npos) << bad.err;
    }
}

TEST_F(CommandLineTest, AFileThatCannotBeOpenedIsExplainedAndTheEditorGoesOn)
{
    test::WriteFile(workspace / "broken.bdf", "<Data version=\"1.1\">\n  <Variables>\n</Data>\n");
    const auto missing = Run(workspace.Path(), "missing.bdf");
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.err.find("Brambleton: The file could not be opened.\nFile: " + (workspace / "missing.bdf") +
                               "\nReason: Could not load file " + (workspace / "missing.bdf")),
              std::string::npos)
        << missing.err;
    const auto broken = Run(workspace.Path(), "broken.bdf");
    EXPECT_EQ(broken.status, 0);
    EXPECT_NE(broken.err.find("File: " + (workspace / "broken.bdf")), std::string::npos) << broken.err;
    // The parser's description is followed by where it went wrong.
    EXPECT_NE(broken.err.find(" mismatch (line 3, column 3)"), std::string::npos) << broken.err;
}

TEST_F(CommandLineTest, TheProgramFolderIsGivenFoundBesideTheProgramOrNamedAsMissing)
{
    // --workdir from another folder: the workspace's settings are used (closing writes its user settings).
    const std::string userSettings = workspace / "AppData/brambleton/brambleton-user.ini";
    const auto given = Run(elsewhere.Path(), "--workdir '" + workspace.Path() + "'");
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_TRUE(std::filesystem::exists(userSettings));

    // A copy of the program in BIN: nothing beside it, then an installed workspace.
    namespace fs = std::filesystem;
    const std::string program = elsewhere / "prefix/bin/brambleton";
    fs::create_directories(elsewhere / "prefix/bin");
    fs::copy_file(BRAMBLETON_GUI_PATH, program);
    const auto none = Run(elsewhere.Path(), "", program);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Fatal Error: Error while initializing application."), std::string::npos) << none.err;
    for (std::string tried : {elsewhere.Path(), elsewhere / "prefix/share/brambleton/examples/"}) {
        tried.pop_back();
        EXPECT_NE(none.err.find("\n  " + tried + "\n"), std::string::npos) << none.err;
    }
    fs::remove(userSettings);
    fs::create_directories(elsewhere / "prefix/share/brambleton");
    fs::copy(BRAMBLETON_EXAMPLES_DIR, elsewhere / "prefix/share/brambleton/examples", fs::copy_options::recursive);
    const auto installed = Run(elsewhere.Path(), "", program);
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_TRUE(fs::exists(userSettings));
}

} // namespace
} // namespace bram
