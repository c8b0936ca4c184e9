#pragma once
// A data file put together from the triggers and globals of other documents
// (the merge's result), written by the data file writer so that the reader
// takes it as it takes any saved file.

#include <string>
#include <utility>
#include <vector>

namespace bram {

class CCodeTrigger;
class CUserDefinedVariable;

struct SAssembledTrigger {
    const CCodeTrigger* trigger = nullptr;
    // Written under this name (empty: its own); a copy may be disabled and
    // given another comment.
    std::string name{};
    bool disable = false;
    bool replaceComment = false;
    std::string comment{};
};

struct SAssembledDocument {
    std::vector<const CUserDefinedVariable*> globals;
    std::vector<SAssembledTrigger> triggers; // in the file's order
    std::vector<std::pair<std::string, std::vector<std::string>>> categories;
    std::string preamble;
    std::string header;
};

// The data file; the needed modules are those its triggers and globals use.
std::string WriteAssembledDataFile(const SAssembledDocument& document);

} // namespace bram
