#pragma once
// What the script preview shows and how it colours it: the generated text of
// the current trigger (the whole script when there is none), and the words
// of the target language that the highlighter picks out, taken from the
// modules and the generation settings rather than built in.

#include <string>
#include <utility>
#include <vector>

namespace bram {

class CApplicationDocument;
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

} // namespace bram
