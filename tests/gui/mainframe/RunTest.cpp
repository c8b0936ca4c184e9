// Edit/Run: the Output dock shows what the script prints, an error names its
// instruction and goes there, Stop ends the script and its children, and a
// run with trace counts how often each trigger and instruction ran.

#include "gui/mainframe/MainFrame.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/OutputView.h"
#include "gui/views/ProblemsView.h"

#include "GuiTestSupport.h"
#include "TestDataFiles.h"
#include "base/Text.h"
#include "code/State.h"

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QThread>
#include <QTreeView>

namespace bram {
namespace {

class RunTest : public test::DocumentTest {
protected:
    void Open(const std::string& path)
    {
        ASSERT_TRUE(document.OpenDocument(path));
        frame = MakeFrame();
        output = frame->OutputView();
    }
    // Until the run ends, at most 20 seconds.
    void WaitForTheEnd() const
    {
        for (int i = 0; i < 2000 && output->IsRunning(); ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        QCoreApplication::processEvents();
    }

    std::unique_ptr<test::CDrivenFrame> frame;
    gui::COutputView* output = nullptr;
};

TEST_F(RunTest, OutputIsShownAndAnErrorGoesToItsInstruction)
{
    // A copy: the new document below may save the edited one.
    test::CTempDir dir;
    test::WriteFile(dir / "Failing.bdf", test::DataFile("examples/Failing.bdf"));
    Open(dir / "Failing.bdf");
    QAction* run = frame->Action(QStringLiteral("Run"));
    frame->UpdateCommandUI();
    ASSERT_TRUE(run->isEnabled());
    EXPECT_EQ(run->shortcut(), QKeySequence(Qt::Key_F5));
    run->trigger();
    EXPECT_FALSE(run->isEnabled()) << "one run at a time";
    WaitForTheEnd();
    EXPECT_FALSE(frame->findChild<QDockWidget*>(QStringLiteral("OutputDock"))->isHidden()) << "the dock is shown";
    EXPECT_TRUE(output->Text()->toPlainText().startsWith(QStringLiteral("fine\nbefore\nbefore\n")));
    EXPECT_TRUE(output->Status()->text().startsWith(QStringLiteral("Exit code 1 after")))
        << output->Status()->text().toStdString();
    ASSERT_GE(output->Places()->count(), 1);
    QListWidgetItem* first = output->Places()->item(0);
    EXPECT_TRUE(first->text().startsWith(QStringLiteral("Boom, Actions/3: attempt to concatenate")))
        << first->text().toStdString();

    emit output->Places()->itemActivated(first);
    const CCodeTrigger* current = document.GetState()->GetCurrentTrigger();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->GetName(), "Boom");
    EXPECT_EQ(current->GetCurrentNode(), current->GetNodeFromPath(std::vector<std::size_t>{2, 2}));

