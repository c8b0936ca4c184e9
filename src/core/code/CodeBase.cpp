#include "code/CodeBase.h"

#include "base/Text.h"
#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "log/Assertion.h"

namespace bram {

std::string Tabs(int level) { return level < 1 ? std::string() : std::string(static_cast<std::size_t>(level), '\t'); }

void AppendTabs(std::string& out, int level)
{
    if (level > 0) {
        out.append(static_cast<std::size_t>(level), '\t');
    }
}

CCodeBase::CCodeBase(const CCodeInfoBase* definition) : m_definition(definition) {}

CCodeBase::~CCodeBase() = default;

const CCodeBase* CCodeBase::GetParent() const { return m_parent; }
CCodeBase* CCodeBase::GetParent() { return m_parent; }
void CCodeBase::SetParent(CCodeBase* parent) { m_parent = parent; }

void CCodeBase::RemoveParent(CCodeBase* parent)
{
    BRAMBLETON_ASSERT(parent == GetParent());
    SetParent(nullptr);
}

CCodeBase* CCodeBase::GetChild(std::size_t) const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

std::size_t CCodeBase::GetChildCount() const { return 0; }
void CCodeBase::AddChild(CCodeBase*) { BRAMBLETON_ASSERT(false); }
void CCodeBase::DeleteChild(std::size_t) { BRAMBLETON_ASSERT(false); }
void CCodeBase::DetachChild(std::size_t) { BRAMBLETON_ASSERT(false); }
void CCodeBase::InsertChild(CCodeBase*, std::size_t) { BRAMBLETON_ASSERT(false); }
void CCodeBase::MoveChild(std::size_t, std::size_t) { BRAMBLETON_ASSERT(false); }

const CParameter* CCodeBase::GetParameter(std::size_t) const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CParameter* CCodeBase::GetParameter(std::size_t)
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

std::size_t CCodeBase::GetParameterCount() const { return 0; }
bool CCodeBase::IsContainer() const { return false; }
const CTypeInfo* CCodeBase::GetType() const { return m_definition != nullptr ? m_definition->GetType() : nullptr; }

bool CCodeBase::IsComplete() const
{
    const std::size_t count = GetParameterCount();
    for (std::size_t i = 0; i < count; ++i) {
        const CCodeBase* parameter = static_cast<const CCodeBase*>(GetParameter(i));
        if (parameter == nullptr || !parameter->IsComplete()) {
            return false;
        }
    }
    return true;
}

const CCodeTrigger* CCodeBase::GetTrigger() const
{
    const CCodeBase* parent = GetParent();
    return parent != nullptr ? parent->GetTrigger() : nullptr;
}

CCodeTrigger* CCodeBase::GetTrigger()
{
    CCodeBase* parent = GetParent();
    return parent != nullptr ? parent->GetTrigger() : nullptr;
}

bool CCodeBase::UsesModule(const CModuleBase* module) const
{
    if (m_definition != nullptr && m_definition->GetModule() == module) {
        return true;
    }
    if (const CTypeInfo* type = GetType(); type != nullptr && type->GetModule() == module) {
        return true;
    }
    const std::size_t parameters = GetParameterCount();
    for (std::size_t i = 0; i < parameters; ++i) {
        const CCodeBase* parameter = static_cast<const CCodeBase*>(GetParameter(i));
        if (parameter != nullptr && parameter->UsesModule(module)) {
            return true;
        }
    }
    const std::size_t children = GetChildCount();
    for (std::size_t i = 0; i < children; ++i) {
        const CCodeBase* child = GetChild(i);
        if (child != nullptr && child->UsesModule(module)) {
            return true;
        }
    }
    return false;
}

void CCodeBase::Release(CCodeBase* owner)
{
    BRAMBLETON_ASSERT(owner == GetParent());
    delete this;
}

bool CCodeBase::LiesInside(const CCodeBase* node) const
{
    if (node == nullptr) {
        return false;
    }
    for (const CCodeBase* walk = this; walk != nullptr; walk = walk->GetParent()) {
        if (walk == node) {
            return true;
        }
    }
    return false;
}

int CCodeBase::IndexOfChild(const CCodeBase* child) const
{
    const std::size_t count = GetChildCount();
    for (std::size_t i = 0; i < count; ++i) {
        if (GetChild(i) == child) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CCodeBase::GetIndexInParent() const
{
    const CCodeBase* parent = GetParent();
    return parent != nullptr ? parent->IndexOfChild(this) : -1;
}

bool CCodeBase::HasTriggerPlaceholders(const std::string& text)
{
    return text.find("![TriggerName]") != std::string::npos || text.find("![FunctionName]") != std::string::npos;
}

std::string CCodeBase::ReplacePlaceholders(const std::string& text) const
{
    // Most templates name neither placeholder; spare them the trigger lookup.
    if (!HasTriggerPlaceholders(text)) {
        return text;
    }
    const CCodeTrigger* trigger = GetTrigger();
    if (trigger == nullptr) {
        return text;
    }
    std::string out = text;
    ReplaceAll(out, "![TriggerName]", trigger->GetTriggerName());
    ReplaceAll(out, "![FunctionName]", trigger->GetFunctionName());
    return out;
}

} // namespace bram
