#include "code/State.h"

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/ScriptLineMap.h"
#include "code/Values.h"
#include "generation/GenerationSettings.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

#include <algorithm>
#include <unordered_map>

namespace bram {

CState::~CState()
{
    m_triggers.clear();
    m_triggerVariables.clear();
    m_globals.clear();
}

CCodeTrigger* CState::GetTrigger(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_triggers.size());
    return index < m_triggers.size() ? m_triggers[index].get() : nullptr;
}

CCodeTrigger* CState::FindTrigger(std::uint32_t id) const
{
    if (!m_indexValid) {
        m_index.clear();
        for (const auto& trigger : m_triggers) {
            m_index.emplace(trigger->GetId(), trigger.get()); // the first of an id stays
        }
        m_indexValid = true;
    }
    const auto it = m_index.find(id);
    return it == m_index.end() ? nullptr : it->second;
}

int CState::IndexOfTrigger(const CCodeTrigger* trigger) const
{
    for (std::size_t i = 0; i < m_triggers.size(); ++i) {
        if (m_triggers[i].get() == trigger) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CCodeTrigger* CState::AddTrigger(std::unique_ptr<CCodeTrigger> trigger)
{
    BRAMBLETON_ASSERT(trigger != nullptr);
    if (trigger == nullptr) {
        return nullptr;
    }
    for (const CTypeInfo* type : GetAllTypes()) {
        if ((type->GetRealType() & (RealTypeTrigger | RealTypeFunction)) != 0) {
            m_triggerVariables.push_back(std::make_unique<CTriggerVariable>(trigger.get(), type));
        }
    }
    m_triggers.push_back(std::move(trigger));
    if (m_indexValid) {
        m_index.emplace(m_triggers.back()->GetId(), m_triggers.back().get());
    }
    return m_triggers.back().get();
}

void CState::DeleteTrigger(std::size_t index)
{
    BRAMBLETON_ASSERT(index < m_triggers.size());
    if (index >= m_triggers.size()) {
        return;
    }
    CCodeTrigger* trigger = m_triggers[index].get();
    for (std::size_t j = m_triggerVariables.size(); j-- > 0;) {
        if (m_triggerVariables[j]->GetTrigger() == trigger) {
            m_triggerVariables.erase(m_triggerVariables.begin() + static_cast<long>(j));
        }
    }
    if (m_currentTriggerId >= 0 && static_cast<std::uint32_t>(m_currentTriggerId) == trigger->GetId()) {
        m_currentTriggerId = -1;
    }
    if (const auto it = m_index.find(trigger->GetId()); it != m_index.end() && it->second == trigger) {
        m_indexValid = false; // a later trigger of the same id may stand in
        m_index.erase(it);
    }
    m_triggers.erase(m_triggers.begin() + static_cast<long>(index));
}

CCodeTrigger* CState::GetCurrentTrigger() const
{
    return m_currentTriggerId < 0 ? nullptr : FindTrigger(static_cast<std::uint32_t>(m_currentTriggerId));
}

void CState::SetCurrentTrigger(int id)
{
    const bool valid =
        id == -1 || (id >= 0 && static_cast<std::uint32_t>(id) < m_nextTriggerId &&
                     (id == m_currentTriggerId || FindTrigger(static_cast<std::uint32_t>(id)) != nullptr));
    BRAMBLETON_ASSERT(valid);
    if (valid) {
        m_currentTriggerId = id;
    }
}

CUserDefinedVariable* CState::GetGlobal(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_globals.size());
    return index < m_globals.size() ? m_globals[index].get() : nullptr;
}

CTriggerVariable* CState::GetTriggerVariable(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_triggerVariables.size());
    return index < m_triggerVariables.size() ? m_triggerVariables[index].get() : nullptr;
}

