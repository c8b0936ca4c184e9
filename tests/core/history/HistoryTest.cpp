// The undo history: snapshots, the saved marker, who destroys what, and
// random category, trigger, variable and instruction edits undone and redone
// to the byte, each file read back to the same bytes.

#include "../document/DocumentFixture.h"

#include "document/Clipboard.h"
#include "document/DocumentEdits.h"
#include "history/History.h"

#include <array>
#include <functional>
#include <map>
#include <random>

namespace bram::test {
namespace {

using History = DocumentTest;

// Every variable lists exactly the parameters of the state's triggers that
// hold it: what undo and redo put back must rejoin those lists.
::testing::AssertionResult UsersListsMatch(const CState& state)
{
    std::map<const CCodeBase*, std::size_t> held;
    const std::function<void(const CCodeBase*)> walk = [&](const CCodeBase* node) {
        for (std::size_t i = 0; i < node->GetParameterCount(); ++i) {
            const CCodeBase* value = node->GetParameter(i)->GetValue();
            if (value != nullptr && value->GetCodeType() == CodeTypeVariable) {
                ++held[value];
            } else if (value != nullptr && value->GetCodeType() != CodeTypeConstant) {
                walk(value);
            }
        }
        for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
            walk(node->GetChild(i));
        }
    };
    std::vector<const CVariableBase*> variables;
    for (std::size_t t = 0; t < state.GetTriggerCount(); ++t) {
        const CCodeTrigger* trigger = state.GetTrigger(t);
        for (std::size_t b = 0; b < trigger->GetBlockCount(); ++b) {
            walk(trigger->GetBlock(b));
        }
        for (const auto& local : trigger->GetLocals()) {
            variables.push_back(local.get());
        }
    }
    for (const auto& global : state.GetGlobals()) {
        variables.push_back(global.get());
    }
    for (std::size_t v = 0; v < state.GetTriggerVariableCount(); ++v) {
        variables.push_back(state.GetTriggerVariable(v));
    }
    std::size_t listed = 0;
    for (const CVariableBase* variable : variables) {
        listed += held[variable];
        if (variable->GetUserCount() != held[variable]) {
            return ::testing::AssertionFailure() << variable->GetText() << " lists " << variable->GetUserCount()
                                                 << " users, " << held[variable] << " hold it";
        }
    }
    std::size_t holding = 0;
    for (const auto& [variable, count] : held) {
        holding += count;
    }
    if (listed != holding) {
        return ::testing::AssertionFailure() << holding - listed << " parameters hold a variable of no list";
    }
    return ::testing::AssertionSuccess();
}

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

TEST_F(History, PastTheBudgetTheOldestStepsGoAndASavedPointWithThem)
{
    const std::uint32_t id = AddDocumentTrigger(m_document, "Main", "T")->GetId();
    std::vector<std::string> files{m_document.WriteDataFile()};
    const auto click = [&] {
        const CCodeTrigger* trigger = m_document.GetState()->FindTrigger(id);
        ASSERT_TRUE(SetTriggerEnabled(m_document, id, !trigger->IsEnabled()));
        files.push_back(m_document.WriteDataFile());
    };
    click();
    const std::size_t step = m_document.GetHistoryMemory();
    ASSERT_GT(step, 0u);
    m_document.SetHistoryBudget(3 * step + step / 2);
    CTempDir dir;
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    for (int i = 0; i < 4; ++i) {
        click();
    }
    EXPECT_EQ(m_document.GetUndoCount(), 3u) << "the newest steps within the budget";
    EXPECT_LE(m_document.GetHistoryMemory(), 3 * step + step / 2);
    while (m_document.CanUndo()) {
        m_document.Undo();
    }
    EXPECT_EQ(m_document.WriteDataFile(), files[2]);
    EXPECT_TRUE(m_document.IsModified()) << "the saved point went with the dropped steps";

    // A saved point that stays is still found after steps below it go.
    for (int i = 0; i < 3; ++i) {
        m_document.Redo();
    }
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    click();
    click();
    EXPECT_EQ(m_document.GetUndoCount(), 3u);
    m_document.Undo();
    m_document.Undo();
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_EQ(m_document.WriteDataFile(), files[5]);
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
    // Recording sets the redo branch aside; removing the last step takes it
    // back first and puts the branch back.
    history.Record("third", std::make_unique<Probe>(c));
    EXPECT_EQ(b, "u");
    EXPECT_FALSE(history.CanRedo());
    history.RemoveLast();
    EXPECT_EQ(c, "u~");
    EXPECT_EQ(history.GetRedoName(), "second");
    history.Record("fourth");
    history.Record("fifth");
    EXPECT_EQ(b, "u~") << "dropped once a step stays";
    history.Clear();
    EXPECT_EQ(a, "ur~");
}

TEST_F(History, AStepTakenBackLeavesTheRedoBranchAndTheSavedPointAsTheyWere)
{
    CTempDir dir;
    m_document.AddHistoryStep("History/Text_Input");
    m_document.AddHistoryStep("History/Text_Paste");
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    m_document.Undo();
    m_document.Undo();
    CState* current = m_document.GetState();
    // A refused edit or a cancelled dialog: recorded, then taken back.
    for (int i = 0; i < 2; ++i) {
        m_document.AddHistoryStep("History/Variables_VariablesChanged");
        EXPECT_EQ(m_document.GetRedoCount(), 0u);
        m_document.RemoveLastHistoryStep();
        EXPECT_EQ(m_document.GetState(), current);
        EXPECT_EQ(m_document.GetRedoName(), "History/Text_Input");
    }
    m_document.Redo();
    m_document.Redo();
    EXPECT_FALSE(m_document.IsModified()) << "the saved point lies on the branch again";

    // Saved with the step in place, no depth equals the file once it is taken back.
    m_document.AddHistoryStep("History/Text_Delete");
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    m_document.RemoveLastHistoryStep();
    EXPECT_EQ(m_document.GetSavedHistoryPoint(), -1);
    // A step kept (renamed) drops what it set aside.
    m_document.Undo();
    m_document.AddHistoryStep("History/InstructionView_NewInstruction");
    m_document.RenameLastHistoryStep("History/Variables_VariablesChanged");
    m_document.RemoveLastHistoryStep();
    EXPECT_FALSE(m_document.CanRedo());
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

// What the random edits make instructions and variables of.
struct Language {
    const CTypeInfo* number;
    const CTypeInfo* text;
    // set(<variable>, <a value of its type>), enabled.
    std::function<CCall*(CUserDefinedVariable*)> makeSet;
    // An empty if, for instructions to be dropped into.
    std::function<CCodeBase*()> makeIf;
};

// Random edits as the categories, comment and instruction views and the
// variables and instruction dialogs make them; after each the data file is
// kept, and undo and redo must give back every one of them byte for byte,
// also after redo branches were dropped. Variable names clash on purpose.
class RandomEdits {
public:
    RandomEdits(CApplicationDocument& document, Language language, unsigned seed)
        : m_document(document), m_language(std::move(language)), m_random(seed)
    {
    }

    static constexpr unsigned kKinds = 28;
    // Records a step and takes it back: never takes effect.
    static constexpr unsigned kCancelledDialog = 14;

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
        case 3: return Pick(2) == 0 && DeleteTrigger(m_document, entry);
        case 4: return RenameCategory(m_document, category, name);
        case 5: return RenameTrigger(m_document, entry, name + " !");
        case 6: return DropTriggerOnCategory(m_document, entry, category);
        case 7: return DropTriggerOnTrigger(m_document, entry, RandomEntry());
        case 8: return entry != nullptr && SetTriggerEnabled(m_document, entry->GetId(), Pick(2) == 0);
        case 9: {
            SelectTrigger(m_document, entry);
            const bool changes = GetFieldText(m_document, ETextField::Comment) != name;
            return SetFieldText(m_document, ETextField::Comment, name, "Input") && changes;
        }
        case 10:
            return EditVariables(entry, [this](CState& state, CState::GlobalList& list, CCodeTrigger* localsOf) {
                // Added as the variables dialog adds: refused under a name taken.
                static const char* const names[] = {"x", "y", "x!"};
                const std::string added = names[Pick(3)];
                if (IsVariableNameTaken(state, localsOf, added)) {
                    return false;
                }
                list.push_back(std::make_unique<CUserDefinedVariable>(added, RandomVariableType()));
                return true;
            });
        case 11:
        case 12:
            return EditVariables(entry, [this, kind](CState& state, CState::GlobalList& list, CCodeTrigger* localsOf) {
                if (list.empty()) {
                    return false;
                }
                const std::size_t index = Pick(list.size());
                std::unique_ptr<CUserDefinedVariable> out;
                if (kind == 11) {
                    out = std::move(list[index]);
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
                } else {
                    // A new type replaces the variable, as the dialog does.
                    const CTypeInfo* type =
                        list[index]->GetType() == m_language.number ? m_language.text : m_language.number;
                    out = std::exchange(list[index],
                                        std::make_unique<CUserDefinedVariable>(list[index]->GetName(), type));
                }
                // As the dialog disposes of what it took out: a global through the state.
                if (localsOf == nullptr) {
                    state.RetireGlobal(std::move(out));
                }
                return true;
            });
        case 13: return NewSet(entry);
        case 15: return NewSetOfANewGlobal(entry);
        case 16: {
            const CCodeBase* node = RandomInstruction(entry);
            return node != nullptr &&
                   (Pick(2) == 0 ? DeleteInstruction(m_document, node) : CutInstruction(m_document, node).has_value());
        }
        case 17: {
            // Most instructions wait for values (disabled for good); look a little.
            for (int tries = 0; tries < 8; ++tries) {
                const CCodeBase* node = RandomInstruction(tries == 0 ? entry : RandomEntry());
                if (node != nullptr && (node->IsEnabled() || node->IsComplete())) {
                    return SetInstructionEnabled(m_document, node, !node->IsEnabled());
                }
            }
            return false;
        }
        case 18: {
            const CTriggerEntry* busy = EntryWithInstructions();
            const CCodeBase* dragged = RandomInstruction(busy);
            const CCodeBase* target = Pick(3) == 0 ? RandomBlock(busy) : RandomInstruction(busy);
            return DropInstruction(m_document, dragged, target);
        }
        case 19: return PasteSomething(entry);
        case 20: return TypeARun(entry, name);
        // The edits of a selection of many, nested instructions and repeats included.
        case 21: {
            if (Pick(2) != 0) {
                return false;
            }
            const std::vector<const CCodeBase*> nodes = Some(NodesOf(EntryWithInstructions(), true));
            return Pick(2) == 0 ? DeleteInstructions(m_document, nodes)
                                : CutInstructions(m_document, nodes).has_value();
        }
        case 22: {
            // The flag the first one can change to: the others may be skipped.
            const std::vector<const CCodeBase*> nodes = Some(NodesOf(EntryWithInstructions(), true));
            const bool enabled = !nodes.empty() && !nodes.front()->IsEnabled();
            return SetInstructionsEnabled(m_document, nodes, enabled);
        }
        case 23: {
            const CTriggerEntry* busy = EntryWithInstructions();
            const CCodeBase* target = Pick(2) == 0 ? RandomBlock(busy) : RandomInstruction(busy);
            return DropInstructions(m_document, Some(NodesOf(busy, true)), target);
        }
        case 24:
            if (Pick(3) != 0) {
                return false;
            }
            return Pick(2) == 0 ? DeleteTriggers(m_document, Some(AllEntries()))
                                : CutTriggers(m_document, Some(AllEntries())).has_value();
        case 25: {
            std::vector<std::uint32_t> ids;
            for (const CTriggerEntry* selected : Some(AllEntries())) {
                ids.push_back(selected->GetId());
            }
            return SetTriggersEnabled(m_document, ids, Pick(2) == 0);
        }
        case 26: return MoveTriggers(m_document, Some(AllEntries()), category);
        case 27:
            return EditVariables(entry, [this](CState& state, CState::GlobalList& list, CCodeTrigger* localsOf) {
                // Renamed in place, as the dialog renames.
                const std::string renamed = "r" + std::to_string(Pick(4));
                if (list.empty() || IsVariableNameTaken(state, localsOf, renamed)) {
                    return false;
                }
                list[Pick(list.size())]->SetName(renamed);
                return true;
            });
        default: {
            SelectTrigger(m_document, entry);
            if (!BeginNewInstruction(m_document, 1)) {
                return false;
            }
            CancelInstructionDialog(m_document, false);
            return false;
        }
        }
    }

