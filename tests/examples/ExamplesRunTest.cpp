// Where the lines of the samples' scripts came from (the generator's line
// map against what each instruction writes by itself), and running them
// with `brambleton-cli run`: output, errors mapped to instructions, the
// time limit and the trace.

#include "CliRun.h"
#include "TestDataFiles.h"
#include "TestSupport.h"
#include "app/ApplicationCore.h"
#include "base/Text.h"
#include "code/ScriptLineMap.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/NodeWalk.h"
#include "progress/LoadingProgress.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace bram {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Unindented(std::string line) { return line.erase(0, line.find_first_not_of('\t')); }

class ExamplesLineMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string workspace = m_dir / "workspace/";
        fs::copy(BRAMBLETON_EXAMPLES_DIR, workspace, fs::copy_options::recursive);
        std::string ini = test::ReadFile(workspace + "brambleton.ini");
        ReplaceAll(ini, "%TEMP%", m_dir.Path() + "temp");
        ReplaceAll(ini, "%AppData%", m_dir.Path() + "appdata");
        test::WriteFile(workspace + "brambleton.ini", ini);
        test::ResetProcessState();
        CLoadingProgress progress;
        ASSERT_TRUE(m_app.InitInstance(workspace, progress));
        m_workspace = workspace;
    }
    void TearDown() override
    {
        m_app.ExitInstance();
        test::ResetProcessState();
    }

    test::CTempDir m_dir;
    CApplicationCore m_app;
    std::string m_workspace;
};

// Each instruction's mapped lines are what its own generation writes
// (indentation aside), twins in one trigger included; a disabled one maps
// to no line, and every mapped line lies in its trigger's range.
TEST_F(ExamplesLineMap, EveryInstructionOwnsTheLinesItWrote)
{
    for (const char* sample : {"samples/Countdown.bdf", "samples/Showcase.bdf"}) {
        SCOPED_TRACE(sample);
        CApplicationDocument document;
        ASSERT_TRUE(document.OpenDocument(m_workspace + sample));
        CState& state = *document.GetState();
        // A twin of the first instruction of every trigger, right after it.
        for (std::size_t t = 0; t < state.GetTriggerCount(); ++t) {
            CCodeTrigger& trigger = *state.GetTrigger(t);
            for (std::size_t b = 0; !trigger.IsCode() && b < trigger.GetBlockCount(); ++b) {
                CBlock* block = trigger.GetBlock(b);
                if (block->GetChildCount() > 0) {
                    block->InsertChild(block->GetChild(0)->Clone(), 1);
                }
            }
        }
        CScriptLineMap map;
        CCodeWriter writer(&map, nullptr, nullptr);
        const std::vector<std::string> lines = Lines(state.GetCode(0, &writer));
        ASSERT_FALSE(map.IsEmpty());
        std::size_t checked = 0;
        for (std::size_t t = 0; t < state.GetTriggerCount(); ++t) {
            const CCodeTrigger& trigger = *state.GetTrigger(t);
            ForEachInstruction(
                trigger, [&](const CCodeBase& node, const std::vector<std::size_t>& path, const std::string& place) {
                    SCOPED_TRACE(trigger.GetName() + " " + place);
                    const auto [first, count] = map.LinesOf(trigger.GetId(), path);
                    std::string own = node.GetCode(0);
                    if (own.ends_with('\n')) {
                        own.pop_back();
                    }
                    if (own.empty() || !trigger.IsEnabled()) {
                        EXPECT_EQ(count, 0u);
                        return;
                    }
                    const std::vector<std::string> expected = Lines(own);
                    ASSERT_EQ(count, expected.size());
                    ASSERT_LE(first + count, lines.size());
                    for (std::size_t i = 0; i < count; ++i) {
                        EXPECT_EQ(Unindented(lines[first + i]), Unindented(expected[i]));
                        const CScriptLineMap::SPlace place = map.PlaceOfLine(first + i);
                        EXPECT_EQ(place.triggerId, trigger.GetId());
                        // The first line is the instruction's own; inner lines may be a nested one's.
                        if (i == 0) {
                            EXPECT_EQ(place.path, path);
                        }
                    }
                    ++checked;
                });
        }
        EXPECT_GT(checked, 10u);

        // Trace statements only in a run with trace; the map stays the same.
        EXPECT_EQ(document.GenerateScriptData().find("bram.Trace(\"trg_"), std::string::npos);
        CScriptLineMap traced;
        std::size_t offset = 0;
        const std::string withTrace = document.GenerateScriptData(&traced, &offset, true);
        EXPECT_NE(withTrace.find("bram.Trace(\"trg_"), std::string::npos);
        EXPECT_EQ(traced.GetInstructions().size(), map.GetInstructions().size());
    }
}

