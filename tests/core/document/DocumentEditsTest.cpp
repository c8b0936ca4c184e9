// The edits of the views and the main frame: what each changes, the step it
// records, what it refuses, and that undo brings everything back (for the
// category and trigger edits also History.RandomEditsUndoAndRedoToTheSameFileAtEveryDepth).

#include "DocumentFixture.h"

#include "document/DocumentEdits.h"
#include "history/StepName.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

#include <algorithm>

namespace bram::test {
namespace {

class DocumentEdits : public DocumentTest {
protected:
    CCategorySystem& Categories() { return m_document.GetCategorySystem(); }
    CState& State() { return *m_document.GetState(); }

    // The entry names of a category, in order.
    static std::string Names(const CCategory* category)
    {
        std::string out;
        for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
            out += (i > 0 ? " " : "") + category->GetTrigger(i)->GetName();
        }
        return out;
    }

    // A block as its prints' texts, structures as "if(...)".
    static std::string Shape(const CCodeBase* node)
    {
        if (node->GetCodeType() == CodeTypeCall) {
            std::string text = node->GetParameter(0)->GetValue()->GetText();
            std::erase(text, '\'');
            return text;
        }
        std::string out;
        for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
            out += (i > 0 ? " " : "") + Shape(node->GetChild(i));
        }
        return node->GetCodeType() == CodeTypeStructure ? "if(" + out + ")" : out;
    }

    // Trigger T, current, with actions: a if(b) c.
    CCodeTrigger* MakeCurrentTrigger()
    {
        CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
        CBlock* actions = trigger->GetBlock(1);
        actions->AddChild(NewPrint("a"));
        CStructure* branch = NewStructure("if");
        branch->GetChild(0)->AddChild(NewPrint("b"));
        actions->AddChild(branch);
        actions->AddChild(NewPrint("c"));
        State().SetCurrentTrigger(static_cast<int>(trigger->GetId()));
        return trigger;
    }
    std::string Actions() { return Shape(State().GetCurrentTrigger()->GetBlock(1)); }
    // The print of that text in the current trigger's actions, nested ones included.
    const CCodeBase* Print(const std::string& text)
    {
        const CCodeBase* found = nullptr;
        const auto walk = [&](const auto& self, const CCodeBase* node) -> void {
            for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
                const CCodeBase* child = node->GetChild(i);
                if (child->GetCodeType() == CodeTypeCall && Shape(child) == text) {
                    found = child;
                }
                self(self, child);
            }
        };
        walk(walk, State().GetCurrentTrigger()->GetBlock(1));
        return found;
    }
    CCodeBase* Action(std::size_t index) { return State().GetCurrentTrigger()->GetBlock(1)->GetChild(index); }
};

TEST_F(DocumentEdits, NewNamesAreTheFirstFreeNumberedLocalizedNames)
{
    SetLocalizationPath(BRAMBLETON_EXAMPLES_SOURCE_DIR "/Localization");
    SetLanguage("de");
    CreateCategory(m_document);
    CCategory* second = CreateCategory(m_document);
    CreateCategory(m_document);
    EXPECT_EQ(second->GetName(), "Kategorie 2");
    ASSERT_TRUE(RenameCategory(m_document, second, "Other"));
    EXPECT_EQ(CreateCategory(m_document)->GetName(), "Kategorie 2") << "the gap is filled";

    // Trigger names are normalized ("Auslöser"), and unique in all categories.
    CTriggerEntry* first = CreateTrigger(m_document, second);
    EXPECT_EQ(first->GetName(), "Ausloeser1");
    EXPECT_EQ(CreateTrigger(m_document, Categories().GetCategory(0))->GetName(), "Ausloeser2");
    ASSERT_TRUE(DeleteTrigger(m_document, first));
    EXPECT_EQ(CreateTrigger(m_document, second)->GetName(), "Ausloeser1");
    EXPECT_EQ(State().GetTriggerCount(), 2u);
    EXPECT_EQ(m_document.GetUndoName(), "History/CatView_CreateTrigger");
}

