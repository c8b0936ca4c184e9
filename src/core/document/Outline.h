#pragma once
// A document as readable text, one fact a line, for version control: the
// needed modules, the globals, the categories with their triggers (flags,
// comment, locals, code, every instruction with its display text and the
// full value of each parameter), the preamble and the header. Every fact the
// data file holds is in it, so two files that save to the same bytes have the
// same outline and two that do not, do not. The diff and the merge compare
// documents through it.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace bram {

class CApplicationDocument;
class CCodeTrigger;
class CUserDefinedVariable;

struct SOutlineInstruction {
    std::string place;               // "Actions/2/Then/1"
    std::string context;             // the place without positions, "Actions/Then"
    std::string text;                // "[disabled] " and the display text
    std::string value;               // the definition and every parameter's full value
    std::vector<std::size_t> path{}; // CCodeTrigger::GetNodePath
};

struct SOutlineTrigger {
    std::string name;
    std::string category;
    std::string flags;
    std::string comment;
    std::vector<std::string> locals; // "name: type"
    std::string code;                // custom code
    std::vector<std::string> blocks; // the root blocks, "Actions {definition : type}"
    std::vector<SOutlineInstruction> instructions;
    // Every line below the trigger's name, without the name: equal bodies
    // are equal triggers but for the name.
    std::string body;
    const CCodeTrigger* source = nullptr;
};

struct SOutlineGlobal {
    std::string name;
    std::string type;
    // "TRIGGER PLACE" of every instruction that uses it.
    std::vector<std::string> uses;
    const CUserDefinedVariable* source = nullptr;
};

struct SOutlineCategory {
    std::string name;
    std::vector<std::string> triggers;
};

struct SOutline {
    std::vector<std::string> modules;
    std::vector<SOutlineGlobal> globals;
    std::vector<SOutlineCategory> categories;
    std::vector<SOutlineTrigger> triggers; // in the data file's order
    std::string preamble;
    std::string header;

    // The trigger of that name, or null.
    const SOutlineTrigger* FindTrigger(const std::string& name) const;
    const SOutlineGlobal* FindGlobal(const std::string& name) const;
    const SOutlineCategory* FindCategory(const std::string& name) const;

    std::unordered_map<std::string, std::size_t> triggerIndex;
};

// The outline of the document's current state and categories; it refers to
// the document's triggers and globals (source) while they live.
SOutline MakeOutline(const CApplicationDocument& document);
std::string RenderOutline(const SOutline& outline);
inline std::string OutlineText(const CApplicationDocument& document) { return RenderOutline(MakeOutline(document)); }

// A text on one outline line: control characters as \xHH (C1 ones as
// \uHHHH) and, unless it only shows what the next line tells exactly (a
// display text), backslashes doubled.
std::string OutlineEscaped(const std::string& text, bool doubleBackslashes = true);

} // namespace bram
