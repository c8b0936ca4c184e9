// The loading box shows what the progress model says (the model's arithmetic
// has its own tests in the core).

#include "gui/app/LoadingBox.h"
#include "gui/common/ControlIds.h"

#include "GuiTestSupport.h"

#include <QLabel>
#include <QProgressBar>

namespace bram {
namespace {

TEST(LoadingBoxTest, BarAndTextLinesFollowTheModel)
{
    test::CTempDir dir;
    test::WriteFile(dir / "small", std::string(300, 'x'));
    test::WriteFile(dir / "large", std::string(700, 'x'));
    gui::CLoadingBox box;
    CLoadingProgress& progress = box.Progress();
    progress.AddFixedTask(0.01f);
    progress.AddFixedTask(0.07f);
    progress.AddFileTask(dir / "small");
    progress.AddFileTask(dir / "large");
    box.show();
    const auto* bar = box.findChild<QProgressBar*>(gui::ControlName(gui::EControl::LoadingBar));
    ASSERT_NE(bar, nullptr);
    progress.SelectTask(dir / "small");
    progress.FinishTask();
    EXPECT_EQ(bar->value(), progress.GetPosition());
    EXPECT_GT(bar->value(), 0);

    progress.SetStageText("Initialization...");
    progress.SetDetailText("<b>Setup</b> & more");
    EXPECT_EQ(box.findChild<QLabel*>(gui::ControlName(gui::EControl::LoadingStage))->text(),
              QStringLiteral("Initialization..."));
    // Shown as it is, never as markup.
    const QLabel* detail = box.findChild<QLabel*>(gui::ControlName(gui::EControl::LoadingDetail));
    EXPECT_EQ(detail->text(), QStringLiteral("<b>Setup</b> & more"));
    EXPECT_EQ(detail->textFormat(), Qt::PlainText);
}

} // namespace
} // namespace bram
