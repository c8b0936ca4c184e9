#pragma once
// Cut, copy and paste of triggers, categories and instructions. What a copy
// gives is put on the system clipboard by the editor: the fragment (data file
// XML) under the private type, the script text of the selection as plain text.
// A selection of many triggers or instructions is one fragment.
//
// A paste reads the fragment strictly, as a data file: a broken fragment or
// one that needs a module the document has not loaded is refused with the
// reason, and the document is left as it was. Names are made unique with the
// "_2", "_3" rule; variables are matched by name and type (see Fragment.h).
// Each paste and cut is one step: "History/Clipboard_Paste", "History/Clipboard_Cut".
//
// A cut of triggers followed by a paste of that fragment into the same
// document is a move: parameters of other triggers that referred to the cut
// triggers, and are still empty then, refer to the pasted ones, as after a
// drag. Only the first such paste moves; a second one is a copy.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CApplicationDocument;
class CCategory;
class CCodeBase;
class CTriggerEntry;

inline constexpr std::string_view kFragmentMimeType = "application/x-brambleton-fragment";

struct SClipboardContent {
    std::string fragment;
    std::string code;
};

// The trigger of the entry; a category with its triggers; a placed
// instruction with everything in it. None when there is nothing to copy.
std::optional<SClipboardContent> CopyTrigger(const CApplicationDocument& document, const CTriggerEntry* entry);
std::optional<SClipboardContent> CopyCategory(const CApplicationDocument& document, const CCategory* category);
std::optional<SClipboardContent> CopyInstruction(const CApplicationDocument& document, const CCodeBase* node);

// Many: triggers in the tree's order (their fragment's order, which a paste
// into a category keeps), none when an entry is not the document's; placed
// instructions of one trigger and one block type in tree order, those inside
// another given one going along with it, none otherwise. One item is the
// copy of that item.
std::optional<SClipboardContent> CopyTriggers(const CApplicationDocument& document,
                                              const std::vector<CTriggerEntry*>& entries);
std::optional<SClipboardContent> CopyInstructions(const CApplicationDocument& document,
                                                  const std::vector<const CCodeBase*>& nodes);

// The copy, then the deletion as the step "History/Clipboard_Cut".
std::optional<SClipboardContent> CutTrigger(CApplicationDocument& document, CTriggerEntry* entry);
std::optional<SClipboardContent> CutCategory(CApplicationDocument& document, CCategory* category);
std::optional<SClipboardContent> CutInstruction(CApplicationDocument& document, const CCodeBase* node);
// The copy of many, then their deletion as one step: "History/Clipboard_Cut"
// for one, else "History/Clipboard_CutTriggers" / "History/Clipboard_CutInstructions" with the count.
std::optional<SClipboardContent> CutTriggers(CApplicationDocument& document,
                                             const std::vector<CTriggerEntry*>& entries);
std::optional<SClipboardContent> CutInstructions(CApplicationDocument& document,
                                                 const std::vector<const CCodeBase*>& nodes);

enum class EPasteResult {
    Pasted,
    // The fragment does not fit the selection (an instruction for a block of
    // another type, triggers without a category): nothing is changed.
    WrongPlace,
    // The fragment is broken or needs what the document lacks: nothing is changed.
    Refused,
};

struct SPasteOutcome {
    EPasteResult result = EPasteResult::Refused;
    std::string reason;
};

// Where a paste goes: triggers into `category`; a category is added as a new
// one wherever the selection is; instructions right after `node` when it is
// a placed instruction, at the end of `node` when it is a block, in the
// fragment's order.
struct SPasteTarget {
    CCategory* category = nullptr;
    const CCodeBase* node = nullptr;
};

// What a cut of triggers keeps for the paste that moves them, held by the
// document: each parameter of another trigger that referred to a cut one,
// named by what survives history steps (trigger id, node path, parameter
// indexes), never by pointer.
struct SCutReference {
    // The referring trigger and the path of its placed instruction.
    std::uint32_t trigger = 0;
    std::vector<std::size_t> path;
    // Parameter indexes from the placed instruction down through the calls
    // given to its parameters; the last names the parameter.
    std::vector<std::size_t> parameters;
    // The definition of the instruction or call that holds the parameter.
    std::string holder;
    // The cut trigger, as its index among the fragment's, and the type of
    // its trigger variable the parameter held.
    std::size_t cutTrigger = 0;
    std::string type;
    // The placed instruction was enabled before the cut emptied the parameter.
    bool enabled = false;
};

struct SCutMove {
    std::string fragment;
    // The cut triggers' ids: while one is back (the cut undone) a paste is a copy.
    std::vector<std::uint32_t> cutTriggers;
    std::vector<SCutReference> references;
};

// The last pasted instruction becomes the current node; pasted triggers are
// the last ones of their category.
SPasteOutcome Paste(CApplicationDocument& document, std::string_view fragment, const SPasteTarget& target);

} // namespace bram