TEST_F(DocumentEdits, DeletingACategoryWithItsTriggersIsOneUndo)
{
    CCodeTrigger* kept = AddDocumentTrigger(m_document, "Kept", "K");
    CCodeTrigger* gone = MakeCurrentTrigger();
    gone->SetComment("note");
    gone->SetEnabledAtBeginning(false);
    AddDocumentTrigger(m_document, "Main", "U")->SetEnabled(false);
    // K refers to T: deleting T empties that parameter.
    CTriggerVariable* variable = State().GetTriggerVariable(2);
    ASSERT_EQ(variable->GetTrigger(), gone);
    kept->GetBlock(1)->AddChild(NewCallOf("enable", {variable}));
    const std::string before = m_document.WriteDataFile();

    ASSERT_TRUE(DeleteCategory(m_document, Categories().FindCategory("Main")));
    EXPECT_EQ(m_document.GetUndoName(), "History/CatView_DeleteCategory");
    EXPECT_EQ(State().GetTriggerCount(), 1u);
    EXPECT_EQ(State().GetCurrentTrigger(), nullptr);
    EXPECT_FALSE(State().GetTrigger(0)->GetBlock(1)->GetChild(0)->IsComplete());
    const std::string after = m_document.WriteDataFile();

    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), before) << "triggers, instructions, comment, flags and order are back";
    EXPECT_FALSE(m_document.IsModified());
    m_document.Redo();
    EXPECT_EQ(m_document.WriteDataFile(), after);
    EXPECT_FALSE(Categories().HasTrigger("T"));
}

TEST_F(DocumentEdits, RenamesRefuseEmptyAndTakenNamesSilently)
{
    AddDocumentTrigger(m_document, "Main", "Other");
    AddDocumentTrigger(m_document, "Second", "T");
    CTriggerEntry* entry = Categories().FindTrigger("T").entry;
    CCategory* main = Categories().FindCategory("Main");
    ASSERT_NE(entry, nullptr);

    for (const char* refused : {"!!!", "", "Other", "T", "T?"}) {
        EXPECT_FALSE(RenameTrigger(m_document, entry, refused)) << refused;
    }
    for (const char* refused : {"", "Main", "Second"}) {
        EXPECT_FALSE(RenameCategory(m_document, main, refused)) << refused;
    }
    EXPECT_EQ(m_document.GetUndoCount(), 0u) << "a refusal records nothing";

    ASSERT_TRUE(RenameTrigger(m_document, entry, "Start Game!"));
    EXPECT_EQ(entry->GetName(), "Start_Game");
    ASSERT_TRUE(RenameCategory(m_document, main, "main"));
    EXPECT_EQ(m_document.GetUndoName(), "History/CatView_RenameCategory");
}

TEST_F(DocumentEdits, TriggersMoveOnlyBetweenCategories)
{
    for (const char* name : {"a1", "a2"}) {
        AddDocumentTrigger(m_document, "A", name);
    }
    for (const char* name : {"b1", "b2"}) {
        AddDocumentTrigger(m_document, "B", name);
    }
    CCategory* a = Categories().FindCategory("A");
    CCategory* b = Categories().FindCategory("B");
    auto entry = [&](const char* name) { return Categories().FindTrigger(name).entry; };

    EXPECT_FALSE(DropTriggerOnTrigger(m_document, entry("a1"), entry("a2"))) << "no reordering";
    EXPECT_FALSE(DropTriggerOnCategory(m_document, entry("a1"), a));
    EXPECT_FALSE(DropTriggerOnTrigger(m_document, entry("a1"), entry("a1")));
    EXPECT_EQ(m_document.GetUndoCount(), 0u);

    ASSERT_TRUE(DropTriggerOnCategory(m_document, entry("a1"), b));
    EXPECT_EQ(Names(b), "b1 b2 a1");
    ASSERT_TRUE(DropTriggerOnTrigger(m_document, entry("a2"), entry("b2")));
    EXPECT_EQ(Names(b), "b1 a2 b2 a1") << "takes the target's place";
    EXPECT_EQ(m_document.GetUndoName(), "History/CatView_DragDropTrigger");
}

