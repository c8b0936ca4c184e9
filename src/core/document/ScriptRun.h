#pragma once
// Running the generated script: the [Run] settings that say how, the
// temporary files a run uses, error messages mapped back to the trigger and
// instruction that wrote the line they name, and the trace a run with trace
// reports (counted as it arrives, the most recent entries kept).

#include "code/ScriptLineMap.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bram {

class CApplicationDocument;
class CState;

struct SRunSettings {
    // [Run] Command: the program and its arguments, "%1" the script. Empty:
    // the settings do not say how to run a script.
    std::string command;
    // [Run] ErrorLine: a regular expression whose first group is the script's
    // line in an error message.
    std::string errorLine;
    // [Run] Timeout in seconds.
    double timeout = 60;
};
// From the current application's settings.
SRunSettings ReadRunSettings();

// The environment variable that names the stream the runtime writes the
// trace to: one line per traced place, the trigger's script name, a tab and
// the place (child indexes joined by "/", empty for the trigger's entry).
inline constexpr const char* kTraceVariable = "BRAMBLETON_TRACE";

// The generated script in a temporary folder of its own (with a FIFO for the
// trace), removed again with this object.
class CRunFiles {
public:
    CRunFiles() = default;
    ~CRunFiles();
    CRunFiles(const CRunFiles&) = delete;
    CRunFiles& operator=(const CRunFiles&) = delete;

    // False with the reason in *error when the files could not be written.
    bool Create(const CApplicationDocument& document, bool trace, std::string* error);
    const std::string& GetScriptPath() const { return m_script; }
    // Empty without trace.
    const std::string& GetTracePath() const { return m_trace; }
    const CScriptLineMap& GetLines() const { return m_lines; }
    std::size_t GetLineOffset() const { return m_lineOffset; }

private:
    std::string m_folder;
    std::string m_script;
    std::string m_trace;
    CScriptLineMap m_lines;
    std::size_t m_lineOffset = 0;
};

// A place of the document as a run reports it.
struct SRunPlace {
    bool known = false; // the trigger is in the document
    std::uint32_t triggerId = 0;
    std::string trigger; // the plain name (the script name when unknown)
    std::vector<std::size_t> path;
    std::string place; // "Actions/2/Then/1"; empty for the trigger itself
};

struct SRunError {
    SRunPlace where;
    std::string message; // what follows the line number
};

class CRunErrorMapper {
public:
    CRunErrorMapper(const std::string& errorLine, const CScriptLineMap& lines, std::size_t lineOffset);
    // False (and why in GetError) for an expression that does not compile.
    bool IsValid() const { return m_valid; }
    const std::string& GetError() const { return m_error; }
    // The place of the line a line of standard error names, when it is in a trigger.
    std::optional<SRunError> Map(std::string_view line, const CState& state) const;

private:
    std::regex m_expression;
    bool m_valid = false;
    std::string m_error;
    const CScriptLineMap& m_lines;
    std::size_t m_lineOffset;
};

class CTraceCollector {
public:
    struct SEntry {
        std::string scriptName;
        std::vector<std::size_t> path;
        bool entry = false; // the trigger's own entry
        std::uint64_t count = 0;
    };

    explicit CTraceCollector(std::size_t keep = 10000) : m_keep(keep) {}
    // Data as it arrives, in pieces of any size.
    void Feed(std::string_view data);
    // A last line without a line break.
    void Finish();

    const std::vector<SEntry>& GetEntries() const { return m_entries; }
    // Indexes into GetEntries, oldest first, at most `keep`.
    const std::deque<std::uint32_t>& GetRecent() const { return m_recent; }
    std::uint64_t GetTotal() const { return m_total; }

    // The place of an entry in the state: its trigger by script name.
    static SRunPlace Resolve(const SEntry& entry, const CState& state);
    // The entries in document order (trigger, then tree order; unknown last).
    std::vector<std::pair<SRunPlace, std::uint64_t>> CountsInOrder(const CState& state) const;

private:
    void AddLine(std::string_view line);

    std::size_t m_keep;
    std::string m_partial;
    std::vector<SEntry> m_entries;
    std::unordered_map<std::string, std::uint32_t> m_index;
    std::deque<std::uint32_t> m_recent;
    std::uint64_t m_total = 0;
};

} // namespace bram
