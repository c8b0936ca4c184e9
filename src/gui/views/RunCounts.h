#pragma once
// How often each trigger and instruction ran in the last run with trace, for
// the categories and instruction views to show beside them. The counts
// belong to the state that ran: any other state (an edit, undo, new, open)
// shows none.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bram {
class CCodeBase;
class CState;
class CTraceCollector;
class CTypeInfo;
} // namespace bram

namespace bram::gui {

class CRunCounts {
public:
    void Clear();
    // From a finished run's trace of `state`.
    void Set(const CTraceCollector& trace, const CState& state);
    // Whether there are counts of this state.
    bool IsFor(const CState* state) const { return m_state != nullptr && m_state == state; }

    // Runs of the trigger's entry.
    std::uint64_t OfTrigger(std::uint32_t triggerId) const;
    // Whether the run traced the node (an enabled instruction in a traced block).
    bool IsTraced(const CCodeBase& node) const;
    std::uint64_t OfInstruction(std::uint32_t triggerId, const std::vector<std::size_t>& path) const;
    // "×3", or "never ran" for 0.
    static QString Label(std::uint64_t count);

private:
    const CState* m_state = nullptr;
    const CTypeInfo* m_tracedType = nullptr;
    std::unordered_map<std::uint32_t, std::uint64_t> m_triggers;
    std::map<std::pair<std::uint32_t, std::vector<std::size_t>>, std::uint64_t> m_instructions;
};

} // namespace bram::gui
