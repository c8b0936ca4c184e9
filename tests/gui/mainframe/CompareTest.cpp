// File > Compare with... on the Showcase sample: the saved version against
// the edited document, another file, a file that does not read, and going
// from a row to its trigger and instruction by keyboard.

#include "gui/mainframe/MainFrame.h"
#include "gui/views/ChangesView.h"

#include "GuiTestSupport.h"
#include "code/CodeTrigger.h"
#include "code/State.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QStatusBar>
#include <QTest>

namespace bram {
namespace {

struct CompareTest : test::DocumentTest {
    CompareTest()
    {
        EXPECT_TRUE(document.OpenDocument(started.workspace / "samples/Showcase.bdf"));
        frame = MakeFrame();
        EXPECT_TRUE(test::ShowActive(*frame));
    }
    void Run(const char* action) const
    {
        QAction* found = frame->findChild<QAction*>(QLatin1String(action));
        ASSERT_NE(found, nullptr);
        found->trigger();
    }
    CCodeTrigger* Trigger(const std::string& name) const
    {
        for (std::size_t i = 0; i < document.GetState()->GetTriggerCount(); ++i) {
            if (document.GetState()->GetTrigger(i)->GetName() == name) {
                return document.GetState()->GetTrigger(i);
            }
        }
        return nullptr;
    }
    QStringList Rows() const { return test::Rows(frame->ChangesView(), {0, 1, 2}); }

    std::unique_ptr<test::CDrivenFrame> frame;
};

TEST_F(CompareTest, TheSavedVersionAgainstTheEditsGoesToEachChange)
{
    EXPECT_FALSE(frame->ChangesDock()->isVisible());
    Run("CompareWithSaved");
    EXPECT_TRUE(frame->ChangesDock()->isVisible());
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("No changes"));

    document.AddHistoryStep("History/Text_Input");
    Trigger("Tick")->SetComment("changed");
    CCodeBase* print = Trigger("Greeting")->GetBlock(2)->GetChild(1);
    print->SetEnabled(false);
    document.UpdateAllViews();
    Run("CompareWithSaved");
    EXPECT_EQ(Rows(), (QStringList{"Trigger changed|Greeting|Actions/2", "Trigger comment|Tick|"}));
    EXPECT_EQ(frame->ChangesView()->accessibleName(), QStringLiteral("Changes"));

    // Enter on the first row selects its trigger and instruction.
    ASSERT_EQ(QApplication::focusWidget(), frame->ChangesView());
    QTest::keyClick(frame->ChangesView(), Qt::Key_Return);
    ASSERT_EQ(document.GetState()->GetCurrentTrigger(), Trigger("Greeting"));
    EXPECT_EQ(Trigger("Greeting")->GetCurrentNode(), print);
    QTest::keyClick(frame->ChangesView(), Qt::Key_Down);
    QTest::keyClick(frame->ChangesView(), Qt::Key_Return);
    EXPECT_EQ(document.GetState()->GetCurrentTrigger(), Trigger("Tick"));
}

TEST_F(CompareTest, AnotherFileOrOneThatDoesNotRead)
{
    prompts.fileAnswers = {Path("samples/Countdown.bdf")};
    Run("CompareWith");
    EXPECT_FALSE(Rows().isEmpty());
    EXPECT_TRUE(prompts.boxes.empty());

    test::WriteFile(started.workspace / "broken.bdf", "<Data");
    const QStringList before = Rows();
    EXPECT_FALSE(frame->CompareWith(Path("broken.bdf")));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_TRUE(prompts.boxes[0].informative.contains(QStringLiteral("broken.bdf")));
    EXPECT_EQ(Rows(), before) << "the last comparison stays";
}

} // namespace
} // namespace bram
