// The pieces of a run that need no interpreter: the command line, the
// trace as it arrives in pieces of any size, and the bound on what it keeps.

#include "document/ScriptRun.h"
#include "base/ChildProcess.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(ScriptRun, CommandLinesSplitWithoutAShell)
{
    const struct {
        const char* command;
        std::vector<std::string> argv;
    } cases[] = {
        {R"(lua5.4 "%1")", {"lua5.4", "/tmp/a b/$x\".lua"}},
        {R"(  run  -e "a b" %1 x%1y )", {"run", "-e", "a b", "/tmp/a b/$x\".lua", "x/tmp/a b/$x\".luay"}},
        {R"(prog "" %2)", {"prog", "", "%2"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.command, "/tmp/a b/$x\".lua"), c.argv) << c.command;
    }
}

TEST(ScriptRun, TraceIsCountedAsItArrivesAndKeepsTheLastEntries)
{
    CTraceCollector trace(3);
    const std::string stream = "trg_A\t\ntrg_A\t2/0\ntrg_A\t2/0\r\ntrg_B\t2/1/0/0\ntrg_A\t\ntrg_A\t2/0";
    // Every split of the stream into two pieces counts the same.
    for (std::size_t cut = 0; cut <= stream.size(); cut += 7) {
        CTraceCollector pieces;
        pieces.Feed(stream.substr(0, cut));
        pieces.Feed(stream.substr(cut));
        pieces.Finish();
        EXPECT_EQ(pieces.GetTotal(), 6u) << cut;
        ASSERT_EQ(pieces.GetEntries().size(), 3u) << cut;
    }
    trace.Feed(stream);
    trace.Finish();
    const auto& entries = trace.GetEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].entry);
    EXPECT_EQ(entries[0].count, 2u);
    EXPECT_EQ(entries[1].path, (std::vector<std::size_t>{2, 0}));
    EXPECT_EQ(entries[1].count, 3u);
    EXPECT_EQ(entries[2].scriptName, "trg_B");
    EXPECT_EQ(entries[2].path, (std::vector<std::size_t>{2, 1, 0, 0}));
    EXPECT_EQ(trace.GetRecent(), (std::deque<std::uint32_t>{2, 0, 1}));
}

TEST(ScriptRun, AnErrorLineExpressionWithoutAGroupOrThatDoesNotCompileIsRefused)
{
    const CScriptLineMap lines;
    for (const char* expression : {"", ":\\d+:", ":(\\d+:"}) {
        const CRunErrorMapper mapper(expression, lines, 0);
        EXPECT_FALSE(mapper.IsValid()) << expression;
        EXPECT_FALSE(mapper.GetError().empty()) << expression;
    }
    EXPECT_TRUE(CRunErrorMapper(":(\\d+):", lines, 0).IsValid());
}

} // namespace
} // namespace bram
