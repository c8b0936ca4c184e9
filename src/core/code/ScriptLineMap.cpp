#include "code/ScriptLineMap.h"

#include "localization/Localization.h"

#include <algorithm>

namespace bram {

// ---- CScriptLineMap -----------------------------------------------------------

std::pair<std::size_t, std::size_t> CScriptLineMap::LinesOf(std::uint32_t triggerId,
                                                            std::span<const std::size_t> path) const
{
    for (const SInstruction& entry : m_instructions) {
        if (m_triggers[entry.trigger].id != triggerId || entry.pathLength != path.size()) {
            continue;
        }
        const std::span<const std::uint32_t> own = PathOf(entry);
        if (std::equal(own.begin(), own.end(), path.begin(), path.end(),
                       [](std::uint32_t a, std::size_t b) { return a == b; })) {
            return entry.count == 0 ? std::pair<std::size_t, std::size_t>{0, 0}
                                    : std::pair<std::size_t, std::size_t>{entry.first, entry.count};
        }
    }
    return {0, 0};
}

CScriptLineMap::SPlace CScriptLineMap::PlaceOfLine(std::size_t line) const
{
    SPlace place;
    const auto trigger = std::find_if(m_triggers.begin(), m_triggers.end(),
                                      [&](const STrigger& t) { return line >= t.first && line < t.first + t.count; });
    if (trigger == m_triggers.end()) {
        return place;
    }
    place.found = true;
    place.triggerId = trigger->id;
    const auto triggerIndex = static_cast<std::size_t>(trigger - m_triggers.begin());
    // Written in tree order: the last range holding the line is the innermost.
    const auto after = std::upper_bound(m_instructions.begin(), m_instructions.end(), line,
                                        [](std::size_t l, const SInstruction& e) { return l < e.first; });
    for (auto it = std::make_reverse_iterator(after); it != m_instructions.rend(); ++it) {
        if (it->trigger != triggerIndex) {
            break;
        }
        if (line >= it->first && line < it->first + it->count) {
            const std::span<const std::uint32_t> own = PathOf(*it);
            place.path.assign(own.begin(), own.end());
            break;
        }
    }
    return place;
}

void CScriptLineMap::Reserve(std::size_t triggers, std::size_t instructions, std::size_t pathLength)
{
    m_triggers.reserve(triggers);
    m_instructions.reserve(instructions);
    m_paths.reserve(pathLength);
}

void CScriptLineMap::Clear()
{
    m_triggers.clear();
    m_instructions.clear();
    m_paths.clear();
}

// ---- CCodeWriter --------------------------------------------------------------

CCodeWriter::CCodeWriter(CScriptLineMap* lines, const std::string* traceStatement, const CTypeInfo* traceType)
    : m_lines(lines), m_traceStatement(traceStatement), m_traceType(traceType)
{
    if (traceStatement == nullptr) {
        return;
    }
    const std::string names[] = {FormatParameterPlaceholder(0), FormatParameterPlaceholder(1)};
    std::string_view rest = *traceStatement;
    for (;;) {
        std::size_t at = std::string_view::npos;
        int which = -1;
        for (int i = 0; i < 2; ++i) {
            const std::size_t found = rest.find(names[i]);
            if (found < at) {
                at = found;
                which = i;
            }
        }
        if (which < 0) {
            m_tracePieces.emplace_back(std::string(rest), -1);
            break;
        }
        m_tracePieces.emplace_back(std::string(rest.substr(0, at)), which);
        rest.remove_prefix(at + names[which].size());
    }
}

std::size_t CCodeWriter::LineAt(const std::string& out)
{
    m_line += static_cast<std::size_t>(std::count(out.begin() + static_cast<long>(m_counted), out.end(), '\n'));
    m_counted = out.size();
    return m_line;
}

void CCodeWriter::BeginTrigger(const std::string& out, std::uint32_t id, const std::string& scriptName)
{
    m_path.clear();
    m_scriptName = scriptName;
    m_entryPending = true;
    if (m_lines != nullptr) {
        m_lines->m_triggers.push_back({id, LineAt(out), 0});
    }
}

void CCodeWriter::EndTrigger(const std::string& out)
{
    m_entryPending = false;
    if (m_lines != nullptr && !m_lines->m_triggers.empty()) {
        CScriptLineMap::STrigger& trigger = m_lines->m_triggers.back();
        trigger.count = LineAt(out) - trigger.first;
    }
}

std::size_t CCodeWriter::BeginInstruction(const std::string& out)
{
    if (m_lines == nullptr) {
        return 0;
    }
    CScriptLineMap& map = *m_lines;
    map.m_instructions.push_back({static_cast<std::uint32_t>(map.m_triggers.size() - 1),
                                  static_cast<std::uint32_t>(map.m_paths.size()),
                                  static_cast<std::uint32_t>(m_path.size()), static_cast<std::uint32_t>(LineAt(out)),
                                  static_cast<std::size_t>(0)});
    map.m_paths.insert(map.m_paths.end(), m_path.begin(), m_path.end());
    // Remember where it started, in bytes, until EndInstruction.
    map.m_instructions.back().count = out.size();
    return map.m_instructions.size() - 1;
}

void CCodeWriter::EndInstruction(const std::string& out, std::size_t entry)
{
    if (m_lines == nullptr) {
        return;
    }
    CScriptLineMap::SInstruction& instruction = m_lines->m_instructions[entry];
    if (instruction.count == out.size()) {
        instruction.count = 0; // wrote nothing
        return;
    }
    // Its block writes the line break after it; a text that ends in one of
    // its own has its last line before that.
    const std::size_t last = LineAt(out) - (out.back() == '\n' ? 1 : 0);
    instruction.count = last - instruction.first + 1;
}

bool CCodeWriter::TakeEntry()
{
    const bool pending = m_entryPending;
    m_entryPending = false;
    return pending;
}

void CCodeWriter::AppendTrace(std::string& out, bool entry) const
{
    for (const auto& [literal, which] : m_tracePieces) {
        out += literal;
        if (which == 0) {
            out += m_scriptName;
        } else if (which == 1 && !entry) {
            // The root block's index is part of the place: "2/0/1/0".
            char digits[16];
            for (std::size_t i = 0; i < m_path.size(); ++i) {
                if (i > 0) {
                    out += '/';
                }
                std::uint32_t value = m_path[i];
                char* const end = digits + sizeof digits;
                char* p = end;
                do {
                    *--p = static_cast<char>('0' + value % 10);
                    value /= 10;
                } while (value != 0);
                out.append(p, end);
            }
        }
    }
}

void CCodeWriter::Truncate(std::string& out, std::size_t size)
{
    if (m_counted > size) {
        m_line -= static_cast<std::size_t>(
            std::count(out.begin() + static_cast<long>(size), out.begin() + static_cast<long>(m_counted), '\n'));
        m_counted = size;
    }
    out.resize(size);
}

void CCodeWriter::Finish(const std::string& before, const std::string& after)
{
    if (m_lines != nullptr && &before != &after &&
        std::count(before.begin(), before.end(), '\n') != std::count(after.begin(), after.end(), '\n')) {
        m_lines->Clear();
    }
}

} // namespace bram
