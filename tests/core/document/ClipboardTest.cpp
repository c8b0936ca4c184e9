// Cut, copy and paste through fragments: names made unique, variables
// reused, created or renamed, trigger variables resolved or left empty,
// wrong places and broken fragments refused without a change, one step each,
// a cut and paste of triggers a move. Every paste that succeeds leaves a
// document that saves and reads back to the same bytes.

#include "DocumentFixture.h"

#include "base/Text.h"
#include "code/Instructions.h"
#include "document/Clipboard.h"
#include "document/DocumentEdits.h"
#include "history/StepName.h"

#include <functional>

namespace bram::test {
namespace {

class Clipboard : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
        m_target.NewDocument();
    }
    void TearDown() override
    {
        m_target.DeleteContents(); // before the language goes
        DocumentTest::TearDown();
    }

    CCategory* Main() const { return m_document.GetCategorySystem().FindCategory("Main"); }
    CTriggerEntry* Entry(const CApplicationDocument& document, const std::string& name) const
    {
        return document.GetCategorySystem().FindTrigger(name).entry;
    }
    CCodeTrigger* Trigger(const CApplicationDocument& document, const std::string& name) const
    {
        const CTriggerEntry* entry = Entry(document, name);
        return entry != nullptr ? document.GetState()->FindTrigger(entry->GetId()) : nullptr;
    }
    std::string Fragment(const std::string& trigger) const
    {
        return CopyTrigger(m_document, Entry(m_document, trigger)).value().fragment;
    }
    // The global's name and type name, or "none".
    static std::string Global(const CState& state, std::size_t index)
    {
        if (index >= state.GetGlobalCount()) {
            return "none";
        }
        return state.GetGlobal(index)->GetName() + ":" + state.GetGlobal(index)->GetType()->GetName();
    }

    // A paste that succeeds must leave what the reader reads back.
    static SPasteOutcome PasteChecked(CApplicationDocument& document, std::string_view fragment,
                                      const SPasteTarget& target)
    {
        const SPasteOutcome outcome = Paste(document, fragment, target);
        if (outcome.result == EPasteResult::Pasted) {
            const std::string written = document.WriteDataFile();
            CApplicationDocument again;
            again.NewDocument();
            EXPECT_NO_THROW(again.ReadDataFileFromMemory(written, "pasted.bdf"));
            EXPECT_EQ(again.WriteDataFile(), written);
            again.DeleteContents();
        }
        return outcome;
    }

    // The enable(Second) instruction of First, and its trigger parameter.
    const CCodeBase* Enable() const { return Trigger(m_document, "First")->GetBlock(1)->GetChild(1); }
    const CCodeBase* EnabledTrigger() const { return Enable()->GetParameter(0)->GetValue(); }

    CApplicationDocument m_target;
};

// Into its own document: a free name, the global and the trigger reused, the local along.
TEST_F(Clipboard, TriggerPastedIntoItsOwnDocumentIsACopyUnderAFreeName)
{
    const std::string before = m_document.WriteDataFile();
    ASSERT_EQ(PasteChecked(m_document, Fragment("First"), {.category = Main()}).result, EPasteResult::Pasted);
    const CState& state = *m_document.GetState();
    const CCodeTrigger* copy = Trigger(m_document, "First_2");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(state.GetGlobalCount(), 1u);
    EXPECT_EQ(state.GetGlobal(0)->GetUserCount(), 4u);
    EXPECT_EQ(copy->GetLocals().size(), 1u);
    std::string expected = Trigger(m_document, "First")->GetCode(0);
    ReplaceAll(expected, "First", "First_2");
    EXPECT_EQ(copy->GetCode(0), expected);
    EXPECT_EQ(m_document.GetUndoName(), "History/Clipboard_Paste");

    const std::string after = m_document.WriteDataFile();
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), before);
    m_document.Redo();
    EXPECT_EQ(m_document.WriteDataFile(), after);
}