TEST_F(DocumentEdits, FlagsAndTextsRecordOneStepEach)
{
    const std::uint32_t id = MakeCurrentTrigger()->GetId();
    EXPECT_FALSE(SetTriggerEnabled(m_document, id, true)) << "unchanged";
    ASSERT_TRUE(SetTriggerEnabled(m_document, id, false));
    ASSERT_TRUE(SetTriggerEnabledAtBeginning(m_document, id, false));
    EXPECT_EQ(m_document.GetUndoName(), "History/Trigger_EnabledAtBeginningChanged");
    m_document.Undo();
    EXPECT_TRUE(State().FindTrigger(id)->IsEnabledAtBeginning());
    EXPECT_FALSE(State().FindTrigger(id)->IsEnabled());

    // With a current trigger the comment field is its comment; its code field
    // is there only once it is code (text there would discard its instructions).
    EXPECT_FALSE(SetFieldText(m_document, ETextField::Code, "x", "Input"));
    ASSERT_TRUE(SetFieldText(m_document, ETextField::Comment, "n", "Input"));
    ASSERT_TRUE(SetFieldText(m_document, ETextField::Comment, "no", ""));
    ASSERT_TRUE(SetFieldText(m_document, ETextField::Comment, "n", "Delete"));
    EXPECT_EQ(m_document.GetUndoName(), "History/Text_Delete");
    m_document.Undo();
    EXPECT_EQ(State().GetCurrentTrigger()->GetComment(), "no");
    m_document.Undo();
    EXPECT_EQ(State().GetCurrentTrigger()->GetComment(), "") << "the typing run was one step";

    ASSERT_TRUE(ConvertCurrentTriggerToCode(m_document));
    EXPECT_FALSE(ConvertCurrentTriggerToCode(m_document));
    EXPECT_EQ(GetFieldText(m_document, ETextField::Code), State().GetCurrentTrigger()->GetCodeText());
    ASSERT_TRUE(SetFieldText(m_document, ETextField::Code, "custom", "Paste"));
    EXPECT_EQ(State().GetCurrentTrigger()->GetCodeText(), "custom");

    // Without a current trigger: the preamble and the header. A typing run
    // does not run on past a save: that change would not count as one.
    SelectTrigger(m_document, nullptr);
    CTempDir dir;
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    const std::size_t steps = m_document.GetUndoCount();
    ASSERT_TRUE(SetFieldText(m_document, ETextField::Code, "header", ""));
    EXPECT_EQ(m_document.GetUndoCount(), steps + 1);
    EXPECT_TRUE(m_document.IsModified());
    EXPECT_EQ(State().GetHeader(), "header");
    EXPECT_EQ(GetFieldText(m_document, ETextField::Comment), State().GetPreamble());
}

// valid.bdf sets "count" to a call and compares it with a number; both
// values take their type from "count". Losing it (deleted or retyped, as the
// variables dialog does once it keeps the change) must take them along: a file
// cannot name the type of a value whose variable is gone.
TEST_F(DocumentEdits, AVariableLostByItsUsersTakesTheValuesTypedByItAlong)
{
    // As the dialog takes a global out: through the state, which lets the step keep it.
    const std::pair<const char*, void (*)(CState&, const CTypeInfo*)> losses[] = {
        {"deleted",
         [](CState& state, const CTypeInfo*) {
             std::unique_ptr<CUserDefinedVariable> out = std::move(state.GetGlobals().front());
             state.GetGlobals().clear();
             state.RetireGlobal(std::move(out));
         }},
        {"retyped",
         [](CState& state, const CTypeInfo* text) {
             auto& global = state.GetGlobals().front();
             state.RetireGlobal(std::exchange(global, std::make_unique<CUserDefinedVariable>(global->GetName(), text)));
         }},
    };
    for (const auto& [name, lose] : losses) {
        SCOPED_TRACE(name);
        m_document.DeleteContents();
        m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
        const std::string before = m_document.WriteDataFile();
        lose(*BeginEditVariables(m_document, false), Type("string"));
        EndEditVariables(m_document, true);
        const CCodeBase* actions = State().GetTrigger(0)->GetBlock(1);
        const CCodeBase* set = actions->GetChild(2);
        const CCodeBase* compare = actions->GetChild(3)->GetParameter(0)->GetValue();
        EXPECT_EQ(set->GetParameter(1)->GetValue(), nullptr);
        EXPECT_EQ(compare->GetParameter(2)->GetValue(), nullptr);
        EXPECT_FALSE(set->IsEnabled());
        EXPECT_TRUE(ReadsBackTheSame(m_document));
        const std::string after = m_document.WriteDataFile();
        m_document.Undo();
        EXPECT_EQ(m_document.WriteDataFile(), before);
        m_document.Redo();
        EXPECT_EQ(m_document.WriteDataFile(), after);
    }
}

