#pragma once
// The document's triggers with the global variables, the trigger variables
// that stand for the triggers, the preamble and the script header. A copy of
// the state is an undo snapshot, so a copy must stay fully usable after the
// source is gone.

#include "code/CodeTrigger.h"

#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bram {

class CState {
public:
    using GlobalList = std::vector<std::unique_ptr<CUserDefinedVariable>>;

    CState() = default;
    ~CState();
    CState(const CState&) = delete;
    CState& operator=(const CState&) = delete;

    std::size_t GetTriggerCount() const { return m_triggers.size(); }
    CCodeTrigger* GetTrigger(std::size_t index) const;
    CCodeTrigger* FindTrigger(std::uint32_t id) const;
    int IndexOfTrigger(const CCodeTrigger* trigger) const;

    // Ids are never reused within a state.
    std::uint32_t NewTriggerId() { return m_nextTriggerId++; }
    std::uint32_t GetNextTriggerId() const { return m_nextTriggerId; }
    void SetNextTriggerId(std::uint32_t id) { m_nextTriggerId = id; }

    // Adds the trigger with one trigger variable per trigger or function type.
    CCodeTrigger* AddTrigger(std::unique_ptr<CCodeTrigger> trigger);
    // Deletes the trigger and its trigger variables (emptying their users).
    void DeleteTrigger(std::size_t index);

    CCodeTrigger* GetCurrentTrigger() const;
    int GetCurrentTriggerId() const { return m_currentTriggerId; }
    void SetCurrentTrigger(int id);

    std::size_t GetGlobalCount() const { return m_globals.size(); }
    CUserDefinedVariable* GetGlobal(std::size_t index) const;
    GlobalList& GetGlobals() { return m_globals; }
    const GlobalList& GetGlobals() const { return m_globals; }
    // A global taken out of the list goes here instead of being destroyed:
    // the undo history keeps it (emptying its users once it holds their
    // triggers) while one of its steps is open, else it is destroyed.
    void RetireGlobal(std::unique_ptr<CUserDefinedVariable> global);
    void SetGlobalRetirement(std::function<void(std::unique_ptr<CUserDefinedVariable>)> retire)
    {
        m_retireGlobal = std::move(retire);
    }

    std::size_t GetTriggerVariableCount() const { return m_triggerVariables.size(); }
    CTriggerVariable* GetTriggerVariable(std::size_t index) const;

    const std::string& GetPreamble() const { return m_preamble; }
    void SetPreamble(std::string text) { m_preamble = std::move(text); }
    const std::string& GetHeader() const { return m_header; }
    void SetHeader(std::string text) { m_header = std::move(text); }

    bool UsesModule(const CModuleBase* module) const;
    std::unique_ptr<CState> Clone() const;

    // A trigger with its trigger variables, taken out (detached) and put
    // back as it was: the undo of adding it and its redo, or a deletion
    // that keeps it. Put back the last taken first.
    struct STakenTrigger {
        std::unique_ptr<CCodeTrigger> trigger;
        std::vector<std::unique_ptr<CTriggerVariable>> variables;
        std::vector<std::size_t> variablePlaces; // where each stood in the list
        std::size_t index = 0;
    };
    STakenTrigger TakeTrigger(std::size_t index);
    STakenTrigger TakeLastTrigger() { return TakeTrigger(m_triggers.size() - 1); }
    void PutBackTrigger(STakenTrigger taken);
    // Sets the current trigger and the next id as a snapshot held them.
    void RestoreMarks(int currentTriggerId, std::uint32_t nextTriggerId)
    {
        m_currentTriggerId = currentTriggerId;
        m_nextTriggerId = nextTriggerId;
    }
    // About how many bytes the state holds, for the history's budget.
    std::size_t EstimateSize() const;

    // The whole script text.
    std::string GetCode(int level) const { return GetCode(level, nullptr); }
    // With a writer: records where each line came from (and writes trace statements).
    std::string GetCode(int level, CCodeWriter* writer) const;
    // The same appended to `out`.
    void AppendCode(std::string& out, int level, CCodeWriter* writer = nullptr) const;

private:
    std::vector<std::unique_ptr<CCodeTrigger>> m_triggers;
    int m_currentTriggerId = -1;
    std::uint32_t m_nextTriggerId = 0;
    GlobalList m_globals;
    std::vector<std::unique_ptr<CTriggerVariable>> m_triggerVariables;
    std::string m_preamble;
    std::string m_header;
    // The size of the last script, so the next one grows its buffer once.
    mutable std::size_t m_codeSizeHint = 0;
    // The same for the line map: instructions and path entries.
    mutable std::size_t m_mapInstructionHint = 0;
    mutable std::size_t m_mapPathHint = 0;
    // Trigger id -> the first trigger of that id, built when first asked for:
    // copying a category asks for each of its triggers.
    mutable std::unordered_map<std::uint32_t, CCodeTrigger*> m_index;
    mutable bool m_indexValid = false;
    std::function<void(std::unique_ptr<CUserDefinedVariable>)> m_retireGlobal;
};

// Whether a user-defined variable may not take the name, compared as
// identifiers (two names alike would declare one script variable twice): for
// a local of `trigger`, a global or another of its locals has it; for a
// global (trigger null), another global or a local of any trigger. A data
// file names variables and is read locals first, so a local named like a
// global would take over the global's users. `self` (the variable renamed)
// does not count.
bool IsVariableNameTaken(const CState& state, const CCodeTrigger* trigger, std::string_view name,
                         const CUserDefinedVariable* self = nullptr);

} // namespace bram