// Into another document: globals it lacks are made, one of another type is
// not taken, and a trigger variable of a trigger it lacks stays empty.
TEST_F(Clipboard, VariablesAreCreatedOrRenamedAndMissingTriggersLeaveParametersEmpty)
{
    m_target.GetCategorySystem().AddCategory("Other");
    CCategory* other = m_target.GetCategorySystem().FindCategory("Other");
    ASSERT_EQ(PasteChecked(m_target, Fragment("First"), {.category = other}).result, EPasteResult::Pasted);
    const CState& state = *m_target.GetState();
    EXPECT_EQ(Global(state, 0), "count:number");
    const CCodeTrigger* first = Trigger(m_target, "First");
    const CCodeBase* enable = first->GetBlock(1)->GetChild(1);
    EXPECT_EQ(enable->GetParameter(0)->GetValue(), nullptr);
    EXPECT_FALSE(enable->IsEnabled());
    EXPECT_TRUE(first->GetBlock(1)->GetChild(2)->IsEnabled());

    // A second paste with "count" now a text (and no longer used): a new
    // number variable, used by the copy.
    ASSERT_TRUE(DeleteTrigger(m_target, Entry(m_target, "First")));
    m_target.GetState()->GetGlobal(0)->SetType(Type("string"));
    ASSERT_EQ(PasteChecked(m_target, Fragment("First"), {.category = other}).result, EPasteResult::Pasted);
    const CState& now = *m_target.GetState();
    EXPECT_EQ(Global(now, 1), "count_2:number");
    ASSERT_EQ(now.GetGlobalCount(), 2u);
    EXPECT_EQ(now.GetGlobal(1)->GetUserCount(), 2u);
    EXPECT_EQ(Trigger(m_target, "First")->GetBlock(1)->GetChild(2)->GetParameter(0)->GetValue(), now.GetGlobal(1));
}

// A category comes whole; its triggers refer to each other's copies.
TEST_F(Clipboard, CategoryPastedWithItsTriggersIsOneStep)
{
    const std::string fragment = CopyCategory(m_document, Main()).value().fragment;
    ASSERT_EQ(PasteChecked(m_document, fragment, {}).result, EPasteResult::Pasted);
    const CCategory* copy = m_document.GetCategorySystem().FindCategory("Main_2");
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetTriggerCount(), 2u);
    EXPECT_EQ(copy->GetTrigger(1)->GetName(), "Second_2");
    const CCodeBase* enable = Trigger(m_document, "First_2")->GetBlock(1)->GetChild(1);
    EXPECT_EQ(enable->GetParameter(0)->GetValue()->GetText(), "Second_2");

    m_document.Undo();
    EXPECT_EQ(m_document.GetCategorySystem().FindCategory("Main_2"), nullptr);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 2u);
    m_document.Redo();
    EXPECT_EQ(m_document.GetCategorySystem().FindCategory("Main_2"), copy);
}

// After an instruction, at the end of a block; a local it uses comes along.
TEST_F(Clipboard, InstructionsGoAfterTheSelectionOrIntoTheBlock)
{
    CCodeTrigger* first = Trigger(m_document, "First");
    CCodeBase* print = first->GetBlock(1)->GetChild(0);
    print->GetParameter(0)->SetValue(first->GetLocals().front().get());
    const std::string fragment = CopyInstruction(m_document, print).value().fragment;

    CCodeTrigger* second = Trigger(m_document, "Second");
    ASSERT_EQ(PasteChecked(m_document, fragment, {.node = second->GetBlock(1)}).result, EPasteResult::Pasted);
    second = Trigger(m_document, "Second");
    ASSERT_EQ(second->GetBlock(1)->GetChildCount(), 1u);
    ASSERT_EQ(second->GetLocals().size(), 1u);
    EXPECT_EQ(second->GetBlock(1)->GetChild(0)->GetParameter(0)->GetValue(), second->GetLocals().front().get());
    EXPECT_EQ(second->GetCurrentNode(), second->GetBlock(1)->GetChild(0));

    first = Trigger(m_document, "First");
    ASSERT_EQ(PasteChecked(m_document, fragment, {.node = first->GetBlock(1)->GetChild(0)}).result,
              EPasteResult::Pasted);
    first = Trigger(m_document, "First");
    EXPECT_EQ(first->GetBlock(1)->GetChildCount(), 5u);
    EXPECT_EQ(first->GetLocals().size(), 1u);
    EXPECT_EQ(first->GetCurrentNode(), first->GetBlock(1)->GetChild(1));
}

