// The command line itself: version, help and usage errors of every command.

#include "CliRun.h"
#include "TestDataFiles.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(CliTest, VersionRunsTheStartUpInTheWorkdirAndLeavesALog)
{
    test::CTempDir dir;
    test::WriteFile(dir / "brambleton.ini", "[Logging]\nDoLogging=1\n[User]\nUserDataDirectory=" + dir.Path() + "u\n");
    const auto result = test::RunCli("--workdir " + test::Quoted(dir.Path()) + " --version");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("brambleton-cli "), std::string::npos);
    const std::string log = test::ReadLog(dir / "Log.log");
    EXPECT_TRUE(log.ends_with("Program is exiting correctly.\n")) << log;
    EXPECT_NE(log.find("brambleton-cli: "), std::string::npos) << "the version header names the executable";
}

// Every reason: ApplicationCoreTest.AFailedStartUpSaysWhy.
TEST(CliTest, AFailedStartUpPrintsItsReason)
{
    test::CTempDir dir;
    const auto gone = test::RunCli("--workdir '" + dir.Path() + "gone' modules");
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "Could not initialize program.\nThe program folder " + dir.Path() + "gone/ does not exist.\n");
    const auto version = test::RunCli("--workdir '" + dir.Path() + "gone' --version");
    EXPECT_EQ(version.status, 1);
    EXPECT_EQ(version.err, gone.err + "Error while initializing application.\n");
}

// Each command's usage line: UsageErrorsNameTheProblemAndShowTheUsage.
TEST(CliTest, HelpGoesToStandardOutputOrAsAUsageErrorToStandardError)
{
    const auto help = test::RunCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: brambleton-cli [--workdir DIR] [--help] [--version] COMMAND"), std::string::npos);
    const auto archive = test::RunCli("archive --help");
    EXPECT_EQ(archive.status, 0);
    EXPECT_NE(archive.out.find("archive unpack IN.modl DESTDIR"), std::string::npos) << archive.out;
    const auto none = test::RunCli("");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, help.out);
}

TEST(CliTest, UsageErrorsNameTheProblemAndShowTheUsage)
{
    for (const test::ExpectedCase& c : test::ExpectedCases("cli/usage-errors.txt")) {
        const auto result = test::RunCli(c.input);
        EXPECT_EQ(result.status, 2) << c.input;
        EXPECT_TRUE(result.err.starts_with(c.expected)) << c.input << ": " << result.err;
    }
}

} // namespace
} // namespace bram