bool CState::UsesModule(const CModuleBase* module) const
{
    for (const auto& trigger : m_triggers) {
        if (trigger->UsesModule(module)) {
            return true;
        }
    }
    for (const auto& global : m_globals) {
        if (global->UsesModule(module)) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<CState> CState::Clone() const
{
    auto copy = std::make_unique<CState>();
    for (const auto& global : m_globals) {
        global->PrepareCopy();
        copy->m_globals.emplace_back(static_cast<CUserDefinedVariable*>(global->Clone()));
    }
    for (const auto& variable : m_triggerVariables) {
        variable->PrepareCopy();
        copy->m_triggerVariables.emplace_back(static_cast<CTriggerVariable*>(variable->Clone()));
    }
    for (const auto& trigger : m_triggers) {
        copy->m_triggers.push_back(trigger->Clone());
    }
    for (const auto& global : m_globals) {
        global->ClearCopy();
    }
    // Trigger variables find their trigger's copy by the source trigger's place.
    std::unordered_map<const CCodeTrigger*, CCodeTrigger*> copies;
    copies.reserve(m_triggers.size());
    for (std::size_t k = 0; k < m_triggers.size(); ++k) {
        copies.emplace(m_triggers[k].get(), copy->m_triggers[k].get());
    }
    for (std::size_t j = 0; j < m_triggerVariables.size(); ++j) {
        if (const auto it = copies.find(m_triggerVariables[j]->GetTrigger()); it != copies.end()) {
            copy->m_triggerVariables[j]->SetTrigger(it->second);
        }
        BRAMBLETON_ASSERT(copy->m_triggerVariables[j]->GetTrigger() != nullptr);
        m_triggerVariables[j]->ClearCopy();
    }
    copy->m_nextTriggerId = m_nextTriggerId;
    copy->m_currentTriggerId = m_currentTriggerId;
    copy->m_preamble = m_preamble;
    copy->m_header = m_header;
    return copy;
}

CState::STakenTrigger CState::TakeTrigger(std::size_t index)
{
    STakenTrigger taken;
    BRAMBLETON_ASSERT(index < m_triggers.size());
    if (index >= m_triggers.size()) {
        return taken;
    }
    CCodeTrigger* trigger = m_triggers[index].get();
    // The last trigger's variables were appended with it: only the tail is looked at.
    std::size_t kept = m_triggerVariables.size();
    if (index + 1 == m_triggers.size()) {
        while (kept > 0 && m_triggerVariables[kept - 1]->GetTrigger() == trigger) {
            --kept;
        }
    } else {
        kept = 0;
    }
    for (std::size_t j = kept; j < m_triggerVariables.size(); ++j) {
        if (m_triggerVariables[j]->GetTrigger() == trigger) {
            taken.variablePlaces.push_back(j);
            taken.variables.push_back(std::move(m_triggerVariables[j]));
        } else {
            m_triggerVariables[kept++] = std::move(m_triggerVariables[j]);
        }
    }
    m_triggerVariables.resize(kept);
    if (m_currentTriggerId >= 0 && static_cast<std::uint32_t>(m_currentTriggerId) == trigger->GetId()) {
        m_currentTriggerId = -1;
    }
    if (const auto it = m_index.find(trigger->GetId()); it != m_index.end() && it->second == trigger) {
        m_index.erase(it);
        if (index + 1 != m_triggers.size()) {
            m_indexValid = false; // a later trigger of the same id may stand in
        }
    }
    trigger->DetachVariables();
    taken.trigger = std::move(m_triggers[index]);
    taken.index = index;
    m_triggers.erase(m_triggers.begin() + static_cast<std::ptrdiff_t>(index));
    return taken;
}

void CState::PutBackTrigger(STakenTrigger taken)
{
    if (taken.trigger == nullptr) {
        return;
    }
    taken.trigger->AttachVariables();
    const std::size_t index = std::min(taken.index, m_triggers.size());
    m_triggers.insert(m_triggers.begin() + static_cast<std::ptrdiff_t>(index), std::move(taken.trigger));
    // Ascending places: each lands where it stood once those before it are back.
    for (std::size_t k = 0; k < taken.variables.size(); ++k) {
        const std::size_t place = std::min(taken.variablePlaces[k], m_triggerVariables.size());
        m_triggerVariables.insert(m_triggerVariables.begin() + static_cast<std::ptrdiff_t>(place),
                                  std::move(taken.variables[k]));
    }
    // Another trigger of its id may come before or after it: then worked out again when asked.
    CCodeTrigger* back = m_triggers[index].get();
    if (m_indexValid && !m_index.emplace(back->GetId(), back).second) {
        m_indexValid = false;
    }
}

void CState::RetireGlobal(std::unique_ptr<CUserDefinedVariable> global)
{
    if (global != nullptr && m_retireGlobal) {
        m_retireGlobal(std::move(global));
    }
    // Otherwise destroyed here, which empties its users.
}

std::size_t CState::EstimateSize() const
{
    std::size_t size = sizeof(CState) + m_preamble.capacity() + m_header.capacity() +
                       (m_globals.size() + m_triggerVariables.size()) * 128;
    for (const auto& trigger : m_triggers) {
        size += trigger->EstimateSize();
    }
    return size;
}

std::string CState::GetCode(int level, CCodeWriter* writer) const
{
    std::string script;
    AppendCode(script, level, writer);
    return script;
}

void CState::AppendCode(std::string& out, int level, CCodeWriter* writer) const
{
    const CGenerationSettings& settings = CGenerationSettings::Instance();
    const CTypeInfo* scriptType = settings.GetScriptType();
    const bool wrapped = scriptType != nullptr && !scriptType->GetReplacements().empty();
    // Without a wrapping type the script goes straight into the output.
    std::string separate;
    std::string& script = wrapped ? separate : out;
    const std::size_t start = script.size();
    script.reserve(start + m_codeSizeHint);
    CScriptLineMap* const lines = writer != nullptr ? writer->GetLines() : nullptr;
    if (writer != nullptr) {
        writer->StartAt(script);
    }
    if (lines != nullptr) {
        lines->Reserve(m_triggers.size(), m_mapInstructionHint, m_mapPathHint);
    }
    AppendConvertedString(script, m_preamble, settings.GetCommentType());
    script += '\n';
    script += m_header;
    script += '\n';
    for (const auto& global : m_globals) {
        const CTypeInfo* type = global->GetType();
        const std::string declared =
            FillPlaceholders(type != nullptr ? type->GetRawInstruction() : std::string(), {global->GetCode(0)});
        AppendTabs(script, level);
        script += FillPlaceholders(settings.GetGlobalDeclaration(), {declared});
        script += '\n';
    }
    for (const auto& trigger : m_triggers) {
        trigger->AppendCode(script, level, writer);
        script += '\n';
    }
    const std::size_t size = script.size() - start;
    m_codeSizeHint = size + size / 8;
    if (lines != nullptr) {
        m_mapInstructionHint = lines->GetInstructions().size();
        m_mapPathHint = lines->GetPathLength();
    }
    if (!wrapped) {
        return;
    }
    std::string converted = ConvertString(script, scriptType);
    if (writer != nullptr) {
        writer->Finish(script, converted);
    }
    out += converted;
}

bool IsVariableNameTaken(const CState& state, const CCodeTrigger* trigger, std::string_view name,
                         const CUserDefinedVariable* self)
{
    const std::string normalized = NormalizedName(name);
    const auto takenIn = [&](const std::vector<std::unique_ptr<CUserDefinedVariable>>& list) {
        for (const auto& variable : list) {
            if (variable.get() != self && NormalizedName(variable->GetName()) == normalized) {
                return true;
            }
        }
        return false;
    };
    if (takenIn(state.GetGlobals())) {
        return true;
    }
    if (trigger != nullptr) {
        return takenIn(trigger->GetLocals());
    }
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        if (takenIn(state.GetTrigger(i)->GetLocals())) {
            return true;
        }
    }
    return false;
}

} // namespace bram