// Nothing changes and no step is left for a fragment that does not fit or cannot be read.
TEST_F(Clipboard, WrongPlacesAndBrokenFragmentsChangeNothing)
{
    const CCodeBase* print = Trigger(m_document, "First")->GetBlock(1)->GetChild(0);
    const std::string instruction = CopyInstruction(m_document, print).value().fragment;
    std::string otherBlock = instruction;
    ReplaceAll(otherBlock, "<Type><Name>action</Name>", "<Type><Name>boolean</Name>");
    std::string unknownModule = Fragment("First");
    ReplaceAll(unknownModule, "<NeededModule>lang</NeededModule>", "<NeededModule>elsewhere</NeededModule>");
    std::string unknownVariable = Fragment("First");
    ReplaceAll(unknownVariable, "<Name><![CDATA[count]]></Name></Variable>",
               "<Name><![CDATA[other]]></Name></Variable>");
    std::string noInstruction = instruction;
    noInstruction.replace(noInstruction.find("<SubElement"),
                          noInstruction.rfind("</SubElement>") + 13 - noInstruction.find("<SubElement"), "");
    const CCodeBase* block = Trigger(m_document, "Second")->GetBlock(1);
    const struct {
        std::string fragment;
        SPasteTarget target;
        EPasteResult result;
        std::string reason;
    } cases[] = {
        {otherBlock, {.node = block}, EPasteResult::WrongPlace, "another type"},
        {instruction, {.category = Main()}, EPasteResult::WrongPlace, "does not fit"},
        {Fragment("First"), {.node = block}, EPasteResult::WrongPlace, "does not fit"},
        {noInstruction, {.node = block}, EPasteResult::Refused, "An instruction expected"},
        {unknownModule, {.category = Main()}, EPasteResult::Refused, "elsewhere"},
        {unknownVariable, {.category = Main()}, EPasteResult::Refused, "Unknown variable 'count'"},
        {ValidFile(), {.category = Main()}, EPasteResult::Refused, "No triggers"},
        {"plain text", {.category = Main()}, EPasteResult::Refused, "Could not load"},
    };
    const std::string before = m_document.WriteDataFile();
    for (const auto& test : cases) {
        const SPasteOutcome outcome = PasteChecked(m_document, test.fragment, test.target);
        EXPECT_EQ(outcome.result, test.result) << test.reason;
        EXPECT_NE(outcome.reason.find(test.reason), std::string::npos) << outcome.reason;
    }
    EXPECT_EQ(m_document.WriteDataFile(), before);
    EXPECT_FALSE(m_document.CanUndo());
    EXPECT_FALSE(m_document.IsModified());
}

// A cut is a copy and a deletion in one step; undo brings everything back.
TEST_F(Clipboard, CutIsOneStepThatUndoTakesBack)
{
    const std::string before = m_document.WriteDataFile();
    const auto trigger = CutTrigger(m_document, Entry(m_document, "First"));
    ASSERT_TRUE(trigger.has_value());
    EXPECT_EQ(Trigger(m_document, "First"), nullptr);
    const auto instruction = CutInstruction(m_document, Trigger(m_document, "Second")->GetBlock(1));
    EXPECT_FALSE(instruction.has_value()) << "a block is no instruction";
    EXPECT_EQ(m_document.GetUndoCount(), 1u);
    EXPECT_EQ(m_document.GetUndoName(), "History/Clipboard_Cut");
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), before);

    ASSERT_EQ(PasteChecked(m_document, trigger->fragment, {.category = Main()}).result, EPasteResult::Pasted);
    EXPECT_NE(Trigger(m_document, "First_2"), nullptr);
}

