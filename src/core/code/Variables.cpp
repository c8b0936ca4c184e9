#include "code/Variables.h"

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "generation/GenerationSettings.h"
#include "log/Assertion.h"

#include <algorithm>

namespace bram {

const CCodeBase* CVariableBase::GetParent() const { return m_firstUser; }
CCodeBase* CVariableBase::GetParent() { return m_firstUser; }

std::vector<CParameter*> CVariableBase::GetUsers() const
{
    std::vector<CParameter*> users;
    users.reserve(m_userCount);
    for (CParameter* p = m_firstUser; p != nullptr; p = p->m_nextUser) {
        users.push_back(p);
    }
    return users;
}

std::size_t CVariableBase::GetPlacedUserCount() const
{
    std::size_t count = 0;
    for (const CParameter* p = m_firstUser; p != nullptr; p = p->m_nextUser) {
        count += p->GetTrigger() != nullptr ? 1 : 0;
    }
    return count;
}

void CVariableBase::SetParent(CCodeBase* parent)
{
    BRAMBLETON_ASSERT(parent != nullptr && parent->GetCodeType() == CodeTypeParameter);
    if (parent == nullptr || parent->GetCodeType() != CodeTypeParameter) {
        return;
    }
    auto* parameter = static_cast<CParameter*>(parent);
    // A parameter is listed by the variable it holds and by no other.
    BRAMBLETON_ASSERT(parameter->GetValue() == this);
    if (parameter->GetValue() != this || IsListed(parameter)) {
        return;
    }
    parameter->m_prevUser = m_lastUser;
    parameter->m_nextUser = nullptr;
    (m_lastUser != nullptr ? m_lastUser->m_nextUser : m_firstUser) = parameter;
    m_lastUser = parameter;
    ++m_userCount;
}

void CVariableBase::RemoveParent(CCodeBase* parent)
{
    BRAMBLETON_ASSERT(parent != nullptr);
    if (parent == nullptr || parent->GetCodeType() != CodeTypeParameter) {
        return;
    }
    auto* parameter = static_cast<CParameter*>(parent);
    if (parameter->GetValue() == this && IsListed(parameter)) {
        Unlink(parameter);
    }
}

void CVariableBase::Unlink(CParameter* parameter)
{
    (parameter->m_prevUser != nullptr ? parameter->m_prevUser->m_nextUser : m_firstUser) = parameter->m_nextUser;
    (parameter->m_nextUser != nullptr ? parameter->m_nextUser->m_prevUser : m_lastUser) = parameter->m_prevUser;
    parameter->m_prevUser = parameter->m_nextUser = nullptr;
    --m_userCount;
}

bool CVariableBase::IsListed(const CParameter* parameter) const
{
    return parameter->m_prevUser != nullptr || m_firstUser == parameter;
}

void CVariableBase::Release(CCodeBase* owner)
{
    if (owner != nullptr) {
        RemoveParent(owner);
    }
}

void CVariableBase::RemoveHolder(CHeldValue* holder)
{
    m_holders.erase(std::remove(m_holders.begin(), m_holders.end(), holder), m_holders.end());
}

void CVariableBase::DetachUsers()
{
    for (CHeldValue* holder : m_holders) {
        holder->m_node = nullptr;
    }
    m_holders.clear();
    while (CParameter* parameter = m_lastUser) {
        parameter->SetEnabled(false);
        parameter->SetValue(nullptr); // releases this variable, which drops the entry
        if (m_lastUser == parameter) {
            Unlink(parameter); // never loop on a parameter that kept us
        }
    }
}

CUserDefinedVariable::CUserDefinedVariable(std::string name, const CTypeInfo* type)
    : m_name(std::move(name)), m_identifier(NormalizedName(m_name)), m_variableType(type)
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

void CUserDefinedVariable::AppendCode(std::string& out, int) const
{
    out += CGenerationSettings::Instance().GetVariablePrefix();
    out += m_identifier;
}

CCodeBase* CUserDefinedVariable::Clone() const
{
    return m_twin != nullptr ? m_twin : const_cast<CUserDefinedVariable*>(this);
}

bool CUserDefinedVariable::UsesModule(const CModuleBase* module) const
{
    return m_variableType != nullptr && m_variableType->GetModule() == module;
}

void CUserDefinedVariable::PrepareCopy() { m_twin = new CUserDefinedVariable(m_name, m_variableType); }

void CUserDefinedVariable::SetName(std::string name)
{
    BRAMBLETON_ASSERT(!name.empty());
    if (!name.empty()) {
        m_name = std::move(name);
        m_identifier = NormalizedName(m_name);
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

CCodeBase* CTriggerVariable::Clone() const { return m_twin != nullptr ? m_twin : const_cast<CTriggerVariable*>(this); }

bool CTriggerVariable::UsesModule(const CModuleBase* module) const
{
    return m_variableType != nullptr && m_variableType->GetModule() == module;
}

void CTriggerVariable::PrepareCopy() { m_twin = new CTriggerVariable(m_variableType); }

} // namespace bram