    // The problems list holds the error first, until the next run.
    auto* problems = frame->findChild<gui::CProblemsView*>();
    ASSERT_FALSE(problems->Problems().empty());
    EXPECT_EQ(problems->Problems().front().kind, EProblemKind::RunError);
    EXPECT_TRUE(problems->topLevelItem(0)->text(3).startsWith(QStringLiteral("The last run failed here: attempt to")))
        << problems->topLevelItem(0)->text(3).toStdString();
    document.GetState()->SetCurrentTrigger(static_cast<int>(document.GetState()->GetTrigger(0)->GetId()));
    emit problems->itemActivated(problems->topLevelItem(0), 0);
    EXPECT_EQ(document.GetState()->GetCurrentTrigger()->GetName(), "Boom");
    AddGlobalStep("Other");
    EXPECT_EQ(problems->Problems().front().kind, EProblemKind::RunError) << "an edit keeps them";
    frame->OnFileNew();
    EXPECT_TRUE(problems->Problems().empty() || problems->Problems().front().kind != EProblemKind::RunError)
        << "a new document forgets them";
}

TEST_F(RunTest, AWorkspaceWithoutARunSectionCannotRun)
{
    const std::string iniPath = started.workspace / "brambleton.ini";
    std::string ini = test::ReadFile(iniPath);
    ASSERT_EQ(ReplaceAll(ini, "[Run]", "[NotRun]"), 1u);
    test::WriteFile(iniPath, ini);
    Open(started.workspace / "samples/Countdown.bdf");
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->Action(QStringLiteral("Run"))->isEnabled());
    EXPECT_FALSE(frame->Action(QStringLiteral("RunWithTrace"))->isEnabled());
    EXPECT_FALSE(frame->OnRun(false));
    EXPECT_FALSE(output->IsRunning());
}

TEST_F(RunTest, StopEndsTheScriptAndWhatItStarted)
{
    // Its own sleep, apart from the command-line test's that may run meanwhile.
    test::CTempDir dir;
    std::string script = test::DataFile("examples/Forever.bdf");
    ASSERT_EQ(ReplaceAll(script, "sleep 1234.5", "sleep 1234.6"), 1u);
    test::WriteFile(dir / "Forever.bdf", script);
    Open(dir / "Forever.bdf");
    ASSERT_TRUE(frame->OnRun(false));
    for (int i = 0; i < 30; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    frame->UpdateCommandUI();
    QAction* stop = frame->Action(QStringLiteral("StopRun"));
    ASSERT_TRUE(stop->isEnabled());
    stop->trigger();
    EXPECT_FALSE(output->IsRunning());
    EXPECT_TRUE(output->Status()->text().startsWith(QStringLiteral("Exit code 137")))
        << output->Status()->text().toStdString();
    EXPECT_EQ(test::ProcessesLeft("sleep 1234[.]6"), "");
}

TEST_F(RunTest, TraceCountsShowBesideTriggersAndInstructionsUntilAnEdit)
{
    Open(started.workspace / "samples/Countdown.bdf");
    ASSERT_TRUE(frame->OnRun(true));
    WaitForTheEnd();
    auto* categories = frame->findChild<gui::CCategoriesView*>();
    const auto item = [this, categories](const char* name) {
        return categories->IndexOf(document.GetCategorySystem().FindTrigger(name).entry);
    };
    const auto count = [&item](const char* name) { return item(name).siblingAtColumn(1).data().toString(); };
    ASSERT_TRUE(item("Tick").isValid());
    EXPECT_EQ(count("Tick"), QStringLiteral("×3"));
    EXPECT_EQ(count("Hello"), QStringLiteral("×1"));
    EXPECT_EQ(count("Unused"), QStringLiteral("never ran"));
    EXPECT_FALSE(categories->isColumnHidden(1));

    categories->setCurrentIndex(item("Tick"));
    const QTreeView& tree = *frame->findChild<gui::CInstructionView*>()->Tree();
    const QAbstractItemModel& rows = *tree.model();
    EXPECT_FALSE(tree.isColumnHidden(1));
    // The count beside the instruction tree's row at a path under the trigger's row.
    const auto ran = [&rows](std::initializer_list<int> path) {
        QModelIndex row = rows.index(0, 0);
        for (const int i : path) {
            row = rows.index(i, 0, row);
        }
        return row.siblingAtColumn(1).data().toString();
    };
    ASSERT_EQ(rows.rowCount(rows.index(0, 0)), 3);
    ASSERT_EQ(rows.rowCount(rows.index(2, 0, rows.index(0, 0))), 3);
    EXPECT_EQ(ran({2, 0}), QStringLiteral("×3"));
    EXPECT_EQ(ran({2, 2, 0, 0}), QStringLiteral("×1")) << "inside the If";
    EXPECT_EQ(ran({2}), QString()) << "blocks are not counted";
    EXPECT_EQ(ran({0, 0}), QString()) << "events are not traced";

    AddGlobalStep("Other");
    EXPECT_EQ(count("Tick"), QString()) << "an edit clears the counts";
    EXPECT_TRUE(categories->isColumnHidden(1));
    EXPECT_EQ(ran({2, 0}), QString());
    EXPECT_TRUE(tree.isColumnHidden(1));
}

} // namespace
} // namespace bram