// The variables dialog's step keeps the globals' list and, of the triggers,
// only those whose parameters a deleted or retyped global empties.
TEST_F(DocumentEdits, AGlobalRenamedOrRetypedCostsItsUsersNotTheDocument)
{
    State().GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("g", Type("number")));
    CUserDefinedVariable* g = State().GetGlobal(0);
    std::vector<std::uint32_t> users;
    for (int i = 0; i < 60; ++i) {
        CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T" + std::to_string(i));
        for (int k = 0; k < 20; ++k) {
            trigger->GetBlock(1)->AddChild(NewPrint("p" + std::to_string(k)));
        }
        if (i % 20 == 3) {
            trigger->GetBlock(1)->AddChild(NewCallOf("set", {g, NewNumber(1)}));
            users.push_back(trigger->GetId());
        }
    }
    const std::string before = m_document.WriteDataFile();
    const std::size_t document = State().EstimateSize();
    std::size_t usersSize = 0;
    for (const std::uint32_t id : users) {
        usersSize += State().FindTrigger(id)->EstimateSize();
    }

    CChangeReport report;
    m_document.AddChangeListener(nullptr, [&report](const CChangeReport& r) { report = r; });
    BeginEditVariables(m_document, false)->GetGlobal(0)->SetName("h");
    EndEditVariables(m_document, true);
    EXPECT_TRUE(report.Has(EChangeKind::Variables));
    EXPECT_FALSE(report.Has(EChangeKind::Instructions)) << "a rename changes no trigger";
    EXPECT_LT(m_document.GetHistoryMemory(), 2048u);
    const std::string renamed = m_document.WriteDataFile();

    CState* state = BeginEditVariables(m_document, false);
    auto& global = state->GetGlobals().front();
    state->RetireGlobal(std::exchange(global, std::make_unique<CUserDefinedVariable>("h", Type("string"))));
    EndEditVariables(m_document, true);
    for (const std::uint32_t id : users) {
        EXPECT_TRUE(report.Has({EChangeKind::Instructions, nullptr, id}));
    }
    const std::size_t retype = m_document.GetHistoryMemory();
    EXPECT_LT(retype, 2 * usersSize + 4096);
    EXPECT_LT(retype, document / 4);
    const std::string retyped = m_document.WriteDataFile();
    EXPECT_NE(retyped, renamed);

    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), renamed);
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), before);
    m_document.Redo();
    m_document.Redo();
    EXPECT_EQ(m_document.WriteDataFile(), retyped);
}

TEST_F(DocumentEdits, TheVariablesDialogStepIsTakenBackWhenCancelled)
{
    int updates = 0;
    m_document.AddUpdateListener([&] { ++updates; });
    EXPECT_EQ(BeginEditVariables(m_document, true), nullptr) << "no current trigger: no locals";
    EXPECT_EQ(m_document.GetUndoCount(), 0u);
    CState* edited = BeginEditVariables(m_document, false);
    EXPECT_EQ(edited, m_document.GetState());
    EndEditVariables(m_document, false);
    EXPECT_EQ(m_document.GetUndoCount(), 0u);
    EXPECT_FALSE(m_document.IsModified());
    BeginEditVariables(m_document, false);
    EndEditVariables(m_document, true);
    EXPECT_EQ(m_document.GetUndoName(), "History/Variables_VariablesChanged");
    EXPECT_EQ(updates, 1);
}

TEST_F(DocumentEdits, DeleteAndEnableInstructionAreUndoableSteps)
{
    MakeCurrentTrigger();
    ASSERT_TRUE(DeleteInstruction(m_document, Action(1)));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_DeleteInstruction");
    EXPECT_EQ(Actions(), "a c");
    m_document.Undo();
    EXPECT_EQ(Actions(), "a if(b) c");

    ASSERT_TRUE(SetInstructionEnabled(m_document, Action(0), false));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_EnableInstruction");
    EXPECT_FALSE(Action(0)->IsEnabled());
    m_document.Undo();
    EXPECT_TRUE(Action(0)->IsEnabled());

    // Refused without a step: a root block, no change, an incomplete instruction.
    const std::size_t steps = m_document.GetUndoCount();
    EXPECT_FALSE(DeleteInstruction(m_document, State().GetCurrentTrigger()->GetBlock(1)));
    EXPECT_FALSE(SetInstructionEnabled(m_document, Action(0), true));
    EXPECT_FALSE(SetInstructionEnabled(m_document, Action(1), true));
    EXPECT_EQ(m_document.GetUndoCount(), steps);
}