    // The dialog's variables dialog adds a global (it may also be cancelled,
    // the step then kept for the variable) and a set of it is placed.
    bool NewSetOfANewGlobal(const CTriggerEntry* entry)
    {
        SelectTrigger(m_document, entry);
        if (!BeginNewInstruction(m_document, Pick(2))) {
            return false;
        }
        CState* state = m_document.GetState();
        const std::string name = "g" + std::to_string(Pick(5));
        if (IsVariableNameTaken(*state, nullptr, name)) {
            CancelInstructionDialog(m_document, false);
            return false;
        }
        // Now and then its variables dialog deletes a global first.
        if (Pick(3) == 0 && state->GetGlobalCount() > 0) {
            auto& globals = state->GetGlobals();
            const auto deleted = globals.begin() + static_cast<std::ptrdiff_t>(Pick(globals.size()));
            std::unique_ptr<CUserDefinedVariable> out = std::move(*deleted);
            globals.erase(deleted);
            state->RetireGlobal(std::move(out));
        }
        state->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>(name, RandomVariableType()));
        if (Pick(3) == 0) {
            CancelInstructionDialog(m_document, true);
            return true;
        }
        return PlaceNewInstruction(m_document, 1,
                                   std::unique_ptr<CCodeBase>(m_language.makeSet(state->GetGlobals().back().get())));
    }

    // A copied or cut instruction or trigger pasted onto a node or a category;
    // an if now and then, as a fragment of its own, to drop into.
    bool PasteSomething(const CTriggerEntry* entry)
    {
        SelectTrigger(m_document, entry);
        const CCodeBase* node = RandomInstruction(entry);
        if (Pick(3) == 0 && entry != nullptr) {
            auto copied = Pick(2) == 0 ? CopyTrigger(m_document, entry) : CopyTriggers(m_document, Some(AllEntries()));
            if (copied) {
                m_fragment = copied->fragment;
            }
        } else if (node != nullptr && Pick(2) == 0) {
            auto copied = Pick(2) == 0 ? CopyInstruction(m_document, node)
                                       : CopyInstructions(m_document, Some(NodesOf(entry, true)));
            if (copied) {
                m_fragment = copied->fragment;
            }
        } else if (entry != nullptr) {
            const CCodeTrigger* trigger = m_document.GetState()->GetCurrentTrigger();
            if (trigger == nullptr || trigger->IsCode() || !BeginNewInstruction(m_document, 1)) {
                return false;
            }
            return PlaceNewInstruction(m_document, 1, std::unique_ptr<CCodeBase>(m_language.makeIf()));
        }
        if (m_fragment.empty()) {
            return false;
        }
        const CCodeBase* target = Pick(2) == 0 ? RandomBlock(entry) : node;
        return Paste(m_document, m_fragment, {.category = RandomCategory(), .node = target}).result ==
               EPasteResult::Pasted;
    }

    // A run of typing in a comment or the preamble (no trigger), the header or
    // a trigger's code: its first key records the step, the others join it.
    bool TypeARun(const CTriggerEntry* entry, const std::string& text)
    {
        SelectTrigger(m_document, entry);
        const ETextField field = Pick(4) == 0 ? ETextField::Code : ETextField::Comment;
        const std::string typed = text + "+" + std::to_string(Pick(1000));
        if (!HasTextField(m_document, field) || GetFieldText(m_document, field) == typed) {
            return false;
        }
        SetFieldText(m_document, field, typed, "Input");
        return SetFieldText(m_document, field, typed + "!", "");
    }

    // Any placed instruction of the entry's trigger, nested ones included.
    const CCodeBase* RandomInstruction(const CTriggerEntry* entry)
    {
        std::vector<const CCodeBase*> nodes = NodesOf(entry, true);
        return nodes.empty() ? nullptr : nodes[Pick(nodes.size())];
    }
    const CCodeBase* RandomBlock(const CTriggerEntry* entry)
    {
        std::vector<const CCodeBase*> nodes = NodesOf(entry, false);
        return nodes.empty() ? nullptr : nodes[Pick(nodes.size())];
    }
    std::vector<const CCodeBase*> NodesOf(const CTriggerEntry* entry, bool instructions) const
    {
        std::vector<const CCodeBase*> nodes;
        const CCodeTrigger* trigger = entry != nullptr ? m_document.GetState()->FindTrigger(entry->GetId()) : nullptr;
        const std::function<void(const CCodeBase*)> walk = [&](const CCodeBase* node) {
            if ((node->GetCodeType() == CodeTypeBlock) != instructions) {
                nodes.push_back(node);
            }
            for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
                walk(node->GetChild(i));
            }
        };
        for (std::size_t b = 0; trigger != nullptr && b < trigger->GetBlockCount(); ++b) {
            walk(trigger->GetBlock(b));
        }
        return nodes;
    }

    // One to three of them, picked at random (a repeat now and then).
    template <typename T>
    std::vector<T> Some(const std::vector<T>& all)
    {
        std::vector<T> picked;
        for (std::size_t n = all.empty() ? 0 : 1 + Pick(3); n > 0; --n) {
            picked.push_back(all[Pick(all.size())]);
        }
        return picked;
    }
    // Most triggers hold no instructions: look a little for one that does.
    const CTriggerEntry* EntryWithInstructions()
    {
        const CTriggerEntry* entry = nullptr;
        for (int tries = 0; tries < 8 && NodesOf(entry, true).empty(); ++tries) {
            entry = RandomEntry();
        }
        return entry;
    }
    std::vector<CTriggerEntry*> AllEntries() const
    {
        std::vector<CTriggerEntry*> entries;
        const CCategorySystem& categories = m_document.GetCategorySystem();
        for (std::size_t c = 0; c < categories.GetCategoryCount(); ++c) {
            for (std::size_t i = 0; i < categories.GetCategory(c)->GetTriggerCount(); ++i) {
                entries.push_back(categories.GetCategory(c)->GetTrigger(i));
            }
        }
        return entries;
    }

    const CTypeInfo* RandomVariableType() { return Pick(2) == 0 ? m_language.number : m_language.text; }

    // The variables dialog on the globals, or on the locals of the entry's
    // trigger; cancelled when the edit is refused.
    template <typename Edit>
    bool EditVariables(const CTriggerEntry* entry, Edit edit)
    {
        const bool locals = entry != nullptr && Pick(2) == 0;
        SelectTrigger(m_document, entry);
        CState* state = BeginEditVariables(m_document, locals);
        if (state == nullptr) {
            return false;
        }
        CCodeTrigger* trigger = locals ? state->GetCurrentTrigger() : nullptr;
        const bool done = edit(*state, locals ? trigger->GetLocals() : state->GetGlobals(), trigger);
        EndEditVariables(m_document, done);
        return done;
    }

    // The instruction dialog's new set of a local or global, placed in the actions.
    bool NewSet(const CTriggerEntry* entry)
    {
        SelectTrigger(m_document, entry);
        const CState* before = m_document.GetState();
        const CCodeTrigger* trigger = before != nullptr ? before->GetCurrentTrigger() : nullptr;
        if (trigger == nullptr || trigger->GetLocalCount() + before->GetGlobalCount() == 0 ||
            !BeginNewInstruction(m_document, 1)) {
            return false;
        }
        // The step made a new state: the variable is taken from it.
        CState* state = m_document.GetState();
        CCodeTrigger* current = state->GetCurrentTrigger();
        const std::size_t index = Pick(current->GetLocalCount() + state->GetGlobalCount());
        CUserDefinedVariable* variable = index < current->GetLocalCount()
                                             ? current->GetLocal(index)
                                             : state->GetGlobal(index - current->GetLocalCount());
        return PlaceNewInstruction(m_document, 1, std::unique_ptr<CCodeBase>(m_language.makeSet(variable)));
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
    Language m_language;
    std::mt19937 m_random;
    std::array<unsigned, kKinds> m_done{};
    std::string m_fragment;
};

