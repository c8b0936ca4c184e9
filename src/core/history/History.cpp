#include "history/History.h"

#include "code/Instructions.h"
#include "code/State.h"
#include "log/Assertion.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace bram {

// The other side of a scoped step: before it while the step is done, after
// it while undone.
class CScopedChange {
public:
    CScopedChange(CState& state, const SStepScope& scope)
        : m_texts(scope.texts),
          m_appends(scope.appends),
          m_keepsGlobals(scope.globals),
          m_triggerCount(state.GetTriggerCount()),
          m_globalCount(state.GetGlobalCount()),
          m_current(state.GetCurrentTriggerId()),
          m_next(state.GetNextTriggerId())
    {
        BRAMBLETON_ASSERT(scope.removes.empty() || !scope.appends);
        std::vector<std::uint32_t> kept = scope.triggers;
        const std::vector<std::uint32_t> users = UsersOfRemoved(state, scope.removes);
        kept.insert(kept.end(), users.begin(), users.end());
        Keep(state, kept);
        if (m_texts) {
            m_preamble = state.GetPreamble();
            m_header = state.GetHeader();
        }
        if (m_keepsGlobals) {
            m_globals = ListGlobals(state);
        }
        // All are taken before any parameter is emptied: one removed trigger
        // using another keeps its parameters.
        for (const std::uint32_t id : scope.removes) {
            const int index = state.IndexOfTrigger(state.FindTrigger(id));
            if (index >= 0) {
                m_removed.push_back(state.TakeTrigger(static_cast<std::size_t>(index)));
                m_removedIds.push_back(id);
            }
        }
        for (auto& removed : m_removed) {
            for (auto& variable : removed.variables) {
                variable->DetachUsers();
            }
        }
    }
    CScopedChange(const CScopedChange&) = delete;
    CScopedChange& operator=(const CScopedChange&) = delete;
    ~CScopedChange()
    {
        // Triggers first: their parameters may name the variables kept below.
        for (auto& trigger : m_triggers) {
            CCodeTrigger::DestroyDetached(std::move(trigger));
        }
        for (auto& taken : m_takenTriggers) {
            CCodeTrigger::DestroyDetached(std::move(taken.trigger));
        }
        for (auto& removed : m_removed) {
            CCodeTrigger::DestroyDetached(std::move(removed.trigger));
        }
    }

    // Keeps these triggers too (those not kept yet): the trigger goes on
    // with a copy and the step keeps the nodes themselves, so what was found
    // before the step is there again after undo. Only triggers the edit has
    // not changed yet may be added.
    void Keep(CState& state, const std::vector<std::uint32_t>& ids)
    {
        for (const std::uint32_t id : ids) {
            CCodeTrigger* trigger = state.FindTrigger(id);
            if (trigger == nullptr || Holds(id)) {
                continue;
            }
            std::unique_ptr<CCodeTrigger> kept = trigger->Clone();
            trigger->DetachVariables();
            trigger->SwapContents(*kept); // now the originals
            m_size += kept->EstimateSize();
            m_triggers.push_back(std::move(kept));
        }
    }
    bool KeepsGlobals() const { return m_keepsGlobals; }
    // A global taken out of the list while the step is open.
    void KeepRetired(std::unique_ptr<CUserDefinedVariable> global)
    {
        m_size += 128;
        m_outside.push_back(std::move(global));
    }

