#include "document/ScriptRun.h"

#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/NodeWalk.h"
#include "settings/ApplicationBase.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace bram {

namespace {

std::string Setting(std::string_view key)
{
    CApplicationBase* app = GetApplication();
    return app != nullptr ? app->GetSettingString("Run", key) : std::string();
}

// The readable place of a path of the trigger; empty for the trigger itself.
std::string PlaceOf(const CCodeTrigger& trigger, const std::vector<std::size_t>& path)
{
    const CCodeBase* node = path.empty() ? nullptr : trigger.GetNodeFromPath(path);
    return node != nullptr ? NodePlace(trigger, *node) : std::string();
}

} // namespace

SRunSettings ReadRunSettings()
{
    SRunSettings settings;
    settings.command = Setting("Command");
    settings.errorLine = Setting("ErrorLine");
    const std::string timeout = Setting("Timeout");
    if (!timeout.empty()) {
        char* end = nullptr;
        const double seconds = std::strtod(timeout.c_str(), &end);
        if (end != timeout.c_str() && seconds > 0) {
            settings.timeout = seconds;
        }
    }
    return settings;
}

// ---- CRunFiles ----------------------------------------------------------------

CRunFiles::~CRunFiles()
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool CRunFiles::Create(const CApplicationDocument& document, bool trace, std::string* error)
{
    const auto fail = [&](const std::string& what) {
        if (error != nullptr) {
            *error = what;
        }
        return false;
    };
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/brambleton-run-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return fail(pattern + ": " + std::strerror(errno));
    }
    m_folder = pattern;
    // The script keeps the extension the settings give scripts ("*.lua").
    CApplicationBase* app = GetApplication();
    std::string extension = app != nullptr ? app->GetSettingString("FileExtensions", "GenScriptFileExt") : "";
    extension.erase(0, std::min(extension.find('.'), extension.size()));
    m_script = m_folder + "/script" + extension;
    std::string data;
    try {
        data = document.GenerateScriptData(&m_lines, &m_lineOffset, trace);
    } catch (const CException& e) {
        return fail(e.GetErrorMessage());
    }
    std::ofstream out(m_script, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        return fail(m_script + ": " + std::strerror(errno));
    }
    if (trace) {
        m_trace = m_folder + "/trace";
        if (mkfifo(m_trace.c_str(), 0600) != 0) {
            return fail(m_trace + ": " + std::strerror(errno));
        }
    }
    return true;
}

// ---- CRunErrorMapper ------------------------------------------------------------

CRunErrorMapper::CRunErrorMapper(const std::string& errorLine, const CScriptLineMap& lines, std::size_t lineOffset)
    : m_lines(lines), m_lineOffset(lineOffset)
{
    if (errorLine.empty()) {
        m_error = "no ErrorLine expression";
        return;
    }
    try {
        m_expression = std::regex(errorLine, std::regex::ECMAScript);
        m_valid = m_expression.mark_count() >= 1;
        if (!m_valid) {
            m_error = "the ErrorLine expression '" + errorLine + "' has no group for the line";
        }
    } catch (const std::regex_error& e) {
        m_error = "the ErrorLine expression '" + errorLine + "' is not valid: " + e.what();
    }
}

