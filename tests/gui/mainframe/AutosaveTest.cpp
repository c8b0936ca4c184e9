// Autosave, recovery and the docks of the main window, as a user meets them:
// unsaved work reaches the recovery file on the timer, a save removes it, a
// later editor offers another's leftover work; the docks are remembered;
// generating a script with errors is asked about first.

#include "gui/mainframe/Autosave.h"
#include "gui/mainframe/MainFrame.h"

#include "GuiTestSupport.h"
#include "code/State.h"

#include <QDockWidget>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace bram {
namespace {

namespace fs = std::filesystem;

struct AutosaveTest : test::DocumentTest {
    std::unique_ptr<test::CDrivenFrame> AutosavedFrame()
    {
        auto frame = MakeFrame();
        frame->EnableAutosave(QString::fromStdString(Folder()));
        return frame;
    }
    std::string Folder() const { return started.workspace / "recovery"; }
    // A recovery file as an editor that is gone left it.
    void Plant(const std::string& stem, std::string_view data, const std::string& origin) const
    {
        test::WriteFile(Folder() + "/" + stem + ".bdf", data);
        test::WriteFile(Folder() + "/" + stem + ".origin", origin);
    }
    std::size_t RecoveryFiles() const
    {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            count += entry.path().extension() == ".bdf" ? 1 : 0;
        }
        return count;
    }
};

TEST_F(AutosaveTest, UnsavedWorkIsWrittenOnTheTimerAndASaveRemovesIt)
{
    const auto frame = AutosavedFrame();
    frame->Autosave()->Tick();
    EXPECT_FALSE(fs::exists(Folder())) << "nothing unsaved, nothing written";
    AddGlobalStep("Unsaved");
    frame->Autosave()->Tick();
    EXPECT_EQ(RecoveryFiles(), 1u);
    prompts.fileAnswers.push_back(Path("saved.bdf"));
    ASSERT_TRUE(frame->OnFileSaveAs());
    EXPECT_EQ(RecoveryFiles(), 0u);
}

TEST_F(AutosaveTest, AnotherEditorsLeftoverWorkIsOfferedAndRestored)
{
    AddGlobalStep("Unsaved");
    const std::string expected = document.WriteDataFile();
    // Another editor autosaves and dies.
    const pid_t child = ::fork();
    if (child == 0) {
        CRecoveryStore(Folder()).Write(document);
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    document.NewDocument();

    const auto frame = AutosavedFrame();
    prompts.boxAnswers.push_back(QMessageBox::Yes);
    ASSERT_TRUE(frame->OfferRecovery({}));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(QStringLiteral("Restore unsaved changes to Untitled from ")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(document.WriteDataFile(), expected);
    EXPECT_FALSE(frame->OfferRecovery({})) << "offered once: restored or declined, it is gone";
}

// A recovery file that does not load is not lost, and neither is the
// document the editor was asked to open.
TEST_F(AutosaveTest, ARestoreThatFailsIsShownAndKeepsTheFileAndTheOpenDocument)
{
    const auto frame = AutosavedFrame();
    const QString showcase = Path("samples/Showcase.bdf");
    ASSERT_TRUE(frame->OpenFile(showcase));
    const std::string before = document.WriteDataFile();
    Plant("99999999-Showcase", "<broken", showcase.toStdString());
    prompts.boxAnswers.push_back(QMessageBox::Yes);
    EXPECT_FALSE(frame->OfferRecovery(showcase));
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text,
              QStringLiteral("The unsaved changes could not be restored. The recovery file is kept."));
    EXPECT_TRUE(prompts.boxes[1].informative.contains(QStringLiteral("99999999-Showcase.bdf")))
        << prompts.boxes[1].informative.toStdString();
    EXPECT_EQ(document.GetPathName(), showcase.toStdString());
    EXPECT_EQ(document.WriteDataFile(), before);
    EXPECT_TRUE(fs::exists(Folder() + "/99999999-Showcase.bdf"));
}

// Any path may stand in a recovery file: the question shows it whole, and
// the first save asks where to instead of overwriting it.
TEST_F(AutosaveTest, ARecoveredDocumentNotAskedForIsSavedAsFirst)
{
    const std::string other = started.workspace / "other.bdf";
    test::WriteFile(other, "keep");
    AddGlobalStep("Unsaved");
    const std::string data = document.WriteDataFile();
    document.NewDocument();
    Plant("99999999-other", data, other);

    const auto frame = AutosavedFrame();
    prompts.boxAnswers.push_back(QMessageBox::Yes);
    ASSERT_TRUE(frame->OfferRecovery({}));
    EXPECT_TRUE(prompts.boxes[0].text.contains(QString::fromStdString(other))) << prompts.boxes[0].text.toStdString();
    EXPECT_FALSE(frame->OnFileSave()) << "the file dialog was cancelled";
    EXPECT_EQ(prompts.defaultNames, QStringList{QString::fromStdString(other)});
    EXPECT_EQ(test::ReadFile(other), "keep");
    prompts.fileAnswers.push_back(QString::fromStdString(other));
    ASSERT_TRUE(frame->OnFileSave());
    EXPECT_EQ(test::ReadFile(other), data);
}

TEST_F(AutosaveTest, DocksAreRememberedAndGeneratingWithErrorsIsAskedAbout)
{
    {
        const auto frame = AutosavedFrame();
        EXPECT_FALSE(frame->ProblemsDock()->isVisible());
        frame->show();
        frame->Action(QStringLiteral("Problems"))->trigger();
        EXPECT_TRUE(frame->ProblemsDock()->isVisible());
        frame->close();
    }
    const auto frame = AutosavedFrame();
    frame->show();
    EXPECT_TRUE(frame->ProblemsDock()->isVisible());
    EXPECT_FALSE(frame->PreviewDock()->isVisible());

    ASSERT_TRUE(frame->OpenFile(Path("samples/Showcase.bdf")));
    // An instruction loses its value: one error.
    document.AddHistoryStep("History/Text_Input");
    document.GetState()->GetTrigger(0)->GetBlock(2)->GetChild(0)->GetParameter(1)->SetValue(nullptr);
    document.UpdateAllViews();
    prompts.boxAnswers.push_back(QMessageBox::No);
    frame->OnGenerateScript();
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_EQ(prompts.boxes.back().text, QStringLiteral("The script has 1 errors. Generate anyway?"));
    EXPECT_TRUE(prompts.defaultNames.isEmpty()) << "no file dialog after No";
}

} // namespace
} // namespace bram