TEST_F(DocumentEdits, DroppedInstructionsFollowThePlacementRules)
{
    MakeCurrentTrigger();
    ASSERT_TRUE(DropInstruction(m_document, Action(2), Action(0)));
    EXPECT_EQ(Actions(), "a c if(b)") << "same block: right after the target";
    ASSERT_TRUE(DropInstruction(m_document, Action(0), Action(2)->GetChild(0)));
    EXPECT_EQ(Actions(), "c if(a b)") << "onto a block: its first instruction";
    ASSERT_TRUE(DropInstruction(m_document, Action(1)->GetChild(0)->GetChild(1), Action(0)));
    EXPECT_EQ(Actions(), "c b if(a)") << "elsewhere: right after the target";
    EXPECT_EQ(State().GetCurrentTrigger()->GetCurrentNode(), Action(1));
    EXPECT_EQ(m_document.GetUndoCount(), 3u);

    // Nothing to move, or a structure into its own block: no step.
    EXPECT_FALSE(DropInstruction(m_document, Action(1), Action(0)));
    EXPECT_FALSE(DropInstruction(m_document, Action(2), Action(2)->GetChild(0)));
    EXPECT_FALSE(DropInstruction(m_document, Action(2), Action(2)->GetChild(0)->GetChild(0)));
    EXPECT_EQ(m_document.GetUndoCount(), 3u);
    // The code model refuses it too (a failed internal check).
    const unsigned failures = GetAssertionFailureCount();
    Action(2)->GetChild(0)->InsertChild(Action(2), 0);
    EXPECT_EQ(GetAssertionFailureCount(), failures + 1);
    m_assertionsAtStart = GetAssertionFailureCount();
    EXPECT_EQ(Actions(), "c b if(a)");

    for (int i = 0; i < 3; ++i) {
        m_document.Undo();
        m_document.UpdateAllViews();
    }
    EXPECT_EQ(Actions(), "a if(b) c");
}

TEST_F(DocumentEdits, NewAndChangedInstructionsArePlacedByTheCurrentNode)
{
    CCodeTrigger* trigger = MakeCurrentTrigger();
    auto add = [&](const char* text) {
        ASSERT_TRUE(BeginNewInstruction(m_document, 1));
        ASSERT_TRUE(PlaceNewInstruction(m_document, 1, std::unique_ptr<CCodeBase>(NewPrint(text))));
    };
    trigger->SetCurrentNode(Action(0));
    add("x");
    EXPECT_EQ(Actions(), "a x if(b) c") << "after the current instruction";
    EXPECT_EQ(State().GetCurrentTrigger()->GetCurrentNode(), Action(1));
    State().GetCurrentTrigger()->SetCurrentNode(Action(2)->GetChild(0));
    add("y");
    EXPECT_EQ(Actions(), "a x if(b y) c") << "into the current block";
    State().GetCurrentTrigger()->SetCurrentNode(State().GetCurrentTrigger()->GetBlock(0));
    add("z");
    EXPECT_EQ(Actions(), "a x if(b y) c z") << "the current node is in another root block";

    // Editing a structure's block edits the structure; the new one takes its place.
    State().GetCurrentTrigger()->SetCurrentNode(Action(2)->GetChild(0));
    CCodeBase* edited = BeginEditInstruction(m_document);
    ASSERT_EQ(edited, Action(2));
    ASSERT_TRUE(ReplaceInstruction(m_document, std::unique_ptr<CCodeBase>(NewStructure("if"))));
    EXPECT_EQ(Actions(), "a x if() c z");
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_InstructionChanged");

    // Cancelled: taken back, or kept as a variables step when variables changed.
    const std::size_t steps = m_document.GetUndoCount();
    ASSERT_TRUE(BeginNewInstruction(m_document, 0));
    CancelInstructionDialog(m_document, false);
    EXPECT_EQ(m_document.GetUndoCount(), steps);
    ASSERT_NE(BeginEditInstruction(m_document), nullptr);
    CancelInstructionDialog(m_document, true);
    EXPECT_EQ(m_document.GetUndoName(), "History/Variables_VariablesChanged");
    EXPECT_EQ(m_document.GetUndoCount(), steps + 1);
}

