#include "code/Instructions.h"

#include "code/CodeTrigger.h"
#include "code/Records.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

namespace bram {

// ---- CBlock -----------------------------------------------------------------

CBlock::CBlock(const CBlockInfo* definition) : CCodeBase(definition) {}

CBlock::~CBlock()
{
    for (CCodeBase* child : m_children) {
        child->Release(this);
    }
}

const CBlockInfo* CBlock::GetBlockInfo() const { return static_cast<const CBlockInfo*>(m_definition); }

bool CBlock::AcceptsChild(const CCodeBase* child) const
{
    BRAMBLETON_ASSERT(child != nullptr);
    if (child == nullptr) {
        return false;
    }
    const bool instruction = (child->GetCodeType() & CodeTypeInstructionMask) != 0;
    BRAMBLETON_ASSERT(instruction);
    BRAMBLETON_ASSERT(child->GetType() == GetType());
    return instruction;
}

void CBlock::AddChild(CCodeBase* child)
{
    if (!AcceptsChild(child)) {
        return;
    }
    child->SetParent(this);
    m_children.push_back(child);
}

void CBlock::InsertChild(CCodeBase* child, std::size_t index)
{
    BRAMBLETON_ASSERT(index <= m_children.size());
    if (!AcceptsChild(child) || index > m_children.size()) {
        return;
    }
    child->SetParent(this);
    m_children.insert(m_children.begin() + static_cast<long>(index), child);
}

CCodeBase* CBlock::GetChild(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_children.size());
    return index < m_children.size() ? m_children[index] : nullptr;
}

void CBlock::DeleteChild(std::size_t index)
{
    BRAMBLETON_ASSERT(index < m_children.size());
    if (index >= m_children.size()) {
        return;
    }
    CCodeBase* child = m_children[index];
    m_children.erase(m_children.begin() + static_cast<long>(index));
    child->Release(this);
}

void CBlock::DetachChild(std::size_t index)
{
    BRAMBLETON_ASSERT(index < m_children.size());
    if (index >= m_children.size()) {
        return;
    }
    CCodeBase* child = m_children[index];
    child->RemoveParent(this);
    m_children.erase(m_children.begin() + static_cast<long>(index));
}

void CBlock::MoveChild(std::size_t from, std::size_t to)
{
    BRAMBLETON_ASSERT(from < m_children.size() && to < m_children.size());
    if (from >= m_children.size() || to >= m_children.size()) {
        return;
    }
    CCodeBase* child = m_children[from];
    m_children.erase(m_children.begin() + static_cast<long>(from));
    if (to < from) {
        ++to;
    }
    m_children.insert(m_children.begin() + static_cast<long>(to), child);
}

bool CBlock::IsEnabled() const
{
    const CCodeBase* parent = GetParent();
    return parent == nullptr || parent->IsEnabled();
}

void CBlock::SetEnabled(bool enabled)
{
    CCodeBase* parent = GetParent();
    BRAMBLETON_ASSERT(parent != nullptr);
    if (parent != nullptr) {
        parent->SetEnabled(enabled);
    }
}

const CCodeTrigger* CBlock::GetTrigger() const
{
    const CCodeBase* parent = GetParent();
    return parent != nullptr ? parent->GetTrigger() : m_trigger;
}

CCodeTrigger* CBlock::GetTrigger()
{
    CCodeBase* parent = GetParent();
    return parent != nullptr ? parent->GetTrigger() : m_trigger;
}

void CBlock::SetTrigger(CCodeTrigger* trigger)
{
    BRAMBLETON_ASSERT(trigger != nullptr);
    m_trigger = trigger;
}

std::string CBlock::GetText() const { return m_definition != nullptr ? m_definition->GetLocalizedName() : std::string(); }

std::string CBlock::GetCode(int level) const
{
    if (!IsEnabled()) {
        return {};
    }
    const CBlockInfo* info = GetBlockInfo();
    if (info == nullptr) {
        return {};
    }
    const std::string& start = info->GetStartInstruction();
    const std::string& end = info->GetEndInstruction();
    std::string out;
    if (!start.empty()) {
        out += Tabs(level) + ReplacePlaceholders(start) + "\n";
        ++level;
    } else if (!end.empty()) {
        ++level;
    }
    if (m_children.empty()) {
        out += Tabs(level) + info->GetStandardValue() + "\n";
    } else {
        const std::string separator = Tabs(level - 1) + info->GetSeparator() + "\n";
        for (std::size_t i = 0; i < m_children.size(); ++i) {
            if (i > 0) {
                out += separator;
            }
            out += m_children[i]->GetCode(level);
            out += '\n';
        }
    }
    if (!end.empty()) {
        out += Tabs(level - 1) + ReplacePlaceholders(end);
    }
    return out;
}

