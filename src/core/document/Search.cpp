#include "document/Search.h"

#include "base/Text.h"
#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/State.h"
#include "code/Values.h"
#include "code/Variables.h"
#include "document/NodeWalk.h"

namespace bram {

namespace {

bool IsWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Knuth-Morris-Pratt: every occurrence in one pass over the text, so a long
// needle in a long text (or a whole word tried at many places) stays linear.
class CMatcher {
public:
    CMatcher(std::string_view needle, const SSearchOptions& options)
        : m_options(options),
          m_needle(options.caseSensitive ? std::string(needle) : ToLowerUnicode(needle)),
          m_border(m_needle.size(), 0)
    {
        // m_border[i]: the longest proper prefix of needle[0..i] that also ends there.
        for (std::size_t i = 1, k = 0; i < m_needle.size(); ++i) {
            while (k > 0 && m_needle[i] != m_needle[k]) {
                k = m_border[k - 1];
            }
            if (m_needle[i] == m_needle[k]) {
                ++k;
            }
            m_border[i] = k;
        }
    }

    // Where the needle first stands in the text, or npos. Folding keeps
    // offsets only for ASCII, so a folded text reports its own offsets.
    std::size_t Find(std::string_view text) const
    {
        if (m_needle.empty()) {
            return std::string_view::npos;
        }
        const std::string folded = m_options.caseSensitive ? std::string() : ToLowerUnicode(text);
        const std::string_view hay = m_options.caseSensitive ? text : std::string_view(folded);
        const std::size_t n = m_needle.size();
        for (std::size_t i = 0, k = 0; i < hay.size(); ++i) {
            while (k > 0 && hay[i] != m_needle[k]) {
                k = m_border[k - 1];
            }
            if (hay[i] == m_needle[k]) {
                ++k;
            }
            if (k == n) {
                const std::size_t at = i + 1 - n;
                const std::size_t end = i + 1;
                if (!m_options.wholeWord ||
                    ((at == 0 || !IsWordByte(hay[at - 1])) && (end == hay.size() || !IsWordByte(hay[end])))) {
                    return at;
                }
                k = m_border[k - 1];
            }
        }
        return std::string_view::npos;
    }

private:
    SSearchOptions m_options;
    std::string m_needle;
    std::vector<std::size_t> m_border;
};

// The line of a longer text that holds the offset.
std::string LineAt(std::string_view text, std::size_t offset)
{
    const std::size_t start = text.rfind('\n', offset);
    const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
    const std::size_t end = text.find('\n', offset);
    return std::string(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
}

// The texts of an instruction a search looks at: its display text, then the
// literal values of its parameters and of the calls given as values.
void CollectTexts(const CCodeBase& node, std::vector<std::string>& texts)
{
    for (std::size_t p = 0; p < node.GetParameterCount(); ++p) {
        const CCodeBase* value = node.GetParameter(p)->GetValue();
        if (value == nullptr) {
            continue;
        }
        if (const auto* literal = dynamic_cast<const CStringValue*>(value)) {
            texts.push_back(literal->GetValue());
        } else if (value->GetCodeType() == CodeTypeCall) {
            CollectTexts(*value, texts);
        }
    }
}

bool UsesVariable(const CCodeBase& node, const CVariableBase& variable)
{
    for (std::size_t p = 0; p < node.GetParameterCount(); ++p) {
        const CCodeBase* value = node.GetParameter(p)->GetValue();
        if (value == &variable ||
            (value != nullptr && value->GetCodeType() == CodeTypeCall && UsesVariable(*value, variable))) {
            return true;
        }
    }
    return false;
}

SMatch TriggerMatch(const CCodeTrigger& trigger, EMatchPlace where)
{
    return {.where = where, .hasTrigger = true, .triggerId = trigger.GetId(), .trigger = trigger.GetName()};
}

} // namespace

std::vector<SMatch> FindInState(const CState& state, std::string_view needle, const SSearchOptions& options)
{
    const CMatcher matcher(needle, options);
    std::vector<SMatch> matches;
    auto text = [&](std::string_view searched, SMatch match) {
        if (const std::size_t at = matcher.Find(searched); at != std::string_view::npos) {
            match.text = LineAt(searched, std::min(at, searched.size()));
            match.offset = at;
            matches.push_back(std::move(match));
        }
    };
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        const CCodeTrigger& trigger = *state.GetTrigger(i);
        text(trigger.GetName(), TriggerMatch(trigger, EMatchPlace::TriggerName));
        text(trigger.GetComment(), TriggerMatch(trigger, EMatchPlace::Comment));
        if (trigger.IsCode()) {
            text(trigger.GetCodeText(), TriggerMatch(trigger, EMatchPlace::Code));
        }
        ForEachInstruction(
            trigger, [&](const CCodeBase& instruction, const std::vector<std::size_t>& path, const std::string& place) {
                std::vector<std::string> texts{instruction.GetText()};
                CollectTexts(instruction, texts);
                for (const std::string& searched : texts) {
                    if (matcher.Find(searched) != std::string_view::npos) {
                        SMatch match = TriggerMatch(trigger, EMatchPlace::Instruction);
                        match.path = path;
                        match.place = place;
                        match.text = texts.front();
                        matches.push_back(std::move(match));
                        break;
                    }
                }
            });
    }
    text(state.GetPreamble(), {.where = EMatchPlace::Preamble});
    text(state.GetHeader(), {.where = EMatchPlace::Header});
    return matches;
}

std::vector<SMatch> FindUsages(const CState& state, const CVariableBase& variable)
{
    std::vector<SMatch> matches;
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        const CCodeTrigger& trigger = *state.GetTrigger(i);
        ForEachInstruction(
            trigger, [&](const CCodeBase& instruction, const std::vector<std::size_t>& path, const std::string& place) {
                if (UsesVariable(instruction, variable)) {
                    SMatch match = TriggerMatch(trigger, EMatchPlace::Instruction);
                    match.path = path;
                    match.place = place;
                    match.text = instruction.GetText();
                    matches.push_back(std::move(match));
                }
            });
    }
    return matches;
}

std::string MatchPlaceText(const SMatch& match)
{
    switch (match.where) {
    case EMatchPlace::TriggerName: return "name";
    case EMatchPlace::Comment: return "comment";
    case EMatchPlace::Code: return "code";
    case EMatchPlace::Preamble: return "preamble";
    case EMatchPlace::Header: return "header";
    case EMatchPlace::Instruction: return match.place;
    }
    return {};
}

} // namespace bram
