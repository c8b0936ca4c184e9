// Where the lines of the samples' scripts came from: the generator's line
// map against what each instruction writes by itself.

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
    }
}

} // namespace
} // namespace bram
