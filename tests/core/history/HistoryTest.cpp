// The undo history: snapshots, the saved marker, who destroys what, and
// random category and trigger edits undone and redone to the byte.

#include "../document/DocumentFixture.h"

#include "document/DocumentEdits.h"
#include "history/History.h"

#include <array>
#include <random>

namespace bram::test {
namespace {

using History = DocumentTest;

TEST_F(History, RecordingCopiesTheStateAndUndoRedoSwitchBetweenSnapshots)
{
    CState* original = m_document.GetState();
    AddDocumentTrigger(m_document, "Main", "T")->GetBlock(1)->AddChild(NewPrint("one"));
    m_document.AddHistoryStep("History/InstructionView_NewInstruction");
    CState* copy = m_document.GetState();
    ASSERT_NE(copy, original);
    copy->GetTrigger(0)->GetBlock(1)->AddChild(NewPrint("two"));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_NewInstruction");
    EXPECT_EQ(m_document.GetRedoName(), "");

    m_document.Undo();
    EXPECT_EQ(m_document.GetState(), original);
    EXPECT_EQ(original->GetTrigger(0)->GetBlock(1)->GetChildCount(), 1u) << "the snapshot is a copy";
    EXPECT_EQ(m_document.GetUndoName(), "");
    EXPECT_EQ(m_document.GetRedoName(), "History/InstructionView_NewInstruction");
    m_document.Redo();
    EXPECT_EQ(m_document.GetState(), copy);
    EXPECT_EQ(copy->GetTrigger(0)->GetBlock(1)->GetChildCount(), 2u);
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
    EXPECT_EQ(m_document.GetUndoName(), "History/Text_Input");
    EXPECT_EQ(m_document.GetRedoName(), "History/Text_Paste");
}

// A parameter that logs what happens to it.
struct Probe : CHistoryParam {
    explicit Probe(std::string& log) : log(log) {}
    ~Probe() override { log += "~"; }
    void Undo() override { log += "u"; }
    void Redo() override { log += "r"; }
    std::string& log;
};

TEST(HistoryWithoutState, StepsAreTheirParameterAndDieWithIt)
{
    // The variables dialog's form: no snapshots, only parameters.
    std::string a, b, c;
    CHistory history;
    history.Record("first", std::make_unique<Probe>(a));
    history.Record("second", std::make_unique<Probe>(b));
    history.Undo();
    history.Undo();
    history.Redo();
    EXPECT_EQ(history.GetState(), nullptr);
    EXPECT_EQ(history.GetUndoNames(), std::vector<std::string>{"first"});
    // Recording drops the redo branch; removing the last step takes it back first.
    history.Record("third", std::make_unique<Probe>(c));
    EXPECT_EQ(b, "u~");
    history.RemoveLast();
    EXPECT_EQ(c, "u~");
    history.Clear();
    EXPECT_EQ(a, "ur~");
}

TEST_F(History, AViewIsNotToldOfItsOwnChange)
{
    int tree = 0, comment = 0;
    int view = 0; // any address names the view
    m_document.AddUpdateListener(&view, [&] { ++tree; });
    const int id = m_document.AddUpdateListener([&] { ++comment; });
    m_document.UpdateAllViews(&view);
    EXPECT_EQ(tree, 0);
    EXPECT_EQ(comment, 1);
    m_document.OnEditUndo(); // nothing to undo: no update
    m_document.AddHistoryStep("History/Text_Input");
    m_document.OnEditUndo();
    m_document.OnEditRedo();
    EXPECT_EQ(tree, 2);
    m_document.RemoveUpdateListener(id);
    m_document.UpdateAllViews();
    EXPECT_EQ(comment, 3);
    EXPECT_EQ(tree, 3);
}

TEST_F(History, UndoAfterDeletingAnEarlierCategoryUsesNoStaleCategory)
{
    // With category indexes in the steps this ended in a use after free.
    CCategory* first = CreateCategory(m_document);
    CCategory* second = CreateCategory(m_document);
    ASSERT_NE(CreateTrigger(m_document, second), nullptr);
    ASSERT_TRUE(DeleteCategory(m_document, first));
    m_document.Undo();
    m_document.Undo();
    EXPECT_EQ(m_document.GetCategorySystem().GetCategory(0), first) << "put back at its old place";
    EXPECT_EQ(second->GetTriggerCount(), 0u);
    ASSERT_NE(CreateTrigger(m_document, first), nullptr);
    m_document.Undo();
    m_document.Redo();
    EXPECT_EQ(first->GetTriggerCount(), 1u);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 1u);
}

// Random category and trigger edits as the categories and comment views make
// them; after each the data file is kept, and undo and redo must give back
// every one of them byte for byte, also after redo branches were dropped.
class RandomEdits {
public:
    RandomEdits(CApplicationDocument& document, unsigned seed) : m_document(document), m_random(seed) {}