    void Undo(CState& state)
    {
        for (auto removed = m_removed.rbegin(); removed != m_removed.rend(); ++removed) {
            state.PutBackTrigger(std::move(*removed));
        }
        m_removed.clear();
        Exchange(state);
        if (!m_appends) {
            return;
        }
        // Last first, each with its trigger variables; then the globals,
        // which only what was taken used.
        while (state.GetTriggerCount() > m_triggerCount) {
            m_takenTriggers.push_back(state.TakeLastTrigger());
        }
        if (m_keepsGlobals) {
            return; // the list went back with the exchange
        }
        auto& globals = state.GetGlobals();
        for (std::size_t i = m_globalCount; i < globals.size(); ++i) {
            m_outside.push_back(std::move(globals[i]));
        }
        globals.resize(std::min(globals.size(), m_globalCount));
    }
    void Redo(CState& state)
    {
        if (!m_keepsGlobals) {
            for (auto& global : m_outside) {
                state.GetGlobals().push_back(std::move(global));
            }
            m_outside.clear();
        }
        for (auto taken = m_takenTriggers.rbegin(); taken != m_takenTriggers.rend(); ++taken) {
            state.PutBackTrigger(std::move(*taken));
        }
        m_takenTriggers.clear();
        Exchange(state);
        // Taken again where they stood; their users are the copies, emptied already.
        for (const std::uint32_t id : m_removedIds) {
            const int index = state.IndexOfTrigger(state.FindTrigger(id));
            BRAMBLETON_ASSERT(index >= 0);
            if (index >= 0) {
                m_removed.push_back(state.TakeTrigger(static_cast<std::size_t>(index)));
            }
        }
    }

    bool Covers(const SStepScope& scope) const
    {
        return (!scope.texts || m_texts) && !scope.appends && (!scope.globals || m_keepsGlobals) &&
               scope.removes.empty() &&
               std::ranges::all_of(scope.triggers, [this](std::uint32_t id) { return Holds(id); });
    }

    void ListTouched(SStepTouch& touch) const
    {
        for (const auto& trigger : m_triggers) {
            touch.triggers.push_back(trigger->GetId());
        }
        touch.triggers.insert(touch.triggers.end(), m_removedIds.begin(), m_removedIds.end());
        touch.texts = m_texts;
        touch.appends = m_appends;
        touch.globals = m_keepsGlobals;
    }

    std::size_t EstimateSize() const
    {
        std::size_t size =
            sizeof(*this) + m_size + m_preamble.capacity() + m_header.capacity() + m_globals.size() * sizeof(SGlobal);
        for (const auto& removed : m_removed) {
            size += removed.trigger->EstimateSize();
        }
        return size;
    }

private:
    // A global as the step's other side has it: which object, under which name.
    struct SGlobal {
        CUserDefinedVariable* variable;
        std::string name;
    };

    static std::vector<SGlobal> ListGlobals(const CState& state)
    {
        std::vector<SGlobal> list;
        list.reserve(state.GetGlobalCount());
        for (const auto& global : state.GetGlobals()) {
            list.push_back({global.get(), global->GetName()});
        }
        return list;
    }

    // The triggers, other than the removed ones, whose parameters use the
    // trigger variables of the removed ones.
    static std::vector<std::uint32_t> UsersOfRemoved(const CState& state, const std::vector<std::uint32_t>& removed)
    {
        std::vector<std::uint32_t> users;
        if (removed.empty()) {
            return users;
        }
        const auto isRemoved = [&removed](std::uint32_t id) { return std::ranges::find(removed, id) != removed.end(); };
        for (std::size_t v = 0; v < state.GetTriggerVariableCount(); ++v) {
            const CTriggerVariable* variable = state.GetTriggerVariable(v);
            if (variable->GetTrigger() == nullptr || !isRemoved(variable->GetTrigger()->GetId())) {
                continue;
            }
            for (const CParameter* parameter : variable->GetUsers()) {
                const CCodeTrigger* user = parameter->GetTrigger();
                if (user != nullptr && !isRemoved(user->GetId())) {
                    users.push_back(user->GetId());
                }
            }
        }
        return users;
    }

    bool Holds(std::uint32_t id) const
    {
        for (const auto& trigger : m_triggers) {
            if (trigger->GetId() == id) {
                return true;
            }
        }
        return false;
    }