// What each edit tells the views: exactly the changes a view must show, and
// from undo and redo those of the step they reverse.
TEST_F(DocumentEdits, EachEditReportsWhatItChanged)
{
    CCodeTrigger* trigger = MakeCurrentTrigger();
    const std::uint32_t id = trigger->GetId();
    CCategory* main = Categories().FindCategory("Main");
    AddDocumentTrigger(m_document, "Other", "O");
    CCategory* other = Categories().FindCategory("Other");
    CTriggerEntry* entry = Categories().FindTrigger("T").entry;

    std::vector<SModelChange> reported;
    int reports = 0;
    const int listener = m_document.AddChangeListener(nullptr, [&](const CChangeReport& report) {
        reported = report.Changes();
        ++reports;
    });
    m_document.UpdateAllViews();
    using K = EChangeKind;
    const auto expect = [&](const char* edit, const std::function<void()>& make, std::vector<SModelChange> changes) {
        make();
        m_document.UpdateAllViews();
        const auto sorted = [](const std::vector<SModelChange>& list) {
            std::vector<std::string> texts;
            for (const SModelChange& c : list) {
                texts.push_back(std::to_string(static_cast<int>(c.kind)) + " " +
                                (c.category != nullptr ? c.category->GetName() : "-") + " " +
                                std::to_string(c.triggerId));
            }
            std::ranges::sort(texts);
            return texts;
        };
        EXPECT_EQ(sorted(reported), sorted(changes)) << edit;
    };

    expect("flag", [&] { SetTriggerEnabled(m_document, id, false); },
           {{K::TriggerFlags, nullptr, id}, {K::Instructions, nullptr, id}});
    expect("rename", [&] { RenameTrigger(m_document, entry, "Renamed"); }, {{K::Entries, main}});
    EXPECT_EQ(reported.at(0).entry, entry) << "a rename names its entry, so a view moves one row";
    expect("move", [&] { MoveTrigger(m_document, entry, other, 0); }, {{K::Entries, main}, {K::Entries, other}});
    expect("new trigger", [&] { CreateTrigger(m_document, main); }, {{K::Entries, main}});
    expect("new category", [&] { CreateCategory(m_document); }, {{K::Categories}});
    expect("comment", [&] { SetFieldText(m_document, ETextField::Comment, "x", "Input"); },
           {{K::Text, nullptr, id}, {K::Instructions, nullptr, id}});
    expect("typing on", [&] { SetFieldText(m_document, ETextField::Comment, "xy", ""); }, {{K::Text, nullptr, id}});
    expect("enable", [&] { SetInstructionEnabled(m_document, Action(0), false); }, {{K::Instructions, nullptr, id}});
    expect("delete", [&] { DeleteInstruction(m_document, Action(0)); },
           {{K::Instructions, nullptr, id}, {K::Selection}});
    expect("undo delete", [&] { m_document.Undo(); },
           {{K::TriggerFlags, nullptr, id}, {K::Text, nullptr, id}, {K::Instructions, nullptr, id}, {K::Selection}});
    expect("select", [&] { SelectTrigger(m_document, nullptr); }, {{K::Selection}});
    expect("select again", [&] { SelectTrigger(m_document, nullptr); }, {{K::Document}});
    expect("preamble", [&] { SetFieldText(m_document, ETextField::Comment, "p", "Input"); }, {{K::Text}});
    // Back to the move (past preamble, enable, comment, category and trigger): undo names both categories.
    for (int i = 0; i < 5; ++i) {
        m_document.Undo();
        m_document.UpdateAllViews();
    }
    expect("undo move", [&] { m_document.Undo(); }, {{K::Entries, main}, {K::Entries, other}, {K::Selection}});
    expect("delete trigger", [&] { DeleteTrigger(m_document, entry); },
           {{K::Entries, main}, {K::Instructions, nullptr, id}, {K::Selection}});
    m_document.RemoveUpdateListener(listener);
    const int before = reports;
    m_document.UpdateAllViews();
    EXPECT_EQ(reports, before) << "a removed listener hears nothing";
}

