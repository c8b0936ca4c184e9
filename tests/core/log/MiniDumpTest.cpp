#include "MiniDumpReader.h"
#include "TestSupport.h"

#include "base/Text.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"
#include "log/MachineInfo.h"
#include "log/MiniDump.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(MiniDumpTest, FileNameCarriesTheUtcTimeWithoutLeadingZeros)
{
    const auto utc = [](int month, int day, int hour, int minute, int second) {
        std::tm t{};
        t.tm_year = 2007 - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return t;
    };
    EXPECT_EQ(MiniDumpFileName("/home/u/.local/share/brambleton/Dump", utc(3, 3, 9, 5, 0)),
              "/home/u/.local/share/brambleton/Dump_3-3-2007_9-5-0.dmp");
    EXPECT_EQ(MiniDumpFileName("Dump", utc(12, 31, 23, 59, 58)), "Dump_31-12-2007_23-59-58.dmp");
}

TEST(MiniDumpTest, DumpsOfTheSameSecondDoNotReplaceEachOther)
{
    test::CTempDir dir;
    CDiagnostics::Instance().SetUp(dir / "Log.log", dir / "Dump", false);
    const std::string first = CDiagnostics::Instance().WriteMiniDump(nullptr, nullptr, "first");
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(WriteMiniDumpFile(AT_FDCWD, first, "other"), EDumpWrite::Exists) << "never replaced";
    // Later dumps of the same second skip every name in use.
    const std::string copy = first.substr(0, first.size() - 4) + " (2).dmp";
    test::WriteFile(copy, "occupied too");
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(CDiagnostics::Instance().WriteMiniDump());
    }
    CDiagnostics::Instance().TearDown();
    EXPECT_EQ(Utf16LEBytesToUtf8(test::ReadMiniDump(test::ReadFile(first)).comment), "first");
    EXPECT_EQ(test::ReadFile(copy), "occupied too");
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(std::unique(paths.begin(), paths.end()), paths.end()) << "every dump has its own file";
    for (const std::string& path : paths) {
        EXPECT_EQ(test::ReadMiniDump(test::ReadFile(path)).error, "") << path;
    }
    EXPECT_EQ(test::ListDumpFiles(dir.Path()).size(), 5u);
}

TEST(MiniDumpTest, BuiltDumpReadsBack)
{
    CMiniDumpContent content;
    content.timeStamp = 1173000000;
    content.system.architecture = minidump::kArchitectureAmd64;
    content.system.description = "Linux host 6.1.0";
    content.thread.threadId = 77;
    content.thread.context = std::string(minidump::kAmd64ContextSize, '\x5a');
    content.thread.stackStart = 0x7ffc0000;
    content.thread.stackMemory = "stack bytes";
    content.modules = {{0x400000, 0x2000, 5, "/opt/a.out", "\x01\x02\x03"},
                       {0x7f0000000000, 0x1000, 6, "/lib/b.so", ""}};
    content.exception = CMiniDumpException{11, 1, 0x10};
    content.comment = "Assertion at: file Block.cpp, line 12.";
    content.maps = "00400000-00402000 r-xp 00000000 00:00 0 /opt/a.out\n";

    const std::string bytes = BuildMiniDump(content);
    const test::CReadDump dump = test::ReadMiniDump(bytes);
    ASSERT_EQ(dump.error, "");
    EXPECT_EQ(dump.version, minidump::kVersion);
    EXPECT_EQ(dump.architecture, minidump::kArchitectureAmd64);
    EXPECT_EQ(dump.platform, minidump::kPlatformLinux);
    EXPECT_EQ(dump.systemDescription, "Linux host 6.1.0");
    EXPECT_EQ(dump.threadCount, 1u);
    EXPECT_EQ(dump.threadId, 77u);
    EXPECT_EQ(dump.stackStart, 0x7ffc0000u);
    EXPECT_EQ(dump.stack, "stack bytes");
    EXPECT_EQ(dump.context, content.thread.context);
    EXPECT_EQ(dump.moduleNames, (std::vector<std::string>{"/opt/a.out", "/lib/b.so"}));
    EXPECT_EQ(dump.moduleRanges[1], (std::pair<std::uint64_t, std::uint32_t>{0x7f0000000000, 0x1000}));
    EXPECT_EQ(dump.exceptionCode, std::optional<std::uint32_t>(11));
    EXPECT_EQ(dump.exceptionAddress, 0x10u);
    EXPECT_EQ(Utf16LEBytesToUtf8(dump.comment), content.comment);
    EXPECT_EQ(dump.streams.count(minidump::kLinuxMaps), 1u);
    EXPECT_EQ(dump.streams.count(minidump::kLinuxProcStatus), 0u) << "empty text: no stream";
    for (const auto& [type, place] : dump.streams) {
        if (type != minidump::kCommentW && type != minidump::kLinuxMaps) {
            EXPECT_EQ(place.second % 4, 0u) << "stream " << type << " is aligned";
        }
    }

    // Without comment and exception those streams are absent, not empty.
    content.exception.reset();
    content.comment.clear();
    const test::CReadDump bare = test::ReadMiniDump(BuildMiniDump(content));
    ASSERT_EQ(bare.error, "");
    EXPECT_EQ(bare.streams.count(minidump::kException), 0u);
    EXPECT_EQ(bare.streams.count(minidump::kCommentW), 0u);

    // A cut file must not read back as whole.
    EXPECT_NE(test::ReadMiniDump(bytes.substr(0, bytes.size() / 2)).error, "");
}

