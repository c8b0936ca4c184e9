#pragma once
// The edits the views and the main frame make on a document. Each records
// its named history step and changes the model; an edit that would change
// nothing returns false (or null) and records nothing.
//
// Every step is scoped: the state, its triggers and variables stay in
// place, but a trigger the step keeps goes on with copies of its nodes, so
// an edit finds its node again (by node path) after recording instead of
// keeping what it found before. Categories and trigger entries are not part
// of the state: their pointers stay valid across steps.
//
// Telling the views is the caller's, so that a view can leave itself out
// (UpdateAllViews(this)); only the main frame's commands, which no view
// sends, update all views themselves. The edits of many items note what they
// changed (NoteChange) for that update.
//
// An edit of many items is one step. When it comes down to one item it is
// that item's edit, under its step name; otherwise its step name carries the
// count (CountedStepName, history/StepName.h): "... 7 instructions".

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CApplicationDocument;
class IItemTree;
class CCategory;
class CCategorySystem;
class CCodeBase;
class CState;
class CTriggerEntry;

// The step names of an edit of one item and of many: a plain key, and a key
// whose text takes the count as "![Parameter1]".
struct SStepKeys {
    const char* one;
    const char* many;
};

// ---- main frame commands ------------------------------------------------------

// Turns the current trigger into code (its own script text becomes its code;
// "History/Trigger_ToCode") and updates all views. False without a current
// trigger or when it is code already.
bool ConvertCurrentTriggerToCode(CApplicationDocument& document);

// Before the variables dialog: records "History/Variables_VariablesChanged"
// and returns the state the dialog edits. For the locals there must be a
// current trigger: without one nothing is recorded and the result is null.
// The dialog takes globals out through CState::RetireGlobal, so that the
// step keeps them and the triggers whose parameters lose them.
CState* BeginEditVariables(CApplicationDocument& document, bool locals);
// After it: a cancelled dialog takes the step back; otherwise all views are updated.
void EndEditVariables(CApplicationDocument& document, bool accepted);

// ---- categories view ----------------------------------------------------------

// The localized "CatView/NewCategory" followed by the first n = 1, 2, ...
// that gives a name no category has.
std::string NewCategoryName(const CCategorySystem& categories);
// The localized "CatView/NewTrigger", normalized, followed by the first n
// that gives a name no trigger has.
std::string NewTriggerName(const CCategorySystem& categories);

// A new category with the first free name, appended ("History/CatView_CreateCategory").
CCategory* CreateCategory(CApplicationDocument& document);
// A new trigger with the first free name at the end of the category
// ("History/CatView_CreateTrigger"); null when the category is not the document's.
CTriggerEntry* CreateTrigger(CApplicationDocument& document, CCategory* category);
// The category with its triggers; one undo brings all back ("History/CatView_DeleteCategory",
// or the step named, as a cut names its own).
bool DeleteCategory(CApplicationDocument& document, CCategory* category,
                    const char* stepName = "History/CatView_DeleteCategory");
// The entry and its trigger ("History/CatView_DeleteTrigger" or the step named).
bool DeleteTrigger(CApplicationDocument& document, CTriggerEntry* entry,
                   const char* stepName = "History/CatView_DeleteTrigger");
// Refused (false, nothing recorded) when the name is empty or a category has
// it, the category's own name included ("History/CatView_RenameCategory").
bool RenameCategory(CApplicationDocument& document, CCategory* category, std::string_view name);
// The name is normalized first; refused when the result is empty or a trigger
// has it, the entry's own included ("History/CatView_RenameTrigger").
bool RenameTrigger(CApplicationDocument& document, CTriggerEntry* entry, std::string_view name);
// Moves the entry to `index` (at most the count) of another category
// ("History/CatView_DragDropTrigger"); false for its own category.
bool MoveTrigger(CApplicationDocument& document, CTriggerEntry* entry, CCategory* destination, std::size_t index);
// Drag and drop: dropped on a category the trigger goes to its end; dropped
// on an entry of another category it takes that entry's place. Nothing
// happens within the trigger's own category (no reordering).
bool DropTriggerOnCategory(CApplicationDocument& document, CTriggerEntry* dragged, CCategory* target);
bool DropTriggerOnTrigger(CApplicationDocument& document, CTriggerEntry* dragged, const CTriggerEntry* target);
// Many entries (a selection may hold entries of several categories): each
// one step, refused as a whole (false, nothing recorded) when an entry is not
// the document's; repeated entries count once.
// The entries and their triggers ("History/CatView_DeleteTriggers" or the keys given).
bool DeleteTriggers(CApplicationDocument& document, const std::vector<CTriggerEntry*>& entries,
                    SStepKeys keys = {"History/CatView_DeleteTrigger", "History/CatView_DeleteTriggers"});
// A drag onto a category: the entries of other categories go to its end in
// the tree's order ("History/CatView_DragDropTriggers"); those in it stay.
// False when none moves or the category is not the document's.
bool MoveTriggers(CApplicationDocument& document, const std::vector<CTriggerEntry*>& entries, CCategory* destination);
// "History/Triggers_EnabledChanged" for the triggers whose flag changes;
// missing ones are skipped; false when none changes.
bool SetTriggersEnabled(CApplicationDocument& document, const std::vector<std::uint32_t>& triggerIds, bool enabled);
// The selection: the entry's trigger becomes the current one (none for null).
// No step: the selection is not part of what undo brings back.
void SelectTrigger(CApplicationDocument& document, const CTriggerEntry* entry);
// "History/Trigger_EnabledChanged" / "History/Trigger_EnabledAtBeginningChanged";
// false when the trigger is missing or the flag has that value already.
bool SetTriggerEnabled(CApplicationDocument& document, std::uint32_t triggerId, bool enabled);
bool SetTriggerEnabledAtBeginning(CApplicationDocument& document, std::uint32_t triggerId, bool enabled);