// The reader's nesting limit counts from the root block of the file the
// paste lands in, not from the fragment's own root.
TEST_F(Clipboard, InstructionsAreNotPastedDeeperThanTheReaderAccepts)
{
    // 250 nested "if"s: the innermost one's parameter lies 251 deep.
    CCodeBase* block = Trigger(m_document, "Second")->GetBlock(1);
    for (int i = 0; i < 250; ++i) {
        CStructure* structure = NewStructure("if");
        block->AddChild(structure);
        block = structure->GetChild(0);
    }
    const CCodeBase* outer = Trigger(m_document, "Second")->GetBlock(1)->GetChild(0);
    const std::string fragment = CopyInstruction(m_document, outer).value().fragment;
    // The block `depth` deep: the root block is 1, each "then" one more.
    const auto blockAt = [this](int depth) {
        const CCodeBase* node = Trigger(m_document, "Second")->GetBlock(1);
        for (int i = 1; i < depth; ++i) {
            node = node->GetChild(0)->GetChild(0);
        }
        return node;
    };
    const std::string before = m_document.WriteDataFile();
    const SPasteOutcome deep = PasteChecked(m_document, fragment, {.node = blockAt(251)});
    EXPECT_EQ(deep.result, EPasteResult::Refused);
    EXPECT_NE(deep.reason.find("nested too deeply"), std::string::npos) << deep.reason;
    EXPECT_EQ(m_document.WriteDataFile(), before);
    EXPECT_FALSE(m_document.CanUndo());

    EXPECT_EQ(PasteChecked(m_document, fragment, {.node = blockAt(250)}).result, EPasteResult::Pasted);
}

// A pasted local never takes a global's name, nor a pasted global a local's:
// each gets a free name, and the pasted parameters use it.
TEST_F(Clipboard, PastedVariablesDoNotTakeTheNamesOfLocalsAndGlobals)
{
    CCodeTrigger* first = Trigger(m_document, "First");
    CCodeBase* print = first->GetBlock(1)->GetChild(0);
    print->GetParameter(0)->SetValue(first->GetLocals().front().get());
    std::string instruction = CopyInstruction(m_document, print).value().fragment;
    ReplaceAll(instruction, "<![CDATA[word]]>", "<![CDATA[count]]>");
    ASSERT_EQ(PasteChecked(m_document, instruction, {.node = Trigger(m_document, "Second")->GetBlock(1)}).result,
              EPasteResult::Pasted);
    const CCodeTrigger* second = Trigger(m_document, "Second");
    ASSERT_EQ(second->GetLocals().size(), 1u);
    EXPECT_EQ(second->GetLocals().front()->GetName(), "count_2");
    EXPECT_EQ(second->GetBlock(1)->GetChild(0)->GetParameter(0)->GetValue(), second->GetLocals().front().get());

    // Into a document where a trigger has a local "count" and "word" is a global.
    AddDocumentTrigger(m_target, "Other", "Host")
        ->GetLocals()
        .push_back(std::make_unique<CUserDefinedVariable>("count", Type("number")));
    m_target.GetState()->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("word", Type("string")));
    CCategory* other = m_target.GetCategorySystem().FindCategory("Other");
    ASSERT_EQ(PasteChecked(m_target, Fragment("First"), {.category = other}).result, EPasteResult::Pasted);
    const CState& state = *m_target.GetState();
    EXPECT_EQ(Global(state, 1), "count_2:number");
    const CCodeTrigger* pasted = Trigger(m_target, "First");
    EXPECT_EQ(pasted->GetLocals().front()->GetName(), "word_2");
    EXPECT_EQ(pasted->GetBlock(1)->GetChild(2)->GetParameter(0)->GetValue(), state.GetGlobal(1));
}

