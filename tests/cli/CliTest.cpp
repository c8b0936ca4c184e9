#include "TestSupport.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

std::string Cli(const std::string& args) { return std::string("'") + BRAMBLETON_CLI_PATH + "' " + args; }

TEST(CliTest, VersionRunsTheStartUpInTheWorkdirAndLeavesALog)
{
    test::CTempDir dir;
    test::WriteFile(dir / "brambleton.ini", "[Logging]\nDoLogging=1\n[User]\nUserDataDirectory=" + dir.Path() + "u\n");
    const auto result = test::RunCommand(Cli("--workdir '" + dir.Path() + "' --version"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("brambleton-cli "), std::string::npos);
    const std::string log = test::ReadLog(dir / "Log.log");
    EXPECT_TRUE(log.ends_with("Program is exiting correctly.\n")) << log;
    EXPECT_NE(log.find("brambleton-cli: "), std::string::npos) << "the version header names the executable";
}

TEST(CliTest, AFailedStartUpPrintsItsReason)
{
    test::CTempDir dir;
    const auto gone = test::RunCommand(Cli("--workdir '" + dir.Path() + "gone' modules"));
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "Could not initialize program.\nThe program folder " + dir.Path() + "gone/ does not exist.\n");
    const auto version = test::RunCommand(Cli("--workdir '" + dir.Path() + "gone' --version"));
    EXPECT_EQ(version.status, 1);
    EXPECT_EQ(version.err, gone.err + "Error while initializing application.\n");
    const auto noSettings = test::RunCommand(Cli("--workdir '" + dir.Path() + "' modules"));
    EXPECT_EQ(noSettings.err,
              "Could not initialize program.\nThe settings file " + dir.Path() + "brambleton.ini does not exist.\n");
}

TEST(CliTest, HelpAndUsageErrors)
{
    const auto help = test::RunCommand(Cli("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: brambleton-cli"), std::string::npos);
    EXPECT_EQ(test::RunCommand(Cli("")).status, 2);
    EXPECT_EQ(test::RunCommand(Cli("no-such-command")).status, 2);
    EXPECT_EQ(test::RunCommand(Cli("--workdir")).status, 2);
}

} // namespace
} // namespace bram
