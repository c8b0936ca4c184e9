#include "progress/LoadingProgress.h"
#include "ModuleFixtures.h"
#include "log/Assertion.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(LoadingProgressTest, BarArithmeticOfFixedSharesAndFileSizes)
{
    CLoadingProgress progress;
    test::CProgressRecorder display;
    progress.SetDisplay(&display);
    EXPECT_EQ(progress.AddFixedTask(0.01f), 0);
    EXPECT_EQ(progress.AddFixedTask(0.07f), 1);
    progress.AddSizeTask("a.modl", 300);
    progress.AddSizeTask("b.modl", 700);
    EXPECT_EQ(progress.GetTotal(), 1086u);

    progress.SelectTask(3);
    progress.SetTaskProgress(0.5);
    EXPECT_EQ(display.positions.back(), 322);

    EXPECT_EQ(progress.SelectTask("a.modl"), 4);
    EXPECT_EQ(progress.GetCurrentTask(), 2);
    progress.FinishTask();
    EXPECT_EQ(display.positions.back(), 276);
    EXPECT_EQ(progress.GetCurrentTask(), -1);

    progress.SelectTask(1);
    progress.FinishTask();
    EXPECT_EQ(progress.GetDone(), 376u);
    EXPECT_EQ(display.positions.back(), 346);

    // No current task: the bar shows what is done.
    progress.SetTaskProgress(0.9);
    EXPECT_EQ(display.positions.back(), 346);

    progress.SetStageText("Stage");
    progress.SetDetailText("Detail");
    EXPECT_EQ(display.stages.back(), "Stage");
    EXPECT_EQ(progress.GetDetailText(), "Detail");
}

TEST(LoadingProgressTest, SelectionMissesEmptyTotalsAndFullShares)
{
    CLoadingProgress progress;
    progress.FinishTask();
    progress.SetTaskProgress(0.5);
    EXPECT_EQ(progress.GetPosition(), 0) << "a total of 0 is never divided by";
    progress.AddFileTask("/nonexistent/file.modl");
    EXPECT_EQ(progress.TaskCount(), 0);
    progress.AddFixedTask(0.5f);
    EXPECT_EQ(progress.SelectTask(5), 1);
    EXPECT_EQ(progress.GetCurrentTask(), -1);
    EXPECT_EQ(progress.SelectTask("missing"), 1);
    EXPECT_EQ(progress.GetCurrentTask(), -1);

    // Fixed shares reaching one are an internal error; the bar stays in range.
    const unsigned before = GetAssertionFailureCount();
    progress.AddFixedTask(0.5f);
    EXPECT_EQ(GetAssertionFailureCount(), before + 1);
    progress.AddSizeTask("x", 100);
    progress.SelectTask(2);
    progress.FinishTask();
    EXPECT_GE(progress.GetPosition(), 0);
    EXPECT_LE(progress.GetPosition(), 1000);
}

// The start-up's task list: the truncated shares leave units over, yet the
// last finished task fills the bar.
TEST(LoadingProgressTest, LastFinishedTaskFillsTheBar)
{
    CLoadingProgress progress;
    for (const float share : {0.01f, 0.07f}) {
        progress.AddFixedTask(share);
    }
    progress.AddSizeTask("FunctionDefinition.xml", 1234);
    progress.AddSizeTask("core.modl", 7777);
    for (const float share : {0.01f, 0.03f}) {
        progress.AddFixedTask(share);
    }
    for (int i = 0; i < progress.TaskCount(); ++i) {
        progress.SelectTask(i);
        progress.FinishTask();
        if (i + 1 < progress.TaskCount()) {
            EXPECT_LT(progress.GetPosition(), 1000) << i;
        }
    }
    EXPECT_EQ(progress.GetDone(), progress.GetTotal());
    EXPECT_EQ(progress.GetPosition(), 1000);
}

} // namespace
} // namespace bram
