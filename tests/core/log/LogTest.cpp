// The log file and the assertion path: what reaches the log, the question
// and the dump.

#include "MiniDumpReader.h"
#include "TestSupport.h"

#include "base/Text.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"
#include "log/Log.h"
#include "log/MachineInfo.h"
#include "log/MiniDump.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

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

} // namespace
} // namespace bram