    void Exchange(CState& state)
    {
        for (auto& copy : m_triggers) {
            CCodeTrigger* trigger = state.FindTrigger(copy->GetId());
            BRAMBLETON_ASSERT(trigger != nullptr);
            if (trigger == nullptr) {
                continue;
            }
            trigger->DetachVariables();
            trigger->SwapContents(*copy);
            trigger->AttachVariables();
        }
        if (m_texts) {
            std::string preamble = state.GetPreamble();
            std::string header = state.GetHeader();
            state.SetPreamble(std::exchange(m_preamble, std::move(preamble)));
            state.SetHeader(std::exchange(m_header, std::move(header)));
        }
        if (m_keepsGlobals) {
            ExchangeGlobals(state);
        }
        const int current = state.GetCurrentTriggerId();
        const std::uint32_t next = state.GetNextTriggerId();
        state.RestoreMarks(m_current, m_next);
        m_current = current;
        m_next = next;
    }

    // The same objects every time: parameters on both sides point at them.
    // A global's type never changes in place (a new type is a new variable).
    void ExchangeGlobals(CState& state)
    {
        std::vector<SGlobal> now = ListGlobals(state);
        std::unordered_map<const CUserDefinedVariable*, std::unique_ptr<CUserDefinedVariable>> owned;
        for (auto& global : state.GetGlobals()) {
            owned.emplace(global.get(), std::move(global));
        }
        for (auto& global : m_outside) {
            owned.emplace(global.get(), std::move(global));
        }
        state.GetGlobals().clear();
        m_outside.clear();
        for (SGlobal& global : m_globals) {
            const auto it = owned.find(global.variable);
            BRAMBLETON_ASSERT(it != owned.end());
            if (it == owned.end()) {
                continue;
            }
            if (global.variable->GetName() != global.name) {
                global.variable->SetName(std::move(global.name));
            }
            state.GetGlobals().push_back(std::move(it->second));
            owned.erase(it);
        }
        for (auto& [variable, global] : owned) {
            m_outside.push_back(std::move(global));
        }
        m_globals = std::move(now);
    }

    std::vector<std::unique_ptr<CCodeTrigger>> m_triggers;
    bool m_texts;
    bool m_appends;
    bool m_keepsGlobals;
    std::size_t m_triggerCount;
    std::size_t m_globalCount;
    std::string m_preamble;
    std::string m_header;
    int m_current;
    std::uint32_t m_next;
    std::size_t m_size = 0;                             // of the triggers and globals kept
    std::vector<CState::STakenTrigger> m_takenTriggers; // appended ones, last first
    // Removed triggers, in the order taken, while the step is done.
    std::vector<CState::STakenTrigger> m_removed;
    std::vector<std::uint32_t> m_removedIds;
    // Kept globals: the other side's list; and those in no list of the
    // current side (removed while done, added while undone).
    std::vector<SGlobal> m_globals;
    std::vector<std::unique_ptr<CUserDefinedVariable>> m_outside;
};

CCodeHistoryObject::CCodeHistoryObject(std::string name, std::unique_ptr<CState> kept,
                                       std::unique_ptr<CHistoryParam> param)
    : m_name(std::move(name)), m_kept(std::move(kept)), m_param(std::move(param))
{
}

CCodeHistoryObject::CCodeHistoryObject(std::string name, std::unique_ptr<CScopedChange> scoped,
                                       std::unique_ptr<CHistoryParam> param)
    : m_name(std::move(name)), m_param(std::move(param)), m_scoped(std::move(scoped))
{
}

CCodeHistoryObject::CCodeHistoryObject(CCodeHistoryObject&&) noexcept = default;
CCodeHistoryObject& CCodeHistoryObject::operator=(CCodeHistoryObject&&) noexcept = default;
CCodeHistoryObject::~CCodeHistoryObject() = default;

SStepTouch CCodeHistoryObject::GetTouch() const
{
    SStepTouch touch;
    if (m_scoped) {
        m_scoped->ListTouched(touch);
    } else {
        touch.whole = m_kept != nullptr;
    }
    if (m_param) {
        m_param->ListTouched(touch);
    }
    return touch;
}

