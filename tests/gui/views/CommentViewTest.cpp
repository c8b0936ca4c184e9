// The comment view and its text box: what it edits for the selection, the
// check boxes as steps, and how typing becomes undo steps.

#include "gui/views/CommentView.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/TextStepEdit.h"

#include "ViewsFixture.h"
#include "code/State.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QTest>

namespace bram::test {
namespace {

class CommentViewTest : public ViewsTest {
protected:
    gui::CTextStepEdit* Text() const { return comment->TextBox(); }
    std::vector<std::string> NewSteps(std::size_t from) const
    {
        const std::vector<std::string> names = UndoNames();
        return {names.begin() + static_cast<std::ptrdiff_t>(std::min(from, names.size())), names.end()};
    }
};

TEST_F(CommentViewTest, TheSelectionDecidesWhatTheViewEditsAndLoadingRecordsNothing)
{
    Countdown("Tick");
    EXPECT_EQ(comment->Description()->text(), QStringLiteral("Comment of the trigger:"));
    EXPECT_EQ(Text()->toPlainText(), QStringLiteral("Counts to three, once a second."));
    EXPECT_EQ(Text()->accessibleName(), comment->Description()->text());
    EXPECT_FALSE(comment->EnabledBox()->isHidden());
    EXPECT_TRUE(comment->EnabledBox()->isChecked());
    EXPECT_FALSE(comment->EnabledAtBeginningBox()->isChecked());
    EXPECT_EQ(comment->EnabledBox()->accessibleName(), QStringLiteral("Enabled"));

    Select("Timers");
    EXPECT_EQ(document.GetState()->GetCurrentTrigger(), nullptr);
    EXPECT_TRUE(Text()->toPlainText().startsWith(QStringLiteral("Countdown: a sample")));
    EXPECT_TRUE(comment->Description()->text().startsWith(QStringLiteral("Preamble")));
    EXPECT_TRUE(comment->EnabledBox()->isHidden());
    EXPECT_TRUE(UndoNames().empty());

    // Deleting the current trigger leaves no view on it; undo brings it back, shown.
    Select("Tick");
    categories->OnDelete();
    EXPECT_TRUE(comment->EnabledBox()->isHidden());
    EXPECT_TRUE(Text()->toPlainText().startsWith(QStringLiteral("Countdown: a sample")));
    document.OnEditUndo();
    EXPECT_EQ(categories->currentIndex(), CatRow("Tick"));
    EXPECT_EQ(Text()->toPlainText(), QStringLiteral("Counts to three, once a second."));
    EXPECT_TRUE(UndoNames().empty());
}

// Their undo: DocumentEdits.FlagsAndTextsRecordOneStepEach.
TEST_F(CommentViewTest, EachCheckBoxChangeIsOneStepByMouseOrAccessibilityAction)
{
    Countdown("Hello");
    QTest::mouseClick(comment->EnabledBox(), Qt::LeftButton);
    ASSERT_TRUE(AccessibleToggle(comment->EnabledAtBeginningBox()));
    const CCodeTrigger* hello = document.GetState()->GetCurrentTrigger();
    EXPECT_FALSE(hello->IsEnabled());
    EXPECT_FALSE(hello->IsEnabledAtBeginning());
    EXPECT_FALSE(comment->EnabledBox()->isChecked());
    EXPECT_TRUE(CatRow("Hello").data(Qt::ForegroundRole).isValid());
    const std::vector<std::string> steps{"History/Trigger_EnabledChanged", "History/Trigger_EnabledAtBeginningChanged"};
    EXPECT_EQ(UndoNames(), steps);

    // Showing another trigger's flags, or the undone ones, is no step.
    Select("Tick");
    EXPECT_TRUE(comment->EnabledBox()->isChecked());
    Select("Hello");
    document.OnEditUndo();
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->IsEnabledAtBeginning());
    EXPECT_TRUE(comment->EnabledAtBeginningBox()->isChecked());
    EXPECT_EQ(UndoNames(), std::vector<std::string>{steps[0]});
}

TEST_F(CommentViewTest, ATypingRunIsOneStepAndEveryBackspaceReturnOrPasteIsOne)
{
    Countdown("Done");
    Text()->setFocus();
    QTest::keyClicks(Text(), QStringLiteral("abc"));
    EXPECT_EQ(Comment(), "abc");
    EXPECT_EQ(UndoNames(), (std::vector<std::string>{"History/Text_Input"}));
    QTest::keyClick(Text(), Qt::Key_Backspace);
    QTest::keyClick(Text(), Qt::Key_Backspace);
    QTest::keyClick(Text(), Qt::Key_Return);
    // A lone Shift does not carry the next letter into the step before.
    QTest::keyClick(Text(), Qt::Key_Shift);
    Type(Text(), QStringLiteral("Xü"));
    // Moving the caret starts a new run.
    QTest::keyClick(Text(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(Text(), QStringLiteral("z"));
    EXPECT_EQ(Comment(), "za\nXü");
    EXPECT_EQ(NewSteps(1),
              (std::vector<std::string>{"History/Text_Delete", "History/Text_Delete", "History/Text_Return",
                                        "History/Text_Input", "History/Text_Input"}));

    // Undo by the window's key, not the box's own: the text follows the document.
    document.OnEditUndo();
    EXPECT_EQ(Text()->toPlainText(), QStringLiteral("a\nXü"));
    EXPECT_EQ(Comment(), "a\nXü");

    // A paste is a step; past the limit the rest is cut off with a beep.
    QApplication::clipboard()->setText(
        QStringLiteral("0123456789\n").repeated(gui::CCommentView::kMaxTextLength / 11 + 1));
    const std::size_t before = UndoNames().size();
    Text()->moveCursor(QTextCursor::End);
    QTest::keyClick(Text(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(NewSteps(before), (std::vector<std::string>{"History/Text_Paste"}));
    EXPECT_EQ(Text()->toPlainText().size(), gui::CCommentView::kMaxTextLength);
    EXPECT_EQ(QString::fromStdString(Comment()), Text()->toPlainText());
    EXPECT_EQ(prompts.beeps, 1);
}

} // namespace
} // namespace bram::test