// Cut and paste of a trigger is a move: a parameter that referred to it refers
// to the pasted one, as after a drag, within the paste's one step; a second
// paste is a copy.
TEST_F(Clipboard, CutAndPasteOfATriggerMovesTheReferencesToIt)
{
    const std::string original = m_document.WriteDataFile();
    const std::string fragment = CutTrigger(m_document, Entry(m_document, "Second")).value().fragment;
    EXPECT_EQ(EnabledTrigger(), nullptr);
    EXPECT_FALSE(Enable()->IsEnabled());
    const std::string cut = m_document.WriteDataFile();

    ASSERT_EQ(PasteChecked(m_document, fragment, {.category = Main()}).result, EPasteResult::Pasted);
    EXPECT_EQ(m_document.WriteDataFile(), original) << "as if it had never left";
    EXPECT_EQ(m_document.GetUndoName(), "History/Clipboard_Paste");
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), cut);
    m_document.Redo();
    EXPECT_EQ(m_document.WriteDataFile(), original);

    ASSERT_EQ(PasteChecked(m_document, fragment, {.category = Main()}).result, EPasteResult::Pasted);
    EXPECT_NE(Trigger(m_document, "Second_2"), nullptr);
    ASSERT_NE(EnabledTrigger(), nullptr);
    EXPECT_EQ(EnabledTrigger()->GetText(), "Second") << "a second paste is a copy";
}

// Only while the cut holds and the parameter is still as the cut left it.
TEST_F(Clipboard, CutAndPasteMovesOnlyWhileTheCutHolds)
{
    const struct {
        const char* name;
        // Between the cut and the paste.
        std::function<void(CApplicationDocument&)> meanwhile;
        bool moved;
    } cases[] = {
        {"nothing", [](CApplicationDocument&) {}, true},
        {"cut undone and redone",
         [](CApplicationDocument& document) {
             document.Undo();
             document.Redo();
         },
         true},
        {"cut undone", [](CApplicationDocument& document) { document.Undo(); }, false},
        {"parameter given another trigger",
         [this](CApplicationDocument& document) {
             document.AddHistoryStep("History/Test");
             const CState& state = *document.GetState();
             CParameter* parameter = Trigger(document, "First")->GetBlock(1)->GetChild(1)->GetParameter(0);
             for (std::size_t i = 0; i < state.GetTriggerVariableCount(); ++i) {
                 if (parameter->Accepts(state.GetTriggerVariable(i))) {
                     parameter->SetValue(state.GetTriggerVariable(i));
                 }
             }
             ASSERT_NE(parameter->GetValue(), nullptr);
         },
         false},
        {"instruction deleted", [this](CApplicationDocument& document) { DeleteInstruction(document, Enable()); },
         false},
        {"document opened anew",
         [](CApplicationDocument& document) {
             document.DeleteContents();
             document.NewDocument();
             document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
             DeleteTrigger(document, document.GetCategorySystem().FindTrigger("Second").entry);
         },
         false},
    };
    for (const auto& test : cases) {
        m_document.DeleteContents();
        m_document.NewDocument();
        m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
        const std::string fragment = CutTrigger(m_document, Entry(m_document, "Second")).value().fragment;
        test.meanwhile(m_document);
        ASSERT_EQ(PasteChecked(m_document, fragment, {.category = Main()}).result, EPasteResult::Pasted) << test.name;
        const CCodeTrigger* pasted =
            m_document.GetState()->FindTrigger(Main()->GetTrigger(Main()->GetTriggerCount() - 1)->GetId());
        const CCodeBase* enable = Trigger(m_document, "First")->GetBlock(1)->GetChild(1);
        const CCodeBase* value = enable->GetParameter(0)->GetValue();
        const bool refers =
            enable->GetDefinition()->GetName() == "enable" && value != nullptr && value->GetTrigger() == pasted;
        EXPECT_EQ(refers && enable->IsEnabled(), test.moved) << test.name;
    }
}

// A category's triggers move as well; references among them come with the fragment.
TEST_F(Clipboard, CutAndPasteOfACategoryMovesTheReferencesToItsTriggers)
{
    m_document.GetCategorySystem().AddCategory("Other");
    CCategory* other = m_document.GetCategorySystem().FindCategory("Other");
    ASSERT_TRUE(MoveTrigger(m_document, Entry(m_document, "First"), other, 0));
    const std::string fragment = CutCategory(m_document, Main()).value().fragment;
    ASSERT_EQ(PasteChecked(m_document, fragment, {}).result, EPasteResult::Pasted);
    ASSERT_NE(EnabledTrigger(), nullptr);
    EXPECT_EQ(EnabledTrigger()->GetTrigger(), Trigger(m_document, "Second"));
    EXPECT_TRUE(Enable()->IsEnabled());
}