[[gnu::noinline]] void FailAnAssertionHere()
{
    BRAMBLETON_ASSERT(sizeof(int) == 0);
    asm volatile("" ::: "memory"); // no tail call: the frame must stay
}

TEST(MiniDumpTest, AssertionWritesCallStackAndADumpWithItsComment)
{
    test::CTempDir dir;
    CDiagnostics::Instance().SetUp(dir / "Log.log", dir / "Dump", false);
    FailAnAssertionHere();
    CDiagnostics::Instance().TearDown();

    const std::string log = test::ReadLog(dir / "Log.log");
    const std::string prefix = "Assertion at: file MiniDumpTest.cpp, line ";
    const auto at = log.find(prefix);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string tail = log.substr(at);
    const std::string lineText = tail.substr(prefix.size(), tail.find(".\n") - prefix.size());
    // The stack starts at the assertion routine (only the writer's own frame
    // is skipped) and reaches the function that failed.
    EXPECT_NE(tail.find(".\nCallstack:\n\tbrambleton-core-tests!bram::AssertionFailed(char const*, int) + 0x"),
              std::string::npos)
        << tail;
    EXPECT_NE(tail.find("!bram::(anonymous namespace)::FailAnAssertionHere() + 0x"), std::string::npos) << tail;
    EXPECT_NE(tail.find("(file: "), std::string::npos);

    const auto dumps = test::ListDumpFiles(dir.Path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_TRUE(dumps[0].starts_with(dir / "Dump_")) << dumps[0];
    const test::CReadDump dump = test::ReadMiniDump(test::ReadFile(dumps[0]));
    ASSERT_EQ(dump.error, "");
    EXPECT_EQ(Utf16LEBytesToUtf8(dump.comment), "Assertion at: file MiniDumpTest.cpp, line " + lineText + ".");
    EXPECT_FALSE(dump.exceptionCode.has_value()) << "an assertion is no exception";
    EXPECT_NE(std::find(dump.moduleNames.begin(), dump.moduleNames.end(), ExecutablePath()), dump.moduleNames.end());
    EXPECT_FALSE(dump.stack.empty());
#if defined(__x86_64__)
    ASSERT_EQ(dump.context.size(), minidump::kAmd64ContextSize);
    const std::uint64_t sp = test::CDumpBytes(dump.context).U64(minidump::kAmd64RspOffset);
    EXPECT_GE(sp, dump.stackStart);
    EXPECT_LT(sp, dump.stackStart + dump.stack.size());
#endif
}

} // namespace
} // namespace bram