// Many instructions: one step named with the count; one alone is that
// instruction's own edit; undo gives the file back to the byte.
TEST_F(DocumentEdits, ManyInstructionsAreDeletedAndEnabledInOneStep)
{
    CCodeTrigger* trigger = MakeCurrentTrigger();
    const std::uint32_t id = trigger->GetId();
    const std::string before = m_document.WriteDataFile();
    const std::vector<const CCodeBase*> none;

    // Refused as a whole: a block among them, nodes of two triggers, none.
    CCodeTrigger* other = AddDocumentTrigger(m_document, "Main", "U");
    other->GetBlock(1)->AddChild(NewPrint("u"));
    EXPECT_FALSE(DeleteInstructions(m_document, {Action(0), trigger->GetBlock(1)}));
    EXPECT_FALSE(DeleteInstructions(m_document, {Action(0), other->GetBlock(1)->GetChild(0)}));
    EXPECT_FALSE(DeleteInstructions(m_document, none));
    EXPECT_FALSE(m_document.CanUndo());
    const std::string withOther = m_document.WriteDataFile();

    // b lies in the if: it goes with it and is not counted.
    trigger->SetCurrentNode(Action(2));
    m_document.UpdateAllViews();
    ASSERT_TRUE(DeleteInstructions(m_document, {Action(2), Print("b"), Action(1)}));
    EXPECT_EQ(Actions(), "a");
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/InstructionView_DeleteInstructions", 2));
    EXPECT_EQ(trigger->GetCurrentNode(), nullptr);
    EXPECT_TRUE(m_document.GetPendingChanges().Has({EChangeKind::Instructions, nullptr, id}));
    EXPECT_TRUE(m_document.GetPendingChanges().Has(EChangeKind::Selection));
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), withOther);
    ASSERT_TRUE(DeleteInstructions(m_document, {Print("b"), Print("b")}));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_DeleteInstruction") << "one is the single edit";
    EXPECT_EQ(Actions(), "a if() c");
    m_document.Undo();

    // Enabled: the if waits for its condition and is skipped; disabled it already is.
    ASSERT_TRUE(SetInstructionsEnabled(m_document, {Action(0), Action(1), Action(2)->GetParent(), Action(2)}, false));
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/InstructionView_EnableInstructions", 2));
    EXPECT_FALSE(Action(0)->IsEnabled());
    EXPECT_FALSE(Action(2)->IsEnabled());
    EXPECT_TRUE(m_document.GetPendingChanges().Has({EChangeKind::Instructions, nullptr, id}));
    const std::size_t steps = m_document.GetUndoCount();
    EXPECT_FALSE(SetInstructionsEnabled(m_document, {Action(0), Action(2)}, false));
    EXPECT_FALSE(SetInstructionsEnabled(m_document, {Action(1)}, true));
    EXPECT_EQ(m_document.GetUndoCount(), steps);
    ASSERT_TRUE(SetInstructionsEnabled(m_document, {Action(1)->GetChild(0), Action(0), Action(1)}, true));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_EnableInstruction");
    EXPECT_TRUE(Action(0)->IsEnabled());
    while (m_document.CanUndo()) {
        m_document.Undo();
    }
    EXPECT_EQ(m_document.WriteDataFile(), withOther);
    EXPECT_NE(before, withOther);
}

TEST_F(DocumentEdits, ManyDroppedInstructionsGoAsARunInTreeOrder)
{
    CCodeTrigger* trigger = MakeCurrentTrigger();
    trigger->GetBlock(1)->AddChild(NewPrint("d"));
    const CCodeBase* elsewhere = AddDocumentTrigger(m_document, "Main", "U")->GetBlock(1);
    const std::string before = m_document.WriteDataFile();

    ASSERT_TRUE(DropInstructions(m_document, {Print("d"), Print("a")}, Print("b")));
    EXPECT_EQ(Actions(), "if(b a d) c") << "right after the target, in tree order";
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/InstructionView_DragDropInstructions", 2));
    EXPECT_EQ(trigger->GetCurrentNode(), Print("d"));
    ASSERT_TRUE(DropInstructions(m_document, {Print("c"), Print("b")}, Action(0)->GetChild(0)));
    EXPECT_EQ(Actions(), "if(b c a d)") << "onto a block: its first instructions";

    // Where they are already, or any of them cannot go there: nothing.
    const std::size_t steps = m_document.GetUndoCount();
    EXPECT_FALSE(DropInstructions(m_document, {Print("c"), Print("b")}, Action(0)->GetChild(0)));
    EXPECT_FALSE(DropInstructions(m_document, {Print("a"), Print("d")}, Print("c")));
    EXPECT_FALSE(DropInstructions(m_document, {Print("b"), Action(0)}, Print("c"))) << "the if into itself";
    EXPECT_FALSE(DropInstructions(m_document, {Print("b"), Print("c")}, elsewhere)) << "another trigger";
    EXPECT_EQ(m_document.GetUndoCount(), steps);
    EXPECT_EQ(Actions(), "if(b c a d)");

    ASSERT_TRUE(DropInstructions(m_document, {Print("a")}, Action(0)));
    EXPECT_EQ(m_document.GetUndoName(), "History/InstructionView_DragDropInstruction");
    EXPECT_EQ(Actions(), "if(b c d) a");
    while (m_document.CanUndo()) {
        m_document.Undo();
    }
    EXPECT_EQ(m_document.WriteDataFile(), before);
}

