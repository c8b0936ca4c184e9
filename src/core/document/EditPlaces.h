#pragma once
// How the document's edits find again what they change: a step makes a fresh
// copy of the state, so nodes are named by what survives it (trigger id and
// node path); categories and entries are not copied and keep their pointers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace bram {

class CApplicationDocument;
class CCategory;
class CCategorySystem;
class CCodeBase;
class CCodeTrigger;
class CState;
class CTriggerEntry;

// Where an entry is: its category and its index there.
struct SEntryPlace {
    CCategory* category = nullptr;
    std::size_t index = 0;
};
std::optional<SEntryPlace> PlaceOfEntry(const CCategorySystem& categories, const CTriggerEntry* entry);
// The entries in the tree's order (by category, then place), each once;
// none when one is not the system's.
std::optional<std::vector<CTriggerEntry*>> EntriesInTreeOrder(const CCategorySystem& categories,
                                                              const std::vector<CTriggerEntry*>& entries);
// Whether the category belongs to the system.
bool IsOurs(const CCategorySystem& categories, const CCategory* category);

// A node of the current state by its trigger's id and its path.
struct SNodePlace {
    std::uint32_t trigger = 0;
    std::vector<std::size_t> path;
};
// None for a node of no trigger of the current state.
std::optional<SNodePlace> PlaceOfNode(const CApplicationDocument& document, const CCodeBase* node);
CCodeTrigger* TriggerAt(const CApplicationDocument& document, const SNodePlace& place);
CCodeBase* NodeAt(const CApplicationDocument& document, const SNodePlace& place);

// Selected instructions of one trigger of the current state, in tree order,
// each with its path; those inside another of them are left out (they go
// along with it), and so are repeated ones.
struct SInstructionSet {
    std::uint32_t trigger = 0;
    std::vector<const CCodeBase*> nodes;
    std::vector<std::vector<std::size_t>> paths;
};
// None for no nodes, a node that is no placed instruction of the current
// state, or nodes of different triggers.
std::optional<SInstructionSet> OutermostInstructions(const CApplicationDocument& document,
                                                     const std::vector<const CCodeBase*>& nodes);

bool IsInstruction(const CCodeBase* node);
bool IsBlock(const CCodeBase* node);
// An instruction that lies in a block (not a call inside a parameter).
bool IsPlacedInstruction(const CCodeBase* node);

} // namespace bram
