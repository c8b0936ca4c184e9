#include "log/CallStack.h"
#include "log/MachineInfo.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace bram {
namespace {

TEST(CallStackTest, FrameLinesInEveryForm)
{
    CStackFrame known;
    known.address = 0x401234;
    known.module = "/opt/bram/brambleton";
    known.symbol = "bram::CState::Load()";
    known.displacement = 0x24;
    known.arguments = {{0x10, std::uintptr_t{0x20}}, {0x30, std::nullopt}};
    known.sourceFile = "/src/State.cpp";
    known.line = 42;
    known.lineDisplacement = 3;

    CStackFrame section;
    section.address = 0x7000;
    section.module = "/lib/libx.so";
    section.section = 14;
    section.sectionOffset = 0x1a0;

    CStackFrame unknown;
    unknown.address = 0xdead;

    const std::pair<const CStackFrame&, std::string> cases[] = {
        {known, "\tbrambleton!bram::CState::Load() + 0x24 (\t" + HexAddress(0x10) + " [" + HexAddress(0x20) + "]\t" +
                    HexAddress(0x30) + " [invalidptr]\t) (file: /src/State.cpp, line 42 + 0x3)\n"},
        {section, "\tlibx.so!000e:" + HexAddress(0x1a0).substr(2) + " (" + HexAddress(0x7000) + ") (\t)\n"},
        {unknown, "\t(Unknown module)!(unknown function: " + HexAddress(0xdead) + ") (\t)\n"},
    };
    for (const auto& [frame, line] : cases) {
        EXPECT_EQ(FormatStackFrame(frame), line);
    }
    EXPECT_EQ(FormatCallStack({known, unknown}), "Callstack:\n" + cases[0].second + cases[2].second + "\n");
    EXPECT_EQ(FormatCallStack({}), "Unknown!Unknown\n");
}

[[gnu::noinline]] std::vector<CStackFrame> CapturedInsideAKnownFunction()
{
    auto frames = CaptureCallStack(0);
    asm volatile("" ::: "memory");
    return frames;
}

TEST(CallStackTest, CapturedStackStartsAtTheCallerAndIsResolved)
{
    auto frames = CapturedInsideAKnownFunction();
    ASSERT_GE(frames.size(), 2u);
    ResolveCallStack(frames);
    EXPECT_NE(frames[0].symbol.find("CapturedInsideAKnownFunction"), std::string::npos) << frames[0].symbol;
    EXPECT_EQ(frames[0].module, ExecutablePath());
    EXPECT_NE(frames[1].symbol.find("CapturedStackStartsAtTheCallerAndIsResolved"), std::string::npos)
        << frames[1].symbol;
    EXPECT_TRUE(frames[0].sourceFile.ends_with("CallStackTest.cpp")) << frames[0].sourceFile;
    EXPECT_GT(frames[0].line, 0);
    EXPECT_GT(frames[0].displacement, 0u);
    EXPECT_LT(frames[0].displacement, 0x1000u);
    // The words above the return address are this stack's own memory.
    EXPECT_FALSE(frames[0].arguments.empty());
    EXPECT_LE(frames[0].arguments.size(), 10u);
}

TEST(CallStackTest, SafeReadsStopAtUnreadableMemory)
{
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    auto* mem =
        static_cast<char*>(::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(mem, MAP_FAILED);
    mem[page - 1] = 'x';
    ASSERT_EQ(::mprotect(mem + page, page, PROT_NONE), 0);
    const auto base = reinterpret_cast<std::uintptr_t>(mem);

    using Reader = std::size_t (*)(std::uintptr_t, void*, std::size_t);
    const std::pair<const char*, Reader> readers[] = {{"process_vm_readv", &ReadMemorySafely},
                                                      {"pipe", &ReadMemoryThroughPipe}};
    for (const auto& [name, read] : readers) {
        SCOPED_TRACE(name);
        char buffer[64] = {};
        EXPECT_EQ(read(base + page - 16, buffer, sizeof buffer), 16u) << "the readable prefix";
        EXPECT_EQ(buffer[15], 'x');
        EXPECT_EQ(read(base + page, buffer, sizeof buffer), 0u);
        EXPECT_EQ(read(0, buffer, sizeof buffer), 0u);
        std::string big(3 * page, '\0');
        EXPECT_EQ(read(base, big.data(), big.size()), page) << "stops at the guard page, not before";
    }
    EXPECT_FALSE(ReadWordSafely(base + page).has_value());
    EXPECT_FALSE(ReadWordSafely(base + page - 4).has_value()) << "a word that straddles into the guard";
    EXPECT_FALSE(ReadWordSafely(0).has_value());

    std::uintptr_t word = 0x1234;
    EXPECT_EQ(ReadWordSafely(reinterpret_cast<std::uintptr_t>(&word)), std::optional<std::uintptr_t>(0x1234));
    ::munmap(mem, 2 * page);
}

} // namespace
} // namespace bram