// Many instructions or triggers are one fragment in tree order, pasted in
// that order; one alone is the copy of it; a cut of many is one step.
TEST_F(Clipboard, ManyInstructionsAndTriggersAreOneFragmentInTreeOrder)
{
    const CCodeBase* actions = Trigger(m_document, "First")->GetBlock(1);
    const CCodeBase* print = actions->GetChild(0);
    const CCodeBase* set = actions->GetChild(2);
    EXPECT_EQ(CopyInstructions(m_document, {print}).value().fragment,
              CopyInstruction(m_document, print).value().fragment);
    const auto copied = CopyInstructions(m_document, {set, print, set});
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(copied->code, print->GetCode(0) + set->GetCode(0));
    ASSERT_EQ(PasteChecked(m_document, copied->fragment, {.node = Trigger(m_document, "Second")->GetBlock(1)}).result,
              EPasteResult::Pasted);
    const CCodeTrigger* second = Trigger(m_document, "Second");
    ASSERT_EQ(second->GetBlock(1)->GetChildCount(), 2u);
    EXPECT_EQ(second->GetBlock(1)->GetChild(0)->GetCode(0) + second->GetBlock(1)->GetChild(1)->GetCode(0),
              copied->code);
    EXPECT_EQ(second->GetCurrentNode(), second->GetBlock(1)->GetChild(1)) << "the last pasted";
    EXPECT_FALSE(CopyInstructions(m_document, {print, second->GetBlock(1)->GetChild(0)})) << "two triggers";
    EXPECT_FALSE(CopyInstructions(m_document, {print, actions})) << "a block";

    const std::string beforeCut = m_document.WriteDataFile();
    ASSERT_TRUE(CutInstructions(m_document, {actions->GetChild(3), print, actions->GetChild(1)}).has_value());
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/Clipboard_CutInstructions", 3));
    EXPECT_EQ(Trigger(m_document, "First")->GetBlock(1)->GetChildCount(), 1u);
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), beforeCut);

    // Triggers: the tree's order, whatever order the selection came in.
    EXPECT_EQ(CopyTriggers(m_document, {Entry(m_document, "First")}).value().fragment, Fragment("First"));
    const auto triggers = CopyTriggers(m_document, {Entry(m_document, "Second"), Entry(m_document, "First")});
    ASSERT_TRUE(triggers.has_value());
    CCategory* other = CreateCategory(m_document);
    ASSERT_EQ(PasteChecked(m_document, triggers->fragment, {.category = other}).result, EPasteResult::Pasted);
    ASSERT_EQ(other->GetTriggerCount(), 2u);
    EXPECT_EQ(other->GetTrigger(0)->GetName() + " " + other->GetTrigger(1)->GetName(), "First_2 Second_2");
    const CCodeBase* enable = Trigger(m_document, "First_2")->GetBlock(1)->GetChild(1);
    EXPECT_EQ(enable->GetParameter(0)->GetValue()->GetText(), "Second_2");

    const std::string beforeTriggerCut = m_document.WriteDataFile();
    const auto cut = CutTriggers(m_document, {Entry(m_document, "Second"), Entry(m_document, "First")});
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->fragment, triggers->fragment);
    EXPECT_EQ(m_document.GetUndoName(), CountedStepName("History/Clipboard_CutTriggers", 2));
    EXPECT_EQ(Main()->GetTriggerCount(), 0u);
    m_document.Undo();
    EXPECT_EQ(m_document.WriteDataFile(), beforeTriggerCut);
    m_document.Redo();
    ASSERT_EQ(PasteChecked(m_document, cut->fragment, {.category = Main()}).result, EPasteResult::Pasted);
    EXPECT_EQ(Main()->GetTrigger(0)->GetName() + " " + Main()->GetTrigger(1)->GetName(), "First Second");
    EXPECT_FALSE(CopyTriggers(m_document, {Entry(m_document, "First"), nullptr}));
}

} // namespace
} // namespace bram::test
