#pragma once
// The three-way merge of data files at the level of globals, categories,
// triggers, preamble and header: what one side changed is taken from it,
// what both changed alike is taken once, and what both changed differently
// is a conflict. A conflicting trigger keeps ours in place and gets theirs
// beside it as a disabled copy "NAME_theirs" whose comment names the
// conflict; a conflicting global, category, preamble or header keeps ours.

#include <string>
#include <vector>

namespace bram {

class CApplicationDocument;

struct SMergeConflict {
    std::string kind; // "global", "trigger", "category", "preamble", "header", "document"
    std::string name;
    std::string why;
};

struct SMergeResult {
    // The merged data file, read back by the reader: it always opens.
    std::string data;
    std::vector<SMergeConflict> conflicts;
};

SMergeResult MergeDocuments(const CApplicationDocument& base, const CApplicationDocument& ours,
                            const CApplicationDocument& theirs);

} // namespace bram
