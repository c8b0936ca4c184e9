// The script preview and the problems list follow the document: each edit and
// each undo shows the state's code at once, and its problems once edits pause.

#include "GuiTestSupport.h"

#include "gui/views/ProblemsView.h"
#include "gui/views/ScriptPreview.h"

#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/State.h"

#include <QTest>
#include <QTextBlock>

namespace bram {
namespace {

class PreviewProblemsTest : public test::DocumentTest {
protected:
    void SetUp() override { ASSERT_TRUE(document.OpenDocument(started.workspace / "samples/Showcase.bdf")); }
};

TEST_F(PreviewProblemsTest, PreviewShowsTheCurrentTriggerOrTheScriptAfterEditsAndUndo)
{
    gui::CScriptPreview preview(document);
    EXPECT_TRUE(preview.toPlainText().isEmpty()) << "hidden, it generates nothing";
    preview.show();
    EXPECT_EQ(preview.toPlainText().toStdString(), document.GetState()->GetCode(document.GetStartLevel()));

    document.AddHistoryStep("History/Text_Input");
    document.GetState()->SetCurrentTrigger(static_cast<int>(document.GetState()->GetTrigger(1)->GetId()));
    document.GetState()->GetTrigger(1)->SetComment("changed in the test");
    document.UpdateAllViews();
    const std::string trigger = document.GetState()->GetTrigger(1)->GetCode(document.GetStartLevel());
    EXPECT_EQ(preview.toPlainText().toStdString(), trigger);

    document.OnEditUndo();
    EXPECT_EQ(preview.toPlainText().toStdString(), document.GetState()->GetCode(document.GetStartLevel()));
}

// The instruction selected in the tree is marked where it stands in the
// preview: its own lines, also inside a structure.
TEST_F(PreviewProblemsTest, TheCurrentInstructionsLinesAreMarked)
{
    gui::CScriptPreview preview(document);
    preview.show();
    CCodeTrigger* trigger = document.GetState()->GetTrigger(0);
    document.GetState()->SetCurrentTrigger(static_cast<int>(trigger->GetId()));
    CCodeBase* loop = trigger->GetBlock(2)->GetChild(2); // For ... with a Print inside
    for (CCodeBase* node : {loop, loop->GetChild(0)->GetChild(0)}) {
        trigger->SetCurrentNode(node);
        preview.Refresh();
        ASSERT_EQ(preview.extraSelections().size(), 1);
        const QString marked = preview.extraSelections()[0].cursor.selectedText().replace(QChar(0x2029), '\n');
        const QString own = QString::fromStdString(node->GetCode(0)).trimmed();
        EXPECT_EQ(marked.split('\n').size(), own.split('\n').size());
        EXPECT_TRUE(marked.contains(own.section('\n', 0, 0).trimmed())) << marked.toStdString();
    }
    trigger->SetCurrentNode(nullptr);
    preview.Refresh();
    EXPECT_TRUE(preview.extraSelections().isEmpty());
}

// Comment lines, string literals, numbers and the document's names each get
// their colour; a number inside a literal stays part of the literal.
TEST_F(PreviewProblemsTest, HighlightingFollowsTheLanguageAndTheDocument)
{
    gui::CScriptPreview preview(document);
    preview.show();
    preview.setPlainText(QStringLiteral("-- a comment 12\nprint(\"tick 3\", 4.5, v_Count)\n"));
    auto& highlighter = preview.Highlighter();
    using K = gui::CScriptHighlighter::EKind;
    auto formatAt = [&](int line, int column) {
        const QTextBlock block = preview.document()->findBlockByNumber(line);
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (column >= range.start && column < range.start + range.length) {
                return range.format.foreground().color();
            }
        }
        return QColor();
    };
    EXPECT_EQ(formatAt(0, 13), highlighter.Format(K::Comment).foreground().color());
    EXPECT_EQ(formatAt(1, 13), highlighter.Format(K::String).foreground().color());
    EXPECT_EQ(formatAt(1, 17), highlighter.Format(K::Number).foreground().color());
    EXPECT_EQ(formatAt(1, 22), highlighter.Format(K::Name).foreground().color());
    EXPECT_FALSE(formatAt(1, 2).isValid()) << "plain code keeps the plain colour";
}

TEST_F(PreviewProblemsTest, ProblemsAppearOnceEditsPauseAndGoWhenUndone)
{
    gui::CProblemsView problems(document);
    problems.show();
    EXPECT_EQ(problems.topLevelItemCount(), 0);

    AddGlobalStep("Spare");
    EXPECT_EQ(problems.topLevelItemCount(), 0) << "not while the edits go on";
    ASSERT_TRUE(QTest::qWaitFor([&] { return problems.topLevelItemCount() == 1; }, 2000));
    EXPECT_EQ(problems.topLevelItem(0)->text(3), QStringLiteral("No instruction uses the global variable Spare."));

    int activated = 0;
    QObject::connect(&problems, &gui::CProblemsView::ProblemActivated,
                     [&](const SProblem& p) { activated += p.subject == "Spare" ? 1 : 0; });
    emit problems.itemActivated(problems.topLevelItem(0), 0);
    EXPECT_EQ(activated, 1);

    // Hidden, it looks only when shown again.
    problems.hide();
    document.OnEditUndo();
    QTest::qWait(300);
    EXPECT_EQ(problems.topLevelItemCount(), 1);
    problems.show();
    EXPECT_EQ(problems.topLevelItemCount(), 0);
}

} // namespace
} // namespace bram