CCodeBase* CBlock::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CBlock*>(m_definition->CreateCode());
    if (copy == nullptr) {
        return nullptr;
    }
    for (const CCodeBase* child : m_children) {
        CCodeBase* childCopy = child->Clone();
        if (childCopy != nullptr) {
            copy->AddChild(childCopy);
        }
    }
    return copy;
}

// ---- CInstruction -----------------------------------------------------------

CInstruction::CInstruction(const CCodeInfoBase* definition) : CCodeBase(definition) {}

CInstruction::~CInstruction()
{
    for (CParameter* parameter : m_parameters) {
        parameter->Release(this);
    }
}

void CInstruction::CreateParameters()
{
    if (m_definition == nullptr) {
        return;
    }
    const std::size_t count = m_definition->GetParameterCount();
    for (std::size_t i = 0; i < count; ++i) {
        const CParameterInfo* info = m_definition->GetParameter(i);
        CParameter* parameter = nullptr;
        if (info->IsReference()) {
            const std::size_t referenceTo = info->GetReferenceTo();
            BRAMBLETON_ASSERT(referenceTo < i);
            parameter = info->CreateReferenceCode(referenceTo < i ? m_parameters[referenceTo] : nullptr);
        } else {
            parameter = static_cast<CParameter*>(info->CreateCode());
        }
        parameter->SetParent(this);
        m_parameters.push_back(parameter);
    }
}

void CInstruction::CloneParametersInto(CInstruction& copy) const
{
    BRAMBLETON_ASSERT(copy.m_parameters.size() == m_parameters.size());
    const std::size_t count = std::min(copy.m_parameters.size(), m_parameters.size());
    for (std::size_t i = 0; i < count; ++i) {
        const CParameterInfo* info = m_parameters[i]->GetParameterInfo();
        CParameter* replacement = nullptr;
        if (info != nullptr && info->IsReference()) {
            const std::size_t referenceTo = info->GetReferenceTo();
            replacement = m_parameters[i]->CloneWithReference(referenceTo < i ? copy.m_parameters[referenceTo] : nullptr);
        } else {
            replacement = static_cast<CParameter*>(m_parameters[i]->Clone());
        }
        copy.m_parameters[i]->Release(&copy);
        replacement->SetParent(&copy);
        copy.m_parameters[i] = replacement;
    }
    copy.m_enabled = m_enabled;
}

const CParameter* CInstruction::GetParameter(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_parameters.size());
    return index < m_parameters.size() ? m_parameters[index] : nullptr;
}

CParameter* CInstruction::GetParameter(std::size_t index)
{
    BRAMBLETON_ASSERT(index < m_parameters.size());
    return index < m_parameters.size() ? m_parameters[index] : nullptr;
}

std::vector<std::string> CInstruction::ParameterCodes() const
{
    std::vector<std::string> codes;
    codes.reserve(m_parameters.size());
    for (const CParameter* parameter : m_parameters) {
        codes.push_back(parameter->GetCode(0));
    }
    return codes;
}

std::string CInstruction::InstructionText() const
{
    std::vector<std::string> texts;
    texts.reserve(m_parameters.size());
    for (const CParameter* parameter : m_parameters) {
        const CCodeBase* value = parameter->GetValue();
        if (value != nullptr && value->GetCodeType() == CodeTypeCall) {
            texts.push_back("(" + parameter->GetText() + ")");
        } else {
            texts.push_back(parameter->GetText());
        }
    }
    const std::string pattern = m_definition != nullptr ? m_definition->GetLocalizedShortDescription() : std::string();
    return FillPlaceholders(pattern, texts);
}

bool CInstruction::EnableIfComplete(bool enabled) const
{
    if (!enabled) {
        return false;
    }
    for (const CParameter* parameter : m_parameters) {
        if (!parameter->IsComplete()) {
            return false;
        }
    }
    return true;
}