    static constexpr unsigned kKinds = 10;

    bool Step()
    {
        const unsigned kind = Pick(kKinds);
        const bool done = Apply(kind);
        m_done[kind] += done ? 1 : 0;
        return done;
    }

    // How often each kind of edit took effect.
    const std::array<unsigned, kKinds>& Done() const { return m_done; }

    unsigned Pick(std::size_t n) { return static_cast<unsigned>(m_random() % n); }

private:
    bool Apply(unsigned kind)
    {
        CCategory* category = RandomCategory();
        CTriggerEntry* entry = RandomEntry();
        const std::string name = "N" + std::to_string(Pick(6));
        switch (kind) {
        case 0: return CreateCategory(m_document) != nullptr;
        case 1: return CreateTrigger(m_document, category) != nullptr;
        case 2: return Pick(3) == 0 && DeleteCategory(m_document, category);
        case 3: return DeleteTrigger(m_document, entry);
        case 4: return RenameCategory(m_document, category, name);
        case 5: return RenameTrigger(m_document, entry, name + " !");
        case 6: return DropTriggerOnCategory(m_document, entry, category);
        case 7: return DropTriggerOnTrigger(m_document, entry, RandomEntry());
        case 8: return entry != nullptr && SetTriggerEnabled(m_document, entry->GetId(), Pick(2) == 0);
        default: {
            SelectTrigger(m_document, entry);
            const bool changes = GetFieldText(m_document, ETextField::Comment) != name;
            return SetFieldText(m_document, ETextField::Comment, name, "Input") && changes;
        }
        }
    }

    CCategory* RandomCategory()
    {
        const CCategorySystem& categories = m_document.GetCategorySystem();
        const std::size_t count = categories.GetCategoryCount();
        return count == 0 ? nullptr : categories.GetCategory(Pick(count));
    }

    CTriggerEntry* RandomEntry()
    {
        CCategory* category = RandomCategory();
        const std::size_t count = category != nullptr ? category->GetTriggerCount() : 0;
        return count == 0 ? nullptr : category->GetTrigger(Pick(count));
    }

    CApplicationDocument& m_document;
    std::mt19937 m_random;
    std::array<unsigned, kKinds> m_done{};
};

TEST_F(History, RandomEditsUndoAndRedoToTheSameFileAtEveryDepth)
{
    RandomEdits edits(m_document, 20240611);
    std::vector<std::string> files{m_document.WriteDataFile()};
    for (int round = 0; round < 2000; ++round) {
        if (edits.Pick(10) == 0) {
            // Go back a little; the next edit drops the redo branch.
            for (unsigned n = edits.Pick(4); n > 0 && m_document.CanUndo(); --n) {
                m_document.Undo();
                files.pop_back();
                ASSERT_EQ(m_document.WriteDataFile(), files.back()) << "undo in round " << round;
            }
        }
        if (edits.Step()) {
            files.push_back(m_document.WriteDataFile());
        }
        ASSERT_EQ(m_document.GetUndoCount() + 1, files.size()) << "every edit records one step; round " << round;
    }
    for (unsigned kind = 0; kind < RandomEdits::kKinds; ++kind) {
        EXPECT_GE(edits.Done()[kind], 10u) << "edit kind " << kind << " hardly ever took effect";
    }
    for (std::size_t depth = files.size() - 1; depth > 0; --depth) {
        m_document.Undo();
        ASSERT_EQ(m_document.WriteDataFile(), files[depth - 1]) << "undo to depth " << depth - 1;
    }
    EXPECT_FALSE(m_document.IsModified());
    for (std::size_t depth = 1; depth < files.size(); ++depth) {
        m_document.Redo();
        ASSERT_EQ(m_document.WriteDataFile(), files[depth]) << "redo to depth " << depth;
    }
}

} // namespace
} // namespace bram::test
