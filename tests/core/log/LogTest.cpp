// The log file and the assertion path: what reaches the log, the question
// and the dump.

#include "MiniDumpReader.h"
#include "TestSupport.h"

#include "app/ApplicationCore.h"
#include "base/Text.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"
#include "log/Log.h"
#include "log/MachineInfo.h"
#include "log/MiniDump.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {
namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { test::ResetProcessState(); }
    test::CTempDir m_dir;
    const std::string m_log = m_dir / "Log.log";
};

TEST_F(LogTest, SetUpStartsTheLogAnewWithTheRealHeaderAndWritesAddNoLineBreaks)
{
    test::WriteFile(m_log, "old content that must go");
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
    const std::string header = test::ReadLog(m_log);
    EXPECT_EQ(header.rfind("----------------------------------- brambleton-----------------------------------\n"
                           "brambleton-core-tests: ",
                           0),
              0u)
        << header;
    EXPECT_NE(header.find("\nbackward-cpp with libdw: "), std::string::npos);
    EXPECT_NE(header.find("----Operating System----\nOS:\tLinux system\n\t"), std::string::npos);
    // The executable is listed under its full path; libc is loaded too.
    EXPECT_NE(header.find("\n" + ExecutablePath() + "\t(0x"), std::string::npos) << header;
    EXPECT_NE(header.find("libc.so"), std::string::npos);
    EXPECT_TRUE(header.ends_with(")\n\n\n")) << "module list ends with a blank line";

    LogWrite("Größe ");
    LogWriteA("narrow");
    LogPrintf(" %d-%s", 7, "x");
    LogPrintfA("|%05.2f|\n", 3.14159);
    CDiagnostics::Instance().TearDown();
    LogWrite("dropped\n");
    EXPECT_EQ(test::ReadLog(m_log), header + "Größe narrow 7-x|03.14|\n");
    // "ö" is one UTF-16 code unit: 0xF6 0x00.
    EXPECT_NE(test::ReadFile(m_log).find(std::string("\xF6\x00", 2)), std::string::npos);
}

// Lines gather in memory and go to the file together: when an operation
// ends (LogFlush), at the end of the log, and when the process exits
// without its shut-down.
TEST_F(LogTest, LinesReachTheFileTogetherAndAllOfThemAtTheEnd)
{
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
    const std::size_t header = test::ReadFile(m_log).size();
    for (int i = 0; i < 1000; ++i) {
        LogPrintf("Line %d.\n", i);
    }
    EXPECT_EQ(test::ReadFile(m_log).size(), header) << "nothing written line by line";
    LogFlush();
    const std::string log = test::ReadLog(m_log);
    EXPECT_TRUE(log.ends_with("Line 998.\nLine 999.\n"));
    // More than the buffer holds goes out on its own, in order.
    const std::string big(100000, 'x');
    LogWrite("a");
    LogWrite(big);
    LogWrite("b\n");
    CDiagnostics::Instance().TearDown();
    EXPECT_TRUE(test::ReadLog(m_log).ends_with("Line 999.\na" + big + "b\n"));

    EXPECT_EXIT(
        {
            CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
            LogWrite("Written just before exit.\n");
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_TRUE(test::ReadLog(m_log).ends_with("Written just before exit.\n"));
}

// A log that reaches the file size limit (or a full disk) stops with a line
// on standard error; the program goes on and ends normally.
TEST_F(LogTest, AWriteBeyondTheFileSizeLimitStopsTheLogNotTheProgram)
{
    EXPECT_EXIT(
        {
            PrepareProcess();
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
            for (int i = 0; i < 10000; ++i) {
                LogPrintf("Line %d of a long log.\n", i);
            }
            CDiagnostics::Instance().TearDown();
            std::exit(3);
        },
        ::testing::ExitedWithCode(3),
        "^Logging stopped: writing the log file .*Log\\.log failed: File too large\\.\n$");
    EXPECT_EQ(test::ReadFile(m_log).size(), 64u * 1024);
}

TEST_F(LogTest, AssertionWithoutLoggingLeavesNoTraceAndGoesOn)
{
    const unsigned before = GetAssertionFailureCount();
    bool asked = false;
    SetAssertionQuestionHook([&](const std::string&) {
        asked = true;
        return true;
    });
    // A report that was set up and torn down again must not leave its dump
    // prefix in use.
    CDiagnostics::Instance().SetUp(m_dir / "old/Log.log", m_dir / "Dump", false);
    CDiagnostics::Instance().TearDown();
    EXPECT_EQ(AssertionFailed("Block.cpp", 12), 1);
    EXPECT_FALSE(asked) << "without PrintAssertions nobody is asked";
    EXPECT_EQ(GetAssertionFailureCount(), before + 1);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path())) << "no log, no dump";
}

