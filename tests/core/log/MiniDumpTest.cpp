#include "MiniDumpReader.h"
#include "TestSupport.h"

#include "base/Text.h"
#include "log/Diagnostics.h"
#include "log/MiniDump.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <tuple>

namespace bram {
namespace {

TEST(MiniDumpTest, FileNameCarriesTheUtcTimeWithoutLeadingZeros)
{
    const auto utc = [](std::time_t seconds) {
        std::tm t{};
        ::gmtime_r(&seconds, &t);
        return t;
    };
    // 3 March 2007 09:05:00 and 31 December 2007 23:59:58.
    EXPECT_EQ(MiniDumpFileName("/home/u/.local/share/brambleton/Dump", utc(1172912700)),
              "/home/u/.local/share/brambleton/Dump_3-3-2007_9-5-0.dmp");
    EXPECT_EQ(MiniDumpFileName("Dump", utc(1199145598)), "Dump_31-12-2007_23-59-58.dmp");
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
    EXPECT_EQ(std::tuple(dump.version, dump.architecture, dump.platform, dump.systemDescription),
              std::tuple(minidump::kVersion, minidump::kArchitectureAmd64, minidump::kPlatformLinux,
                         std::string("Linux host 6.1.0")));
    EXPECT_EQ(std::tuple(dump.threadCount, dump.threadId, dump.stackStart, dump.stack),
              std::tuple(1u, 77u, std::uint64_t{0x7ffc0000}, std::string("stack bytes")));
    EXPECT_EQ(dump.context, content.thread.context);
    EXPECT_EQ(dump.moduleNames, (std::vector<std::string>{"/opt/a.out", "/lib/b.so"}));
    EXPECT_EQ(dump.moduleRanges[1], (std::pair<std::uint64_t, std::uint32_t>{0x7f0000000000, 0x1000}));
    EXPECT_EQ(std::tuple(dump.exceptionCode, dump.exceptionAddress),
              std::tuple(std::optional<std::uint32_t>(11), std::uint64_t{0x10}));
    EXPECT_EQ(Utf16LEBytesToUtf8(dump.comment), content.comment);
    EXPECT_EQ(dump.streams.count(minidump::kLinuxMaps), 1u);
    EXPECT_EQ(dump.streams.count(minidump::kLinuxProcStatus), 0u) << "empty text: no stream";
    for (const auto& [type, place] : dump.streams) {
        EXPECT_TRUE(type == minidump::kCommentW || type == minidump::kLinuxMaps || place.second % 4 == 0) << type;
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

} // namespace
} // namespace bram
