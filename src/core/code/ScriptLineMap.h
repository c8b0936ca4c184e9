#pragma once
// Which trigger and which instruction wrote each line of a generated script,
// recorded by the generator while it writes (CState::GetCode and
// CCodeTrigger::GetCode with a CCodeWriter), so that the preview can mark an
// instruction's lines and an error message's line can be traced back to
// the instruction that wrote it. Lines are 0-based lines of the generated
// text, before any module script is put in front of it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace bram {

class CCodeTrigger;
class CTypeInfo;

class CScriptLineMap {
public:
    struct STrigger {
        std::uint32_t id = 0;
        std::size_t first = 0;
        std::size_t count = 0;
    };
    // Small: a large document has hundreds of thousands.
    struct SInstruction {
        std::uint32_t trigger = 0; // index into the triggers
        std::uint32_t pathStart = 0;
        std::uint32_t pathLength = 0;
        std::uint32_t first = 0;
        // 0: the instruction wrote nothing (disabled); while it is written,
        // where it starts (bytes).
        std::size_t count = 0;
    };
    // Where a line came from; found false for lines outside every trigger.
    struct SPlace {
        bool found = false;
        std::uint32_t triggerId = 0;
        // CCodeTrigger::GetNodePath of the innermost instruction; empty when
        // the line belongs to the trigger but to none of its instructions.
        std::vector<std::size_t> path;
    };

    const std::vector<STrigger>& GetTriggers() const { return m_triggers; }
    const std::vector<SInstruction>& GetInstructions() const { return m_instructions; }
    std::span<const std::uint32_t> PathOf(const SInstruction& instruction) const
    {
        return {m_paths.data() + instruction.pathStart, instruction.pathLength};
    }

    // The lines (first, count) the instruction at `path` of the trigger wrote;
    // count 0 when it wrote none or is not in the map.
    std::pair<std::size_t, std::size_t> LinesOf(std::uint32_t triggerId, std::span<const std::size_t> path) const;
    SPlace PlaceOfLine(std::size_t line) const;
    bool IsEmpty() const { return m_triggers.empty(); }
    void Clear();
    // Room for a map of that many triggers and instructions (as the last one had).
    void Reserve(std::size_t triggers, std::size_t instructions, std::size_t pathLength);
    std::size_t GetPathLength() const { return m_paths.size(); }

private:
    friend class CCodeWriter;

    std::vector<STrigger> m_triggers;
    // In the order they were written: a structure comes before what its blocks hold.
    std::vector<SInstruction> m_instructions;
    std::vector<std::uint32_t> m_paths;
};

// What the generator writes besides the script itself: the line map and,
// when running with trace, the trace statements. Passed down to the blocks
// and structures; the plain AppendCode writes without one.
class CCodeWriter {
public:
    // Either may be null: no map, no trace.
    CCodeWriter(CScriptLineMap* lines, const std::string* traceStatement, const CTypeInfo* traceType);

    bool IsTracing() const { return m_traceStatement != nullptr; }
    CScriptLineMap* GetLines() const { return m_lines; }

    // The script's first line starts at the end of `out`.
    void StartAt(const std::string& out)
    {
        m_counted = out.size();
        m_line = 0;
    }
    // Called by the generator around a trigger and each instruction of a block.
    void BeginTrigger(const std::string& out, std::uint32_t id, const std::string& scriptName);
    void EndTrigger(const std::string& out);
    void PushIndex(std::size_t index) { m_path.push_back(static_cast<std::uint32_t>(index)); }
    void PopIndex() { m_path.pop_back(); }
    // The instruction whose place is the current path starts writing / has written.
    std::size_t BeginInstruction(const std::string& out);
    void EndInstruction(const std::string& out, std::size_t entry);

    // Whether a block of that type gets trace statements.
    bool TracesBlock(const CTypeInfo* type) const { return m_traceStatement != nullptr && type == m_traceType; }
    // The first traced block of a trigger writes the trigger's entry.
    bool TakeEntry();
    // The trace statement for the current path (empty path: the trigger's entry).
    void AppendTrace(std::string& out, bool entry) const;
    // Takes back what was written after `size` (a trace statement before an
    // instruction that wrote nothing).
    void Truncate(std::string& out, std::size_t size);

    // After the whole text is written: a line map that no longer matches the
    // text (the script type's conversion changed its lines) is emptied.
    void Finish(const std::string& before, const std::string& after);

private:
    std::size_t LineAt(const std::string& out);

    CScriptLineMap* m_lines;
    const std::string* m_traceStatement;
    const CTypeInfo* m_traceType;
    // The trace statement split once: literal text, then which placeholder
    // follows it (0 the script name, 1 the place, -1 none).
    std::vector<std::pair<std::string, int>> m_tracePieces;
    std::vector<std::uint32_t> m_path;
    std::string m_scriptName;
    bool m_entryPending = false;
    // Lines counted so far, up to m_counted bytes of the output.
    std::size_t m_line = 0;
    std::size_t m_counted = 0;
};

} // namespace bram
