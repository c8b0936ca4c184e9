#pragma once
// Finding text in a document and the places that use a variable: the
// editor's find bar and usages list and `brambleton-cli find` share them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CState;
class CVariableBase;

struct SSearchOptions {
    bool caseSensitive = false; // otherwise Unicode lower case on both sides
    bool wholeWord = false;     // the match is not part of a longer name
};

enum class EMatchPlace { TriggerName, Comment, Code, Instruction, Preamble, Header };

struct SMatch {
    EMatchPlace where;
    // The trigger (none for the preamble and the header).
    bool hasTrigger = false;
    std::uint32_t triggerId = 0;
    std::string trigger{};
    // An instruction's place (CCodeTrigger::GetNodePath and readable).
    std::vector<std::size_t> path{};
    std::string place{};
    // The text searched (an instruction's display text, or the line of a
    // longer text), and where the match starts in the whole searched text.
    std::string text{};
    std::size_t offset = 0;
};

// Trigger names, comments, custom code and instructions (display texts and
// literal values) in trigger order, then the preamble and the header. An
// empty needle finds nothing.
std::vector<SMatch> FindInState(const CState& state, std::string_view needle, const SSearchOptions& options);

// Every instruction with a parameter (or a call given as a value) that uses the variable.
std::vector<SMatch> FindUsages(const CState& state, const CVariableBase& variable);

// "name", "comment", "code", "preamble", "header", or the instruction's place.
std::string MatchPlaceText(const SMatch& match);

} // namespace bram