// ---- CCall ------------------------------------------------------------------

CCall::CCall(const CCallInfo* definition) : CInstruction(definition) { CreateParameters(); }

bool CCall::IsEnabled() const
{
    const CCodeBase* parent = GetParent();
    if (parent != nullptr && parent->GetCodeType() == CodeTypeParameter) {
        return parent->IsEnabled();
    }
    return IsComplete() && m_enabled;
}

void CCall::SetEnabled(bool enabled)
{
    CCodeBase* parent = GetParent();
    if (parent != nullptr && parent->GetCodeType() == CodeTypeParameter) {
        parent->SetEnabled(enabled);
        return;
    }
    m_enabled = EnableIfComplete(enabled);
}

std::string CCall::GetCode(int level) const
{
    if (!IsEnabled() || m_definition == nullptr) {
        return {};
    }
    return Tabs(level) + FillPlaceholders(ReplacePlaceholders(m_definition->GetRawInstruction()), ParameterCodes());
}

CCodeBase* CCall::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CCall*>(m_definition->CreateCode());
    if (copy != nullptr) {
        CloneParametersInto(*copy);
    }
    return copy;
}

// ---- CStructure -------------------------------------------------------------

CStructure::CStructure(const CStructureInfo* definition) : CInstruction(definition)
{
    CreateParameters();
    if (definition == nullptr) {
        return;
    }
    const std::size_t count = definition->GetBlockCount();
    for (std::size_t j = 0; j < count; ++j) {
        auto* block = static_cast<CBlock*>(definition->GetBlock(j)->CreateCode());
        block->SetParent(this);
        m_blocks.push_back(block);
    }
}

CStructure::~CStructure()
{
    for (CBlock* block : m_blocks) {
        block->Release(this);
    }
}

CCodeBase* CStructure::GetChild(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_blocks.size());
    return index < m_blocks.size() ? m_blocks[index] : nullptr;
}

bool CStructure::IsEnabled() const { return IsComplete() && m_enabled; }

void CStructure::SetEnabled(bool enabled) { m_enabled = EnableIfComplete(enabled); }

std::string CStructure::GetCode(int level) const
{
    if (!IsEnabled() || m_definition == nullptr) {
        return {};
    }
    std::string out;
    const std::string& raw = m_definition->GetRawInstruction();
    if (!raw.empty()) {
        out += Tabs(level) + FillPlaceholders(ReplacePlaceholders(raw), ParameterCodes()) + "\n";
    }
    for (const CBlock* block : m_blocks) {
        out += block->GetCode(level);
    }
    return out;
}

CCodeBase* CStructure::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CStructure*>(m_definition->CreateCode());
    if (copy == nullptr) {
        return nullptr;
    }
    CloneParametersInto(*copy);
    BRAMBLETON_ASSERT(copy->m_blocks.size() == m_blocks.size());
    for (std::size_t j = 0; j < copy->m_blocks.size() && j < m_blocks.size(); ++j) {
        auto* blockCopy = static_cast<CBlock*>(m_blocks[j]->Clone());
        copy->m_blocks[j]->Release(copy);
        blockCopy->SetParent(copy);
        copy->m_blocks[j] = blockCopy;
    }
    return copy;
}

// ---- CParameter -------------------------------------------------------------

CParameter::CParameter(const CParameterInfo* definition, CParameter* reference)
    : CCodeBase(definition), m_reference(reference)
{
    if (reference == nullptr && definition != nullptr && definition->GetType() == nullptr &&
        !definition->IsReference()) {
        m_choiceIndex = 0;
    } else if (reference != nullptr) {
        BRAMBLETON_ASSERT(definition != nullptr && definition->IsReference());
    }
}

CParameter::~CParameter()
{
    if (m_value != nullptr) {
        CCodeBase* value = m_value;
        m_value = nullptr;
        value->Release(this);
    }
}

const CParameterInfo* CParameter::GetParameterInfo() const { return static_cast<const CParameterInfo*>(m_definition); }

const CTypeInfo* CParameter::GetType() const
{
    if (m_reference == nullptr) {
        return m_type;
    }
    const CCodeBase* referenced = m_reference->GetValue();
    return referenced != nullptr ? referenced->GetType() : nullptr;
}

bool CParameter::HasValue() const { return IsEnumerated() || m_value != nullptr; }