TEST_F(History, RandomEditsUndoAndRedoToTheSameFileAtEveryDepth)
{
    const Language language{
        Type("number"), Type("string"),
        [this](CUserDefinedVariable* variable) {
            const bool number = variable->GetType() == Type("number");
            return NewCallOf("set", {variable, number ? static_cast<CCodeBase*>(NewNumber(1)) : NewString("s")});
        },
        [this] { return NewStructure("if"); }};
    RandomEdits edits(m_document, language, 20240611);
    std::vector<std::string> files{m_document.WriteDataFile()};
    unsigned refusedWithRedo = 0;
    for (int round = 0; round < 4000; ++round) {
        if (edits.Pick(10) == 0) {
            // Go back a little; the next edit that takes effect drops the redo branch.
            for (unsigned n = edits.Pick(4); n > 0 && m_document.CanUndo(); --n) {
                m_document.Undo();
                files.pop_back();
                ASSERT_EQ(m_document.WriteDataFile(), files.back()) << "undo in round " << round;
                ASSERT_TRUE(UsersListsMatch(*m_document.GetState())) << "undo in round " << round;
            }
        }
        const std::size_t redo = m_document.GetRedoCount();
        if (edits.Step()) {
            files.push_back(m_document.WriteDataFile());
            ASSERT_TRUE(ReadsBackTheSame(m_document)) << "round " << round;
            ASSERT_TRUE(UsersListsMatch(*m_document.GetState())) << "round " << round;
        } else {
            // A refused edit or a cancelled dialog changes nothing, the redo branch included.
            ASSERT_EQ(m_document.GetRedoCount(), redo) << "round " << round;
            ASSERT_EQ(m_document.WriteDataFile(), files.back()) << "round " << round;
            refusedWithRedo += redo > 0 ? 1 : 0;
        }
        ASSERT_EQ(m_document.GetUndoCount() + 1, files.size()) << "every edit records one step; round " << round;
    }
    for (unsigned kind = 0; kind < RandomEdits::kKinds; ++kind) {
        if (kind != RandomEdits::kCancelledDialog) {
            EXPECT_GE(edits.Done()[kind], 10u) << "edit kind " << kind << " hardly ever took effect";
        }
    }
    EXPECT_GE(refusedWithRedo, 20u);
    for (std::size_t depth = files.size() - 1; depth > 0; --depth) {
        m_document.Undo();
        ASSERT_EQ(m_document.WriteDataFile(), files[depth - 1]) << "undo to depth " << depth - 1;
        ASSERT_TRUE(UsersListsMatch(*m_document.GetState())) << "undo to depth " << depth - 1;
    }
    EXPECT_FALSE(m_document.IsModified());
    for (std::size_t depth = 1; depth < files.size(); ++depth) {
        m_document.Redo();
        ASSERT_EQ(m_document.WriteDataFile(), files[depth]) << "redo to depth " << depth;
        ASSERT_TRUE(UsersListsMatch(*m_document.GetState())) << "redo to depth " << depth;
    }
}

} // namespace
} // namespace bram::test