std::string RunArguments(const std::string& arguments, const std::string& workspace = BRAMBLETON_EXAMPLES_DIR)
{
    return "--workdir " + test::Quoted(workspace) + " run " + arguments;
}

TEST(ExamplesRunCli, OutputPassesThroughAndErrorsNameTheirInstruction)
{
    const auto countdown =
        test::RunCli(RunArguments(test::Quoted(std::string(BRAMBLETON_EXAMPLES_DIR) + "/samples/Countdown.bdf")));
    EXPECT_EQ(countdown.status, 0) << countdown.err;
    EXPECT_EQ(countdown.out, test::DataFile("examples/Countdown.out"));
    EXPECT_EQ(countdown.err, "");

    // The third of three actions fails; two identical ones come before it.
    const auto failing = test::RunCli(RunArguments(test::Quoted(test::DataPath("examples/Failing.bdf"))));
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(failing.out, "fine\nbefore\nbefore\n");
    EXPECT_TRUE(failing.err.starts_with("Boom\tActions/3\tattempt to concatenate a nil value (global 'v_Unset')\n"))
        << failing.err;
}

TEST(ExamplesRunCli, ARunawayScriptIsEndedWithItsChildrenAtTheTimeout)
{
    const auto result =
        test::RunCli(RunArguments(test::Quoted(test::DataPath("examples/Forever.bdf")) + " --timeout 1"));
    EXPECT_EQ(result.status, 124) << result.err;
    EXPECT_NE(result.err.find("stopped after 1 seconds"), std::string::npos) << result.err;
    // The script started "sleep 1234.5" in the background before it looped.
    EXPECT_EQ(test::ProcessesLeft("sleep 1234[.]5"), "");
}

TEST(ExamplesRunCli, TraceCountsWhatRan)
{
    const auto result = test::RunCli(
        RunArguments(test::Quoted(std::string(BRAMBLETON_EXAMPLES_DIR) + "/samples/Countdown.bdf") + " --trace"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, test::DataFile("examples/Countdown.out")) << "the trace is not in the output";
    // Tick runs three times; its last action only once; Done's disabled actions never.
    for (const char* line : {"1\tHello\t\n", "3\tHello\tActions/3/repeat/1\n", "3\tTick\t\n", "3\tTick\tActions/1\n",
                             "1\tTick\tActions/3/then/2\n", "1\tDone\tActions/1\n"}) {
        EXPECT_NE(result.err.find(line), std::string::npos) << line << result.err;
    }
    EXPECT_EQ(result.err.find("Done\tActions/2"), std::string::npos) << result.err;
}

TEST(ExamplesRunCli, AWorkspaceWithoutRunSettingsSaysWhy)
{
    test::CTempDir dir;
    const std::string workspace = dir / "workspace";
    fs::copy(BRAMBLETON_EXAMPLES_DIR, workspace, fs::copy_options::recursive);
    std::string ini = test::ReadFile(workspace + "/brambleton.ini");
    ReplaceAll(ini, "[Run]", "[NotRun]");
    test::WriteFile(workspace + "/brambleton.ini", ini);
    const auto result = test::RunCli(RunArguments(test::Quoted(workspace + "/samples/Countdown.bdf"), workspace));
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("no [Run] section"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace bram