TEST_F(DocumentEdits, ManyTriggersAreEnabledMovedAndDeletedInOneStepEach)
{
    for (const char* name : {"a1", "a2", "a3"}) {
        AddDocumentTrigger(m_document, "A", name);
    }
    AddDocumentTrigger(m_document, "B", "b1");
    CCategory* a = Categories().FindCategory("A");
    CCategory* b = Categories().FindCategory("B");
    auto entry = [&](const char* name) { return Categories().FindTrigger(name).entry; };
    auto id = [&](const char* name) { return entry(name)->GetId(); };
    const std::string before = m_document.WriteDataFile();

    ASSERT_TRUE(SetTriggersEnabled(m_document, {id("a1"), id("a3"), id("a1"), 999}, false));
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/Triggers_EnabledChanged", 2));
    EXPECT_FALSE(State().FindTrigger(id("a3"))->IsEnabled());
    EXPECT_TRUE(m_document.GetPendingChanges().Has({EChangeKind::TriggerFlags, nullptr, id("a1")}));
    EXPECT_FALSE(SetTriggersEnabled(m_document, {id("a1"), id("a3")}, false));

    // Those of the category stay; the others go to its end in tree order.
    m_document.UpdateAllViews();
    ASSERT_TRUE(MoveTriggers(m_document, {entry("a3"), entry("b1"), entry("a1")}, b));
    EXPECT_EQ(Names(b), "b1 a1 a3");
    EXPECT_EQ(Names(a), "a2");
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/CatView_DragDropTriggers", 2));
    EXPECT_TRUE(m_document.GetPendingChanges().Has({EChangeKind::Entries, a}));
    EXPECT_TRUE(m_document.GetPendingChanges().Has({EChangeKind::Entries, b}));
    EXPECT_FALSE(MoveTriggers(m_document, {entry("a1"), entry("b1")}, b));

    // Refused as a whole for an entry that is not the document's.
    const std::size_t steps = m_document.GetUndoCount();
    EXPECT_FALSE(DeleteTriggers(m_document, {entry("a1"), nullptr}));
    EXPECT_EQ(m_document.GetUndoCount(), steps);
    SelectTrigger(m_document, entry("a1"));
    ASSERT_TRUE(DeleteTriggers(m_document, {entry("a3"), entry("a2"), entry("a1")}));
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/CatView_DeleteTriggers", 3));
    EXPECT_EQ(State().GetTriggerCount(), 1u);
    EXPECT_EQ(State().GetCurrentTrigger(), nullptr);
    EXPECT_TRUE(m_document.GetPendingChanges().Has(EChangeKind::Selection));
    const std::string after = m_document.WriteDataFile();

    m_document.Undo();
    EXPECT_EQ(Names(b), "b1 a1 a3");
    EXPECT_EQ(Names(a), "a2");
    m_document.Redo();
    EXPECT_EQ(m_document.WriteDataFile(), after);
    while (m_document.CanUndo()) {
        m_document.Undo();
    }
    EXPECT_EQ(m_document.WriteDataFile(), before);
}

// The Edit menu's text of a step: the key's text, the count filled in; names
// without a well-formed count are plain keys.
TEST_F(DocumentEdits, StepNamesCarryTheirCountIntoTheText)
{
    SetLocalizationPath(BRAMBLETON_EXAMPLES_SOURCE_DIR "/Localization");
    const struct {
        const char* language;
        std::string name;
        const char* text;
    } cases[] = {
        {"en", CountedStepName("History/InstructionView_DeleteInstructions", 7), "delete 7 instructions"},
        {"en", "History/InstructionView_DeleteInstruction", "delete instruction"},
        {"de", CountedStepName("History/CatView_DeleteTriggers", 12), "12 Auslöser löschen"},
        {"de", CountedStepName("History/Clipboard_CutInstructions", 2), "2 Anweisungen ausschneiden"},
        {"de", "History/Clipboard_Cut", "Ausschneiden"},
    };
    for (const auto& c : cases) {
        SetLanguage(c.language);
        EXPECT_EQ(LocalizedStepName(c.name), c.text) << c.name;
    }
    for (const char* plain : {"G/a#", "G/a#07", "G/a#1x", "G/a"}) {
        EXPECT_EQ(ParseStepName(plain).key, plain);
        EXPECT_EQ(ParseStepName(plain).count, 0u);
    }
    EXPECT_EQ(ParseStepName("G/a#b#30").key, "G/a#b");
    EXPECT_EQ(ParseStepName("G/a#b#30").count, 30u);
}

} // namespace
} // namespace bram::test
