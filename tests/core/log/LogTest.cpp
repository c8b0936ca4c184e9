#include "TestSupport.h"

#include "base/Paths.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"
#include "log/Log.h"

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

TEST_F(LogTest, LogIsUtf16WithByteOrderMarkAndNoAddedLineBreaks)
{
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", false);
    const std::string header = test::ReadLog(m_log);
    LogWrite("Größe ");
    LogWriteA("narrow");
    LogPrintf(" %d-%s", 7, "x");
    LogPrintfA("|%05.2f|\n", 3.14159);
    CDiagnostics::Instance().TearDown();

    const std::string bytes = test::ReadFile(m_log);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(header.rfind("----------------------------------- brambleton-----------------------------------\n", 0),
              0u);
    EXPECT_EQ(test::ReadLog(m_log), header + "Größe narrow 7-x|03.14|\n");
    // "ö" is one UTF-16 code unit: 0xF6 0x00.
    EXPECT_NE(bytes.find(std::string("\xF6\x00", 2)), std::string::npos);
}

TEST_F(LogTest, SetUpCreatesTheLogAnewAndWritesAfterTearDownAreDropped)
{
    test::WriteFile(m_log, "old content that must go");
    CDiagnostics::Instance().SetUp(m_log, "", false);
    LogWrite("first\n");
    CDiagnostics::Instance().TearDown();
    LogWrite("dropped\n");
    const std::string text = test::ReadLog(m_log);
    EXPECT_EQ(text.find("old content"), std::string::npos);
    EXPECT_NE(text.find("first\n"), std::string::npos);
    EXPECT_EQ(text.find("dropped"), std::string::npos);
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

TEST_F(LogTest, AssertionWritesItsLineAndAsksWhenPrintAssertionsIsOn)
{
    CDiagnostics::Instance().SetUp(m_log, m_dir / "Dump", true);
    std::string question;
    SetAssertionQuestionHook([&](const std::string& text) {
        question = text;
        return false;
    });
    BRAMBLETON_ASSERT(1 + 1 == 3);
    const int line = __LINE__ - 1;
    EXPECT_NE(question.find("Additional information: file LogTest.cpp, line " + std::to_string(line) + ".\r\n"),
              std::string::npos)
        << question;
    EXPECT_EQ(question.rfind("An internal program assertion failed.\r\n\r\n", 0), 0u);
    EXPECT_NE(test::ReadLog(m_log).find("Assertion at: file LogTest.cpp, line " + std::to_string(line) + ".\n"),
              std::string::npos);
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