void CCodeHistoryObject::Undo()
{
    BRAMBLETON_ASSERT(!m_undone);
    m_undone = true;
    if (m_param != nullptr) {
        m_param->Undo();
    }
}

void CCodeHistoryObject::Redo()
{
    BRAMBLETON_ASSERT(m_undone);
    m_undone = false;
    if (m_param != nullptr) {
        m_param->Redo();
    }
}

CHistory::CHistory() = default;

CHistory::~CHistory() { Clear(); }

void CHistory::SetState(std::unique_ptr<CState> state)
{
    m_state = std::move(state);
    m_globalsOpen = false;
    Adopt();
}

void CHistory::Adopt()
{
    if (m_state != nullptr) {
        m_state->SetGlobalRetirement(
            [this](std::unique_ptr<CUserDefinedVariable> global) { RetireGlobal(std::move(global)); });
    }
}

void CHistory::RetireGlobal(std::unique_ptr<CUserDefinedVariable> global)
{
    CScopedChange* scoped = m_globalsOpen && !m_undo.empty() ? m_undo.back().GetScoped() : nullptr;
    if (scoped == nullptr || m_state == nullptr) {
        return; // destroyed, emptying its users: a whole step or none records this state
    }
    // Its users' triggers are kept before their parameters are emptied.
    std::vector<std::uint32_t> users;
    for (const CParameter* parameter : global->GetUsers()) {
        if (const CCodeTrigger* trigger = parameter->GetTrigger()) {
            users.push_back(trigger->GetId());
        }
    }
    CCodeHistoryObject& step = m_undo.back();
    scoped->Keep(*m_state, users);
    global->DetachUsers();
    scoped->KeepRetired(std::move(global));
    const std::size_t size = scoped->EstimateSize();
    m_used = m_used - std::min(m_used, step.GetSize()) + size;
    step.SetSize(size);
}

void CHistory::DropRedoSteps(std::vector<CCodeHistoryObject>& steps)
{
    // Newest first: what a newer step keeps may sit in what an older one keeps.
    while (!steps.empty()) {
        m_used -= std::min(m_used, steps.back().GetSize());
        steps.pop_back();
    }
}

void CHistory::DropSetAside()
{
    DropRedoSteps(m_setAside);
    m_hasSetAside = false;
}

void CHistory::PushStep(CCodeHistoryObject step)
{
    DropSetAside();
    m_setAside = std::move(m_redo);
    m_redo.clear();
    m_hasSetAside = true;
    m_setAsideSavedPoint = m_savedPoint;
    // Only a saved point beyond the current depth lies on the redo branch
    // being dropped; at the current depth it stays one undo away.
    if (static_cast<int>(m_undo.size()) < m_savedPoint) {
        m_savedPoint = -1;
    }
    m_used += step.GetSize();
    m_undo.push_back(std::move(step));
    while (m_budget != 0 && m_used > m_budget && m_undo.size() > 1) {
        DropOldest();
    }
}

void CHistory::Record(std::string name, std::unique_ptr<CHistoryParam> param)
{
    std::unique_ptr<CState> copy = m_state != nullptr ? m_state->Clone() : nullptr;
    const std::size_t size = m_state != nullptr ? m_state->EstimateSize() : 0;
    CCodeHistoryObject step(std::move(name), std::move(m_state), std::move(param));
    step.SetSize(size);
    m_state = std::move(copy);
    m_globalsOpen = false;
    Adopt();
    PushStep(std::move(step));
}

void CHistory::RecordScoped(std::string name, const SStepScope& scope, std::unique_ptr<CHistoryParam> param)
{
    if (m_state == nullptr) {
        Record(std::move(name), std::move(param));
        return;
    }
    auto scoped = std::make_unique<CScopedChange>(*m_state, scope);
    const std::size_t size = scoped->EstimateSize();
    CCodeHistoryObject step(std::move(name), std::move(scoped), std::move(param));
    step.SetSize(size);
    PushStep(std::move(step));
    m_globalsOpen = scope.globals;
}