// ---- texts (comment view, instruction view's text box) ----------------------------

enum class ETextField {
    // The current trigger's comment; the preamble without a current trigger.
    Comment,
    // The current trigger's custom code (only once it is code); the header
    // without a current trigger.
    Code,
};
// Whether the field can be edited now (not the code of a trigger that is not code).
bool HasTextField(const CApplicationDocument& document, ETextField field);
std::string GetFieldText(const CApplicationDocument& document, ETextField field);
// Stores the text. With a step kind ("Input", "Delete", "Return", "Cut",
// "Paste") and a text that differs, "History/Text_" + kind is recorded
// first; an empty kind records nothing (a typing run goes on). False when
// the field is not there.
bool SetFieldText(CApplicationDocument& document, ETextField field, std::string text, std::string_view stepKind);

// ---- instruction view ---------------------------------------------------------------
// Nodes are blocks and instructions of a trigger of the current state.

// The instruction view's selection: the current trigger's current node
// becomes the node of the tree's selected item (none for the top item). No
// step, like the trigger selection; nothing for a trigger that is code.
void SelectNodeFromView(CApplicationDocument& document, const IItemTree& tree);
// Deletes the instruction with everything in it and clears the trigger's
// current node ("History/InstructionView_DeleteInstruction" or the step
// named); false for a block or a node of no trigger.
bool DeleteInstruction(CApplicationDocument& document, const CCodeBase* node,
                       const char* stepName = "History/InstructionView_DeleteInstruction");
// Many instructions of one trigger, those inside another given one going
// along with it (they are not counted): one step
// ("History/InstructionView_DeleteInstructions" or the keys given); refused
// as a whole (false, nothing recorded) for a block, a node of no trigger or
// nodes of different triggers. Clears the trigger's current node.
bool DeleteInstructions(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes,
                        SStepKeys keys = {"History/InstructionView_DeleteInstruction",
                                          "History/InstructionView_DeleteInstructions"});
// "History/InstructionView_EnableInstruction"; false for a root block, when
// the flag has that value already, or to enable an incomplete instruction.
bool SetInstructionEnabled(CApplicationDocument& document, const CCodeBase* node, bool enabled);
// Many at once ("History/InstructionView_EnableInstructions"): those whose
// flag would not change, root blocks and, to be enabled, incomplete ones are
// skipped; false, nothing recorded, when none is left.
bool SetInstructionsEnabled(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes, bool enabled);
// Whether `dragged` may be dropped on `target`: an instruction onto a node of
// the same type in the same trigger, other than itself and not inside itself.
bool CanDropInstruction(const CCodeBase* dragged, const CCodeBase* target);
// Drag and drop: onto an instruction of the same block the dragged one ends
// right after it; onto a block it becomes the block's first instruction;
// onto an instruction elsewhere it goes right after it. It becomes the
// current node. "History/InstructionView_DragDropInstruction" only when
// something moves.
bool DropInstruction(CApplicationDocument& document, const CCodeBase* dragged, const CCodeBase* target);
// Many instructions of one trigger, those inside another given one going
// along with it: onto a block they become its first instructions, onto an
// instruction they go right after it, in tree order; the last one becomes the
// current node ("History/InstructionView_DragDropInstructions"). Refused as
// a whole (false, nothing recorded) when any of them cannot be dropped there
// (CanDropInstruction: of another block type among them), and false when
// they lie there already.
bool DropInstructions(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes,
                      const CCodeBase* target);

// The instruction dialog is bracketed by a step, recorded before it opens so
// that the variables it creates are part of it:
// New: records "History/InstructionView_NewInstruction" for root block
// `rootBlock` of the current trigger (false, nothing recorded, without one,
// for a trigger that is code or a block index out of range).
bool BeginNewInstruction(CApplicationDocument& document, std::size_t rootBlock);
// Confirmed: the instruction is enabled and placed by the current node:
// appended to the current node when it is a block inside root block
// `rootBlock`, right after it when it is an instruction there, else appended
// to the root block; it becomes the current node.
bool PlaceNewInstruction(CApplicationDocument& document, std::size_t rootBlock, std::unique_ptr<CCodeBase> instruction);
// The instruction the dialog edits: the current node, or the structure of a
// current nested block; null for none or a root block.
CCodeBase* InstructionToEdit(const CState& state);
// Edit: records "History/InstructionView_InstructionChanged" and returns
// InstructionToEdit after it, a copy the step made (null, nothing recorded, when there is none).
CCodeBase* BeginEditInstruction(CApplicationDocument& document);
// Confirmed: the instruction, enabled, takes the edited one's place and becomes the current node.
bool ReplaceInstruction(CApplicationDocument& document, std::unique_ptr<CCodeBase> instruction);
// Cancelled (new or edit): the step is renamed to
// "History/Variables_VariablesChanged" when the dialog changed variables,
// and taken back otherwise.
void CancelInstructionDialog(CApplicationDocument& document, bool variablesChanged);

} // namespace bram
