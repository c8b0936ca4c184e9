#pragma once
// The clipboard's fragment: triggers, a category or instructions in the
// data file's own form, with the definitions of the variables they use.
// Written by the data file writer and read back by its reader, so a fragment
// from another editor is checked as strictly as a file.

#include "document/ApplicationDocument.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bram {

class CBlock;
class CCategory;

enum class EFragmentKind { Triggers, Category, Instruction };

struct SFragmentContent {
    EFragmentKind kind = EFragmentKind::Triggers;
    // Triggers and Category: the triggers, in order; the category's name.
    std::vector<const CCodeTrigger*> triggers{};
    std::string categoryName{};
    // Instruction: placed instructions of one trigger and one block type, in
    // tree order, none inside another, each with its subtree.
    std::vector<const CCodeBase*> instructions{};
};

// The fragment as XML.
std::string WriteFragment(const CApplicationDocument& document, const SFragmentContent& content);

// A fragment that does not fit where it is pasted (an instruction for a block
// of another type, triggers without a category to take them).
class CFragmentPlaceException : public CDocumentException {
public:
    using CDocumentException::CDocumentException;
};

struct SFragmentTarget {
    // For triggers: the document's category that takes them.
    bool hasCategory = false;
    // For an instruction: the block of the current state that takes it.
    CBlock* block = nullptr;
};

struct SFragmentRead {
    EFragmentKind kind = EFragmentKind::Triggers;
    // Triggers and Category: the new triggers of the state, each with the free
    // name its entry is to get; the category's name as written.
    std::vector<std::pair<std::string, std::uint32_t>> triggers;
    std::string categoryName;
    // Instruction: the instructions read, in order, not placed yet.
    using NodeHolder = std::unique_ptr<CCodeBase, void (*)(CCodeBase*)>;
    std::vector<NodeHolder> instructions;
};

// Reads the fragment into the document's current state (the caller has
// recorded the step): variables the target lacks are added, those of the same
// name and type reused, clashing ones added under a free name; triggers get
// new ids, their names are chosen, their entries are the caller's. Throws
// CFragmentPlaceException or CDocumentException (the step is then to be taken back).
SFragmentRead ReadFragment(CApplicationDocument& document, std::string_view xml, const SFragmentTarget& target);

} // namespace bram