bool CHistory::LastStepCovers(const SStepScope& scope) const
{
    return !m_undo.empty() && (m_undo.back().GetScoped() == nullptr || m_undo.back().GetScoped()->Covers(scope));
}

SStepTouch CHistory::GetUndoTouch() const { return m_undo.empty() ? SStepTouch{} : m_undo.back().GetTouch(); }

SStepTouch CHistory::GetRedoTouch() const { return m_redo.empty() ? SStepTouch{} : m_redo.back().GetTouch(); }

void CHistory::DropOldest()
{
    CCodeHistoryObject& step = m_undo.front();
    m_used -= std::min(m_used, step.GetSize());
    m_undo.erase(m_undo.begin());
    // Depths shift by one; a saved point at the dropped bottom is gone for good.
    const auto shift = [](int& point) {
        if (point >= 0) {
            --point;
        }
    };
    shift(m_savedPoint);
    shift(m_setAsideSavedPoint);
}

void CHistory::Undo()
{
    BRAMBLETON_ASSERT(CanUndo());
    if (!CanUndo()) {
        return;
    }
    DropSetAside();
    m_globalsOpen = false;
    CCodeHistoryObject& step = m_undo.back();
    if (CScopedChange* scoped = step.GetScoped()) {
        scoped->Undo(*m_state);
    } else {
        std::swap(step.Kept(), m_state);
        Adopt();
    }
    step.Undo();
    m_redo.push_back(std::move(step));
    m_undo.pop_back();
}

void CHistory::Redo()
{
    BRAMBLETON_ASSERT(CanRedo());
    if (!CanRedo()) {
        return;
    }
    DropSetAside();
    m_globalsOpen = false;
    CCodeHistoryObject& step = m_redo.back();
    if (CScopedChange* scoped = step.GetScoped()) {
        scoped->Redo(*m_state);
    } else {
        std::swap(step.Kept(), m_state);
        Adopt();
    }
    step.Redo();
    m_undo.push_back(std::move(step));
    m_redo.pop_back();
}

void CHistory::RemoveLast()
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    CCodeHistoryObject& step = m_undo.back();
    // Taken back with its change: the parameter's part too, so that what it
    // keeps is destroyed with it and what it put in place is gone.
    step.Undo();
    m_globalsOpen = false;
    if (CScopedChange* scoped = step.GetScoped()) {
        scoped->Undo(*m_state);
    } else {
        m_state = std::move(step.Kept());
        Adopt();
    }
    // Saved with the step in place: no depth equals the file now.
    if (m_savedPoint == static_cast<int>(m_undo.size())) {
        m_savedPoint = -1;
    }
    m_used -= std::min(m_used, step.GetSize());
    m_undo.pop_back();
    if (m_hasSetAside) {
        m_redo = std::move(m_setAside);
        m_setAside.clear();
        m_hasSetAside = false;
        m_savedPoint = m_setAsideSavedPoint;
    }
}

void CHistory::RenameLast(std::string name)
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    DropSetAside();
    m_undo.back().SetName(std::move(name));
}

std::string CHistory::GetUndoName() const { return m_undo.empty() ? std::string() : m_undo.back().GetName(); }

std::string CHistory::GetRedoName() const { return m_redo.empty() ? std::string() : m_redo.back().GetName(); }

std::vector<std::string> CHistory::GetUndoNames() const
{
    std::vector<std::string> names;
    names.reserve(m_undo.size());
    for (const CCodeHistoryObject& step : m_undo) {
        names.push_back(step.GetName());
    }
    return names;
}

void CHistory::Clear()
{
    // Newest first, as in DropRedo.
    while (!m_undo.empty()) {
        m_undo.pop_back();
    }
    m_used = 0;
    DropRedo();
    DropSetAside();
    m_state.reset();
    m_globalsOpen = false;
}

} // namespace bram