std::optional<SRunError> CRunErrorMapper::Map(std::string_view line, const CState& state) const
{
    std::match_results<std::string_view::const_iterator> match;
    if (!m_valid || !std::regex_search(line.begin(), line.end(), match, m_expression) || !match[1].matched) {
        return std::nullopt;
    }
    const std::string number = match[1].str();
    if (number.empty() || number.size() > 9 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto scriptLine = static_cast<std::size_t>(std::stoul(number));
    if (scriptLine <= m_lineOffset) {
        return std::nullopt; // a line of a module script
    }
    const CScriptLineMap::SPlace place = m_lines.PlaceOfLine(scriptLine - 1 - m_lineOffset);
    const CCodeTrigger* trigger = place.found ? state.FindTrigger(place.triggerId) : nullptr;
    if (trigger == nullptr) {
        return std::nullopt;
    }
    SRunError error;
    error.where = {true, place.triggerId, trigger->GetName(), place.path, PlaceOf(*trigger, place.path)};
    std::string_view rest = line.substr(static_cast<std::size_t>(match[0].second - line.begin()));
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    error.message = rest.empty() ? std::string(line) : std::string(rest);
    return error;
}

// ---- CTraceCollector ------------------------------------------------------------

void CTraceCollector::Feed(std::string_view data)
{
    while (!data.empty()) {
        const std::size_t end = data.find('\n');
        if (end == std::string_view::npos) {
            m_partial.append(data);
            return;
        }
        if (m_partial.empty()) {
            AddLine(data.substr(0, end));
        } else {
            m_partial.append(data.substr(0, end));
            AddLine(m_partial);
            m_partial.clear();
        }
        data.remove_prefix(end + 1);
    }
}

void CTraceCollector::Finish()
{
    if (!m_partial.empty()) {
        AddLine(m_partial);
        m_partial.clear();
    }
}

void CTraceCollector::AddLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.empty()) {
        return;
    }
    auto it = m_index.find(std::string(line));
    if (it == m_index.end()) {
        SEntry entry;
        const std::size_t tab = line.find('\t');
        entry.scriptName = std::string(line.substr(0, tab));
        const std::string_view path = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        entry.entry = path.empty();
        std::size_t value = 0;
        bool digits = false;
        for (const char c : path) {
            if (c >= '0' && c <= '9') {
                value = value * 10 + static_cast<std::size_t>(c - '0');
                digits = true;
            } else if (digits) {
                entry.path.push_back(value);
                value = 0;
                digits = false;
            }
        }
        if (digits) {
            entry.path.push_back(value);
        }
        m_entries.push_back(std::move(entry));
        it = m_index.emplace(std::string(line), static_cast<std::uint32_t>(m_entries.size() - 1)).first;
    }
    ++m_entries[it->second].count;
    ++m_total;
    m_recent.push_back(it->second);
    if (m_recent.size() > m_keep) {
        m_recent.pop_front();
    }
}

namespace {

SRunPlace PlaceOfEntry(const CTraceCollector::SEntry& entry, const CCodeTrigger* trigger)
{
    SRunPlace place;
    place.trigger = entry.scriptName;
    place.path = entry.path;
    if (trigger != nullptr) {
        place.known = true;
        place.triggerId = trigger->GetId();
        place.trigger = trigger->GetName();
        place.place = PlaceOf(*trigger, entry.path);
    }
    return place;
}

} // namespace

SRunPlace CTraceCollector::Resolve(const SEntry& entry, const CState& state)
{
    for (std::size_t t = 0; t < state.GetTriggerCount(); ++t) {
        if (state.GetTrigger(t)->GetTriggerName() == entry.scriptName) {
            return PlaceOfEntry(entry, state.GetTrigger(t));
        }
    }
    return PlaceOfEntry(entry, nullptr);
}

std::vector<std::pair<SRunPlace, std::uint64_t>> CTraceCollector::CountsInOrder(const CState& state) const
{
    std::unordered_map<std::uint32_t, std::size_t> rankOfId;
    std::unordered_map<std::string, const CCodeTrigger*> byName;
    for (std::size_t t = 0; t < state.GetTriggerCount(); ++t) {
        rankOfId.emplace(state.GetTrigger(t)->GetId(), t);
        byName.emplace(state.GetTrigger(t)->GetTriggerName(), state.GetTrigger(t));
    }
    std::vector<std::pair<std::size_t, std::pair<SRunPlace, std::uint64_t>>> ranked;
    ranked.reserve(m_entries.size());
    for (const SEntry& entry : m_entries) {
        const auto found = byName.find(entry.scriptName);
        SRunPlace place = PlaceOfEntry(entry, found != byName.end() ? found->second : nullptr);
        const std::size_t rank = place.known ? rankOfId[place.triggerId] : state.GetTriggerCount();
        ranked.push_back({rank, {std::move(place), entry.count}});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.first.path < b.second.first.path;
    });
    std::vector<std::pair<SRunPlace, std::uint64_t>> counts;
    counts.reserve(ranked.size());
    for (auto& item : ranked) {
        counts.push_back(std::move(item.second));
    }
    return counts;
}

} // namespace bram
