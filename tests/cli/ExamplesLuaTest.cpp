// The sample language runs: data files of the sample workspace, turned into
// scripts by `brambleton-cli generate` (module scripts first, then the
// preamble, header, globals and one function per trigger), are Lua 5.4
// programs whose output the real interpreter produces as expected.

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

const std::string kWorkspace = BRAMBLETON_EXAMPLES_DIR;
const std::string kSamples = kWorkspace + "/samples/";
const std::string kTestData = std::string(BRAMBLETON_EXAMPLES_SOURCE_DIR) + "/../tests/cli/data/";

// Generates the data file's script and runs it.
test::CommandResult GenerateAndRun(const std::string& dataFile)
{
    test::CTempDir dir;
    const auto generated = test::RunCommand(std::string("'") + BRAMBLETON_CLI_PATH + "' --workdir '" + kWorkspace +
                                            "' generate '" + dataFile + "' -o '" + (dir / "script.lua") + "'");
    EXPECT_EQ(generated.status, 0) << generated.err;
    EXPECT_EQ(generated.err, "");
    return test::RunCommand("lua5.4 '" + (dir / "script.lua") + "'");
}

TEST(ExamplesLua, TriggersWithEventsTimersConditionsAndStructuresRun)
{
    // Locals, literals with quotes and a backslash, loops, if/else, text and
    // number calls, custom code, timers, custom events, trigger variables of
    // later triggers, a trigger disabled at the beginning, constants.
    const auto result = GenerateAndRun(kSamples + "Showcase.bdf");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Hello, W\xC3\xB6rld \"quoted\"\\\n"
              "i=1\ni=2\ni=3\n"
              "yes\n"
              "2.50\n"
              "Bramb\n"
              "ABC\n"
              "custom\n"
              "10\n6\n"
              "tick 1\ntick 2\ntick 3\n"
              "done by trg_Tick\n"
              "at 3.5\n"
              "late at 8\n"
              "runs of Tick: 3\n"
              "helper ran\n"
              "count is 3\n"
              "again 0\nagain 0\n"
              "\t3\n");
}

TEST(ExamplesLua, TheCountdownSampleRunsAsTheReadmeShows)
{
    const auto result = GenerateAndRun(kSamples + "Countdown.bdf");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Hello & welcome!\n"
              "Round 1\nRound 2\nRound 3\n"
              "tick 1\ntick 2\ntick 3\n"
              "done after 3\n"
              "runs of Tick: 3\n"
              "count is back to 0\n"
              "pi is about 3.14\n");
}

TEST(ExamplesLua, EmptyTriggersAndAnEmptyDocumentAreValidLua)
{
    const auto result = GenerateAndRun(kTestData + "EmptyTriggers.bdf");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const auto none = GenerateAndRun(kTestData + "EmptyDocument.bdf");
    EXPECT_EQ(none.status, 0) << none.err;
}

TEST(ExamplesLua, ARunawayPeriodicTimerStopsAtTheStepLimitAndAStopEndsTheScript)
{
    const auto runaway = GenerateAndRun(kTestData + "Runaway.bdf");
    EXPECT_EQ(runaway.status, 0) << runaway.err;
    EXPECT_EQ(runaway.err, "bram: stopped after 50 steps at 50 seconds\n");

    const auto stopped = GenerateAndRun(kTestData + "Stopper.bdf");
    EXPECT_EQ(stopped.status, 0) << stopped.err;
    EXPECT_EQ(stopped.out, "2.5\n");
}

TEST(ExamplesLua, AScriptThatFailsWhileLoadingDoesNotStartTheEventLoop)
{
    const auto result = GenerateAndRun(kTestData + "BrokenHeader.bdf");
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("broken header"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace bram
