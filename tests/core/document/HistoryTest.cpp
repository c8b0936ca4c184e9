// The undo history: snapshots, the saved marker and the modified flag, and
// who destroys what.

#include "DocumentFixture.h"

#include <cstdlib>

namespace bram::test {
namespace {

using History = DocumentTest;

CCategoryParam* CategoryParam(void* p) { return static_cast<CCategoryParam*>(static_cast<CHistoryParam*>(p)); }

TEST_F(History, RecordingCopiesTheStateAndUndoRedoSwitchBetweenSnapshots)
{
    CState* original = m_document.GetState();
    m_document.AddHistoryStep("History/CatView_CreateTrigger");
    CState* copy = m_document.GetState();
    ASSERT_NE(copy, original);
    AddDocumentTrigger(m_document, "Main", "T");
    EXPECT_EQ(m_document.GetUndoName(), "History/CatView_CreateTrigger");
    EXPECT_EQ(m_document.GetRedoName(), "");

    m_document.Undo();
    EXPECT_EQ(m_document.GetState(), original);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 0u);
    EXPECT_EQ(m_document.GetUndoName(), "");
    EXPECT_EQ(m_document.GetRedoName(), "History/CatView_CreateTrigger");
    m_document.Redo();
    EXPECT_EQ(m_document.GetState(), copy);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 1u);
}

TEST_F(History, TheSavedMarkerDecidesTheModifiedFlag)
{
    CTempDir dir;
    EXPECT_FALSE(m_document.IsModified());
    m_document.AddHistoryStep("History/Text_Input");
    EXPECT_TRUE(m_document.IsModified());
    // Undone back to the unchanged document: not modified.
    m_document.Undo();
    EXPECT_FALSE(m_document.IsModified());
    m_document.Redo();
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    EXPECT_FALSE(m_document.IsModified());
    // Record, save, undo: modified; redo: back at the saved point.
    m_document.Undo();
    EXPECT_TRUE(m_document.IsModified());
    m_document.Redo();
    EXPECT_FALSE(m_document.IsModified());

    // Save, undo, record: the saved point lay on the discarded branch.
    m_document.Undo();
    m_document.AddHistoryStep("History/Text_Delete");
    EXPECT_EQ(m_document.GetSavedHistoryPoint(), -1);
    EXPECT_EQ(m_document.GetRedoCount(), 0u);
    m_document.Undo();
    EXPECT_TRUE(m_document.IsModified());
    m_document.Redo();
    EXPECT_TRUE(m_document.IsModified());
}

TEST_F(History, RemoveAndRenameTheLastStepOnlyWithoutRedo)
{
    CState* before = m_document.GetState();
    m_document.AddHistoryStep("History/InstructionView_NewInstruction");
    m_document.RenameLastHistoryStep("History/Variables_VariablesChanged");
    EXPECT_EQ(m_document.GetUndoName(), "History/Variables_VariablesChanged");
    m_document.RemoveLastHistoryStep();
    EXPECT_EQ(m_document.GetState(), before);
    EXPECT_FALSE(m_document.CanUndo());
    EXPECT_FALSE(m_document.IsModified());

    m_document.AddHistoryStep("History/Text_Input");
    m_document.AddHistoryStep("History/Text_Paste");
    m_document.Undo();
    CState* current = m_document.GetState();
    m_document.RemoveLastHistoryStep();
    m_document.RenameLastHistoryStep("History/Trigger_ToCode");
    EXPECT_EQ(m_document.GetState(), current);
    EXPECT_EQ(m_document.GetUndoCount(), 1u);
    EXPECT_EQ(m_document.GetUndoName(), "History/Text_Input");
    EXPECT_EQ(m_document.GetRedoName(), "History/Text_Paste");
}

