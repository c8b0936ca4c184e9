// Cut, copy and paste in the views through the real (offscreen) clipboard:
// both flavours, a trigger into another document, an instruction where its
// block type fits and nowhere else, a cut, a broken fragment refused (the
// rules themselves: the core's Clipboard tests).

#include "ViewsFixture.h"

#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionView.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/Clipboard.h"
#include "document/DocumentEdits.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace bram::test {
namespace {

class ClipboardViewTest : public ViewsTest {
protected:
    ~ClipboardViewTest() override { QApplication::clipboard()->clear(); }

    static QString MimeType() { return QString::fromLatin1(kFragmentMimeType.data()); }
    CCodeTrigger* Trigger(const CApplicationDocument& of, const std::string& name) const
    {
        const auto found = of.GetCategorySystem().FindTrigger(name);
        return found ? of.GetState()->FindTrigger(found.entry->GetId()) : nullptr;
    }
};

TEST_F(ClipboardViewTest, ATriggerGoesIntoAnotherDocumentWithTheVariablesItUses)
{
    Countdown("Hello");
    categories->OnCopy();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data->hasFormat(MimeType()));
    EXPECT_EQ(data->text().toStdString(), Trigger(document, "Hello")->GetCode(0));

    CApplicationDocument other;
    other.NewDocument();
    gui::CCategoriesView view(other);
    CreateCategory(other);
    other.UpdateAllViews();
    view.setCurrentIndex(view.IndexOf(other.GetCategorySystem().GetCategory(0)));
    view.OnPaste();
    const CCodeTrigger* pasted = Trigger(other, "Hello");
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(other.GetState()->GetCurrentTrigger(), pasted);
    EXPECT_EQ(other.GetState()->GetGlobalCount(), 1u);
    EXPECT_EQ(other.GetUndoName(), "History/Clipboard_Paste");
}

TEST_F(ClipboardViewTest, AnInstructionGoesOnlyWhereItsBlockTypeFits)
{
    Countdown("Tick");
    SelectInstruction({2, 0});
    instructions->OnCopy();
    const std::string before = document.WriteDataFile();
    SelectInstruction({1});
    instructions->OnPaste();
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(document.WriteDataFile(), before);
    EXPECT_FALSE(document.CanUndo());

    SelectInstruction({2});
    const QStringList labels = Children(InstructionRow({2}));
    instructions->OnPaste();
    EXPECT_EQ(Children(InstructionRow({2})), labels + QStringList{labels[0]});
    EXPECT_EQ(instructions->Tree()->currentIndex(), InstructionRow({2, static_cast<int>(labels.size())}));
}

TEST_F(ClipboardViewTest, ABrokenFragmentIsRefusedAndACutIsUndoneAndPastedBack)
{
    Countdown("Timers");
    const std::string before = document.WriteDataFile();
    auto* broken = new QMimeData;
    broken->setData(MimeType(), "<Data version=\"1.1\" fragment=\"triggers\"><NeededModules><NeededModule>gone");
    QApplication::clipboard()->setMimeData(broken);
    categories->OnPaste();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_TRUE(prompts.boxes[0].informative.startsWith(QStringLiteral("Reason: ")))
        << prompts.boxes[0].informative.toStdString();
    EXPECT_EQ(document.WriteDataFile(), before);
    EXPECT_EQ(document.GetUndoCount(), 0u);

    Select("Tick");
    categories->OnCut();
    EXPECT_FALSE(CatRow("Tick").isValid());
    EXPECT_EQ(document.GetUndoName(), "History/Clipboard_Cut");
    document.OnEditUndo();
    EXPECT_EQ(document.WriteDataFile(), before);
    // Back beside itself: a free name, its global reused.
    Select("Tick");
    categories->OnPaste();
    EXPECT_TRUE(CatRow("Tick_2").isValid());
    EXPECT_EQ(document.GetState()->GetGlobalCount(), 2u);
}

} // namespace
} // namespace bram::test