// Returns the line of its assertion.
[[gnu::noinline]] int FailAnAssertionHere()
{
    BRAMBLETON_ASSERT(sizeof(int) == 0);
    return __LINE__ - 1; // no tail call: the frame must stay
}

TEST_F(LogTest, AssertionAsksThenWritesItsLineCallStackAndADumpWithItsComment)
{
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", true);
    std::string question;
    SetAssertionQuestionHook([&](const std::string& text) {
        question = text;
        return false;
    });
    const std::string place = "file LogTest.cpp, line " + std::to_string(FailAnAssertionHere()) + ".";
    CDiagnostics::Instance().TearDown();
    EXPECT_EQ(
        question.rfind("An internal program assertion failed.\r\n\r\nAdditional information: " + place + "\r\n", 0), 0u)
        << question;

    // The stack starts at the assertion routine (only the writer's own frame
    // is skipped) and reaches the function that failed.
    const std::string log = test::ReadLog(m_log);
    const auto at = log.find("Assertion at: " + place +
                             "\nCallstack:\n\tbrambleton-core-tests!bram::AssertionFailed(char const*, int) + 0x");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("!bram::(anonymous namespace)::FailAnAssertionHere() + 0x", at), std::string::npos) << log;
    EXPECT_NE(log.find("(file: ", at), std::string::npos);

    const auto dumps = test::ListDumpFiles(m_dir.Path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_TRUE(dumps[0].starts_with(m_dir / "Dump_")) << dumps[0];
    const test::CReadDump dump = test::ReadMiniDump(test::ReadFile(dumps[0]));
    ASSERT_EQ(dump.error, "");
    EXPECT_EQ(Utf16LEBytesToUtf8(dump.comment), "Assertion at: " + place);
    EXPECT_FALSE(dump.exceptionCode.has_value()) << "an assertion is no exception";
    EXPECT_NE(std::find(dump.moduleNames.begin(), dump.moduleNames.end(), ExecutablePath()), dump.moduleNames.end());
    test::ExpectStackPointerInSavedStack(dump);
}

TEST_F(LogTest, AnsweringYesEndsTheProcessWithExitCodeOne)
{
    EXPECT_EXIT(
        {
            CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", true);
            SetAssertionQuestionHook([](const std::string&) { return true; });
            AssertionFailed("State.cpp", 99);
            LogWrite("Program is exiting correctly.\n");
        },
        ::testing::ExitedWithCode(1), "");
    const std::string text = test::ReadLog(m_log);
    const auto at = text.find("Assertion at: file State.cpp, line 99.\nCallstack:\n\t");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(")\n\n")) << "the log ends with the call stack";
    EXPECT_EQ(text.find("Program is exiting correctly."), std::string::npos);
}

// Another local user who made the log folder first (in a shared temporary
// folder) must get neither our log nor a file of ours through a planted
// link. Running as root, "another user" is nobody.
TEST_F(LogTest, LogAndDumpsStayOutOfFoldersOthersControlAndNeverFollowLinks)
{
    const std::string victim = m_dir / "victim.txt";
    test::WriteFile(victim, "precious");
    const std::string shared = m_dir / "shared/brambleton/";
    std::filesystem::create_directories(shared);
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(::chown(shared.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (shared + "Log.log").c_str()), 0);

    ::testing::internal::CaptureStderr();
    CDiagnostics::Instance().SetUp(shared + "Log.log", shared + "Dump", false);
    const std::string refused = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(CDiagnostics::Instance().IsOpen());
    LogWrite("secret\n");
    EXPECT_EQ(CDiagnostics::Instance().WriteMiniDump(), "");
    CDiagnostics::Instance().TearDown();
    EXPECT_EQ(test::ReadFile(victim), "precious");
    EXPECT_TRUE(test::ListDumpFiles(shared).empty());
    const std::string reason = ::geteuid() == 0 ? "belongs to another user" : "is writable by other users";
    EXPECT_EQ(refused,
              "Logging and crash dumps are off: the folder " + m_dir.Path() + "shared/brambleton " + reason + ".\n");

    // In a folder of our own a link is refused all the same; a new log is ours alone.
    const std::string own = m_dir / "own/";
    std::filesystem::create_directories(own);
    ASSERT_EQ(::symlink(victim.c_str(), (own + "Log.log").c_str()), 0);
    ::testing::internal::CaptureStderr();
    CDiagnostics::Instance().SetUp(own + "Log.log", own + "Dump", false);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Logging is off: the log file " + own + "Log.log is a symbolic link.\n");
    EXPECT_FALSE(CDiagnostics::Instance().IsOpen());
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
    const std::string dump = CDiagnostics::Instance().WriteMiniDump();
    CDiagnostics::Instance().TearDown();
    EXPECT_EQ(test::ReadFile(victim), "precious");
    for (const std::string& file : {m_log, dump}) {
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }
}

} // namespace
} // namespace bram