TEST_F(History, ActionsReceiveTheParameterAndOwnedParametersDieWithTheirStep)
{
    std::vector<std::string> calls;
    m_document.AddHistoryStep(
        "History/CatView_CreateCategory",
        [&](void* p) { calls.push_back("undo " + CategoryParam(p)->GetCategory()->GetName()); },
        [&](void* p) { calls.push_back("redo " + CategoryParam(p)->GetCategory()->GetName()); },
        static_cast<CHistoryParam*>(new CCategoryParam(new CCategory("New", &m_document.GetCategorySystem()), true)),
        true);
    m_document.OnEditUndo();
    m_document.OnEditRedo();
    EXPECT_EQ(calls, (std::vector<std::string>{"undo New", "redo New"}));

    // A plain parameter is freed as memory.
    void* plain = std::malloc(16);
    m_document.AddHistoryStep("History/Text_Input", nullptr, nullptr, plain, true);
    m_document.ClearHistory(); // leak checkers see that both parameters were freed
    EXPECT_EQ(m_document.GetState(), nullptr);
    EXPECT_FALSE(m_document.CanUndo());
}

TEST_F(History, ARedoStepThatOwnsACategoryDeletesItWhenDiscarded)
{
    struct Probe : CCategoryParam {
        Probe(CCategory* category, bool owns, bool& destroyed) : CCategoryParam(category, owns), destroyed(destroyed) {}
        ~Probe() override { destroyed = true; }
        bool& destroyed;
    };
    bool destroyed = false;
    CCategorySystem& categories = m_document.GetCategorySystem();
    CCategory* category = categories.AddCategory("Made");
    auto* param = new Probe(category, false, destroyed);
    // Undo of "create" takes the category out of the system; the parameter owns it meanwhile.
    m_document.AddHistoryStep(
        "History/CatView_CreateCategory",
        [&](void* p) {
            categories.RemoveCategory(CategoryParam(p)->GetCategory(), false).release();
            CategoryParam(p)->SetOwnsCategory(true);
        },
        [&](void* p) {
            categories.AddCategory(std::unique_ptr<CCategory>(CategoryParam(p)->GetCategory()));
            CategoryParam(p)->SetOwnsCategory(false);
        },
        static_cast<CHistoryParam*>(param), true);
    m_document.OnEditUndo();
    EXPECT_EQ(categories.GetCategoryCount(), 0u);
    EXPECT_FALSE(destroyed);
    // A new step discards the redo branch with its parameter and category.
    m_document.AddHistoryStep("History/Text_Input");
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(m_document.GetRedoCount(), 0u);
}

TEST_F(History, ViewsAreUpdatedAfterUndoAndRedo)
{
    int updates = 0;
    const int id = m_document.AddUpdateListener([&] { ++updates; });
    m_document.OnEditUndo(); // nothing to undo: no update
    EXPECT_EQ(updates, 0);
    m_document.AddHistoryStep("History/Text_Input");
    m_document.OnEditUndo();
    m_document.OnEditRedo();
    EXPECT_EQ(updates, 2);
    m_document.RemoveUpdateListener(id);
    m_document.UpdateAllViews();
    EXPECT_EQ(updates, 2);
}

TEST_F(History, SnapshotsAreIndependentCopies)
{
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    trigger->GetBlock(1)->AddChild(NewPrint("one"));
    m_document.AddHistoryStep("History/InstructionView_NewInstruction");
    m_document.GetState()->GetTrigger(0)->GetBlock(1)->AddChild(NewPrint("two"));
    m_document.AddHistoryStep("History/Trigger_EnabledChanged");
    m_document.GetState()->GetTrigger(0)->SetEnabled(false);
    m_document.Undo();
    m_document.Undo();
    EXPECT_EQ(m_document.GetState()->GetTrigger(0)->GetBlock(1)->GetChildCount(), 1u);
    EXPECT_TRUE(m_document.GetState()->GetTrigger(0)->IsEnabled());
    m_document.Redo();
    m_document.Redo();
    EXPECT_EQ(m_document.GetState()->GetTrigger(0)->GetBlock(1)->GetChildCount(), 2u);
    EXPECT_FALSE(m_document.GetState()->GetTrigger(0)->IsEnabled());
}

} // namespace
} // namespace bram::test
