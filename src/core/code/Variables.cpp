#include "code/Variables.h"

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "generation/GenerationSettings.h"
#include "log/Assertion.h"

#include <algorithm>

namespace bram {

const CCodeBase* CVariableBase::GetParent() const { return m_users.empty() ? nullptr : m_users.front(); }
CCodeBase* CVariableBase::GetParent() { return m_users.empty() ? nullptr : m_users.front(); }

void CVariableBase::SetParent(CCodeBase* parent)
{
    BRAMBLETON_ASSERT(parent != nullptr && parent->GetCodeType() == CodeTypeParameter);
    if (parent == nullptr || parent->GetCodeType() != CodeTypeParameter) {
        return;
    }
    auto* parameter = static_cast<CParameter*>(parent);
    if (std::find(m_users.begin(), m_users.end(), parameter) == m_users.end()) {
        m_users.push_back(parameter);
    }
}

void CVariableBase::RemoveParent(CCodeBase* parent)
{
    BRAMBLETON_ASSERT(parent != nullptr);
    const auto it = std::find(m_users.begin(), m_users.end(), parent);
    if (it != m_users.end()) {
        m_users.erase(it);
    }
}

void CVariableBase::Release(CCodeBase* owner)
{
    if (owner != nullptr) {
        RemoveParent(owner);
    }
}

void CVariableBase::DetachUsers()
{
    while (!m_users.empty()) {
        CParameter* parameter = m_users.back();
        parameter->SetEnabled(false);
        parameter->SetValue(nullptr); // releases this variable, which drops the entry
        if (!m_users.empty() && m_users.back() == parameter) {
            m_users.pop_back(); // never loop on a parameter that kept us
        }
    }
}

CUserDefinedVariable::CUserDefinedVariable(std::string name, const CTypeInfo* type)
    : m_name(std::move(name)), m_variableType(type)
{
    BRAMBLETON_ASSERT(type != nullptr);
    BRAMBLETON_ASSERT(!m_name.empty());
    BRAMBLETON_ASSERT(IsAllowedType(type));
}

CUserDefinedVariable::~CUserDefinedVariable() { DetachUsers(); }

bool CUserDefinedVariable::IsAllowedType(const CTypeInfo* type)
{
    return type != nullptr &&
           (type->GetRealType() & (RealTypeBoolean | RealTypeNumber | RealTypeString | RealTypeUndefined)) != 0;
}

std::string CUserDefinedVariable::GetCode(int) const { return CGenerationSettings::Instance().GetVariablePrefix() + NormalizedName(m_name); }

CCodeBase* CUserDefinedVariable::Clone() const
{
    return m_twin != nullptr ? m_twin : const_cast<CUserDefinedVariable*>(this);
}

bool CUserDefinedVariable::UsesModule(const CModule* module) const
{
    return m_variableType != nullptr && m_variableType->GetModule() == module;
}

void CUserDefinedVariable::PrepareCopy() { m_twin = new CUserDefinedVariable(m_name, m_variableType); }

void CUserDefinedVariable::SetName(std::string name)
{
    BRAMBLETON_ASSERT(!name.empty());
    if (!name.empty()) {
        m_name = std::move(name);
    }
}

void CUserDefinedVariable::SetType(const CTypeInfo* type)
{
    BRAMBLETON_ASSERT(m_variableType != nullptr);
    BRAMBLETON_ASSERT(IsAllowedType(type));
    if (!IsAllowedType(type) || type == m_variableType) {
        return;
    }
    m_variableType = type;
    DetachUsers();
}

CTriggerVariable::CTriggerVariable(CCodeTrigger* trigger, const CTypeInfo* type)
    : m_trigger(trigger), m_variableType(type)
{
    BRAMBLETON_ASSERT(trigger != nullptr);
    BRAMBLETON_ASSERT(type != nullptr && (type->GetRealType() & (RealTypeTrigger | RealTypeFunction)) != 0);
}

CTriggerVariable::CTriggerVariable(const CTypeInfo* type) : m_variableType(type)
{
    BRAMBLETON_ASSERT(type != nullptr && (type->GetRealType() & (RealTypeTrigger | RealTypeFunction)) != 0);
}

CTriggerVariable::~CTriggerVariable() { DetachUsers(); }

std::string CTriggerVariable::GetText() const { return m_trigger != nullptr ? m_trigger->GetName() : std::string(); }

std::string CTriggerVariable::GetCode(int) const
{
    if (m_trigger == nullptr) {
        BRAMBLETON_ASSERT(false);
        return {};
    }
    const bool isTrigger = m_variableType != nullptr && (m_variableType->GetRealType() & RealTypeTrigger) != 0;
    return isTrigger ? m_trigger->GetTriggerName() : m_trigger->GetFunctionName();
}

CCodeBase* CTriggerVariable::Clone() const
{
    return m_twin != nullptr ? m_twin : const_cast<CTriggerVariable*>(this);
}

bool CTriggerVariable::UsesModule(const CModule* module) const
{
    return m_variableType != nullptr && m_variableType->GetModule() == module;
}

void CTriggerVariable::PrepareCopy() { m_twin = new CTriggerVariable(m_variableType); }

} // namespace bram
