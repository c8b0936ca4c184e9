#pragma once
// What the script preview shows and how it colours it: the generated text of
// the current trigger (the whole script when there is none), and the words
// of the target language that the highlighter picks out, taken from the
// modules and the generation settings rather than built in.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace bram {

class CApplicationDocument;
class CCodeBase;
class CCodeTrigger;
class CState;

// The current trigger's function, or the state's script text (without the
// module scripts, which the user does not edit).
std::string PreviewText(const CApplicationDocument& document);

struct SHighlightWords {
    // What starts a comment line ("--"), from the comment type.
    std::string commentPrefix;
    // Opening and closing marks of string literals, from the text types.
    std::vector<std::pair<std::string, std::string>> stringMarks;
    // The script names of the document's variables and triggers.
    std::vector<std::string> names;

    bool operator==(const SHighlightWords&) const = default;
};
SHighlightWords HighlightWords(const CState& state);

// The lines (first, count) of a trigger's preview text that the node wrote;
// count 0 when it wrote none. Found by the node's own lines, indentation
// aside; of instructions with the same lines, the n-th in tree order owns
// the n-th place.
std::pair<std::size_t, std::size_t> PreviewLinesOf(const std::string& previewText, const CCodeTrigger& trigger,
                                                   const CCodeBase& node);

} // namespace bram