void CParameter::SetChoiceIndex(int index)
{
    const CParameterInfo* info = GetParameterInfo();
    const bool valid = IsEnumerated() && info != nullptr && index >= 0 &&
                       static_cast<std::size_t>(index) < info->GetParameterCount();
    BRAMBLETON_ASSERT(valid);
    if (valid) {
        m_choiceIndex = index;
    }
}

void CParameter::SetValue(CCodeBase* value)
{
    BRAMBLETON_ASSERT(!IsEnumerated());
    if (IsEnumerated()) {
        return;
    }
    if (m_reference == nullptr && m_type != nullptr && value != nullptr && value->GetType() != m_type) {
        const bool variableSlot = value->GetCodeType() == CodeTypeVariable &&
                                  (m_type->GetRealType() & RealTypeVariable) != 0;
        BRAMBLETON_ASSERT(variableSlot);
    }
    if (m_reference != nullptr && m_reference->GetValue() != nullptr && value != nullptr) {
        BRAMBLETON_ASSERT(value->GetType() == m_reference->GetValue()->GetType());
    }
    if (m_value == value) {
        return;
    }
    CCodeBase* old = m_value;
    m_value = value;
    if (old != nullptr) {
        old->Release(this);
    }
    if (value != nullptr) {
        value->SetParent(this);
    }
}

bool CParameter::IsComplete() const
{
    if (IsEnumerated()) {
        return true;
    }
    return m_value != nullptr && m_value->IsComplete();
}

bool CParameter::IsEnabled() const
{
    const CCodeBase* parent = GetParent();
    BRAMBLETON_ASSERT(parent != nullptr);
    return parent != nullptr && parent->IsEnabled();
}

void CParameter::SetEnabled(bool enabled)
{
    CCodeBase* parent = GetParent();
    BRAMBLETON_ASSERT(parent != nullptr);
    if (parent != nullptr) {
        parent->SetEnabled(enabled);
    }
}

bool CParameter::UsesModule(const CModule* module) const
{
    if (m_definition != nullptr && m_definition->GetModule() == module) {
        return true;
    }
    return m_value != nullptr && m_value->UsesModule(module);
}

std::string CParameter::GetCode(int) const
{
    const CParameterInfo* info = GetParameterInfo();
    if (IsEnumerated()) {
        const auto& values = info->GetValues();
        return static_cast<std::size_t>(m_choiceIndex) < values.size() ? values[static_cast<std::size_t>(m_choiceIndex)].second
                                                                       : std::string();
    }
    BRAMBLETON_ASSERT(m_value != nullptr);
    return m_value != nullptr ? m_value->GetCode(0) : std::string();
}

std::string CParameter::GetText() const
{
    const CParameterInfo* info = GetParameterInfo();
    if (IsEnumerated()) {
        const auto& values = info->GetValues();
        if (static_cast<std::size_t>(m_choiceIndex) >= values.size()) {
            return {};
        }
        const std::string& name = values[static_cast<std::size_t>(m_choiceIndex)].first;
        return info->GetModule() != nullptr ? info->GetModule()->Localize(name) : name;
    }
    if (m_value != nullptr) {
        return m_value->GetText();
    }
    return info != nullptr ? info->GetLocalizedDescription() : std::string();
}

CCodeBase* CParameter::Clone() const
{
    const CParameterInfo* info = GetParameterInfo();
    BRAMBLETON_ASSERT(info != nullptr);
    auto* copy = static_cast<CParameter*>(info->CreateCode());
    if (info->GetType() != nullptr) {
        copy->SetValue(m_value != nullptr ? m_value->Clone() : nullptr);
    } else {
        BRAMBLETON_ASSERT(m_choiceIndex != -1);
        copy->m_choiceIndex = m_choiceIndex;
    }
    return copy;
}

CParameter* CParameter::CloneWithReference(CParameter* newReference) const
{
    BRAMBLETON_ASSERT(m_choiceIndex == -1);
    const CParameterInfo* info = GetParameterInfo();
    CParameter* copy = info->CreateReferenceCode(newReference);
    // The new reference already holds a clone of the same value, so the type check holds.
    copy->SetValue(m_value != nullptr ? m_value->Clone() : nullptr);
    copy->m_choiceIndex = m_choiceIndex;
    return copy;
}

} // namespace bram
