#pragma once
// What the script preview shows and how it colours it: the generated text of
// the current trigger (the whole script when there is none), and the words
// of the target language that the highlighter picks out, taken from the
// modules and the generation settings rather than built in.

#include "code/ScriptLineMap.h"

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

// The same text with where each of its lines came from, in one generation.
struct SPreview {
    std::string text;
    CScriptLineMap lines;
};
SPreview PreviewScript(const CApplicationDocument& document);

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

// The lines (first, count) of the preview that the node wrote, as the
// generator recorded them; count 0 when it wrote none.
std::pair<std::size_t, std::size_t> PreviewLinesOf(const CScriptLineMap& lines, const CCodeTrigger& trigger,
                                                   const CCodeBase& node);

} // namespace bram
