#include "code/Instructions.h"

#include "code/CodeTrigger.h"
#include "code/Constant.h"
#include "code/Records.h"
#include "code/ScriptLineMap.h"
#include "code/Variables.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

#include <cstdint>
#include <string_view>

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
    // A structure put into one of its own blocks would own itself.
    const bool ownSubtree = LiesInside(child);
    BRAMBLETON_ASSERT(!ownSubtree);
    return instruction && !ownSubtree;
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

std::string CBlock::GetText() const
{
    return m_definition != nullptr ? m_definition->GetLocalizedName() : std::string();
}

void CBlock::AppendCodeAt(std::size_t index, std::string& out, int level, CCodeWriter* writer) const
{
    if (writer == nullptr) {
        AppendCode(out, level, nullptr);
        return;
    }
    writer->PushIndex(index);
    AppendCode(out, level, writer);
    writer->PopIndex();
}

void CBlock::AppendCode(std::string& out, int level, CCodeWriter* writer) const
{
    if (!IsEnabled()) {
        return;
    }
    const CBlockInfo* info = GetBlockInfo();
    if (info == nullptr) {
        return;
    }
    const std::string& start = info->GetStartInstruction();
    const std::string& end = info->GetEndInstruction();
    if (!start.empty()) {
        AppendTabs(out, level);
        out += ReplacePlaceholders(start);
        out += '\n';
        ++level;
    } else if (!end.empty()) {
        ++level;
    }
    const bool traced = writer != nullptr && writer->TracesBlock(GetType());
    // The trigger's entry: the start of its first traced root block.
    if (traced && GetParent() == nullptr && writer->TakeEntry()) {
        AppendTabs(out, level);
        writer->AppendTrace(out, true);
        out += '\n';
    }
    if (m_children.empty()) {
        AppendTabs(out, level);
        out += info->GetStandardValue();
        out += '\n';
    } else {
        const std::string& separator = info->GetSeparator();
        for (std::size_t i = 0; i < m_children.size(); ++i) {
            if (i > 0) {
                AppendTabs(out, level - 1);
                out += separator;
                out += '\n';
            }
            if (writer != nullptr) {
                AppendChild(out, level, *writer, i, traced);
            } else {
                m_children[i]->AppendCode(out, level);
            }
            out += '\n';
        }
    }
    if (!end.empty()) {
        AppendTabs(out, level - 1);
        out += ReplacePlaceholders(end);
    }
}

void CBlock::AppendChild(std::string& out, int level, CCodeWriter& writer, std::size_t index, bool traced) const
{
    const CCodeBase* child = m_children[index];
    writer.PushIndex(index);
    const std::size_t before = out.size();
    if (traced) {
        AppendTabs(out, level);
        writer.AppendTrace(out, false);
        out += '\n';
    }
    const std::size_t start = out.size();
    const std::size_t entry = writer.BeginInstruction(out);
    if (child->GetCodeType() == CodeTypeStructure) {
        static_cast<const CStructure*>(child)->AppendCode(out, level, &writer);
    } else {
        child->AppendCode(out, level);
    }
    const bool wrote = out.size() != start;
    writer.EndInstruction(out, entry);
    if (traced && !wrote) {
        // A disabled instruction does not run: no trace for it.
        writer.Truncate(out, before);
    }
    writer.PopIndex();
}

CCodeBase* CBlock::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CBlock*>(m_definition->CreateCode().release());
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
    for (CParameter* parameter : Parameters()) {
        parameter->Release(this);
    }
}

void CInstruction::CreateParameters()
{
    if (m_definition == nullptr) {
        return;
    }
    const std::size_t count = m_definition->GetParameterCount();
    m_parameters = std::make_unique<CParameter*[]>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const CParameterInfo* info = m_definition->GetParameter(static_cast<unsigned>(i));
        CParameter* parameter = nullptr;
        if (info->IsReference()) {
            const std::size_t referenceTo = info->GetReferenceTo();
            BRAMBLETON_ASSERT(referenceTo < i);
            parameter = info->CreateReferenceCode(referenceTo < i ? m_parameters[referenceTo] : nullptr).release();
        } else {
            parameter = static_cast<CParameter*>(info->CreateCode().release());
        }
        parameter->SetParent(this);
        m_parameters[i] = parameter;
        m_parameterCount = static_cast<std::uint32_t>(i + 1);
    }
}

void CInstruction::CloneParametersInto(CInstruction& copy) const
{
    BRAMBLETON_ASSERT(copy.m_parameterCount == m_parameterCount);
    const std::size_t count = std::min(copy.m_parameterCount, m_parameterCount);
    for (std::size_t i = 0; i < count; ++i) {
        const CParameterInfo* info = m_parameters[i]->GetParameterInfo();
        CParameter* replacement = nullptr;
        if (info != nullptr && info->IsReference()) {
            const std::size_t referenceTo = info->GetReferenceTo();
            replacement =
                m_parameters[i]->CloneWithReference(referenceTo < i ? copy.m_parameters[referenceTo] : nullptr);
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
    BRAMBLETON_ASSERT(index < m_parameterCount);
    return index < m_parameterCount ? m_parameters[index] : nullptr;
}

CParameter* CInstruction::GetParameter(std::size_t index)
{
    BRAMBLETON_ASSERT(index < m_parameterCount);
    return index < m_parameterCount ? m_parameters[index] : nullptr;
}

std::string CInstruction::InstructionText() const
{
    std::vector<std::string> texts;
    texts.reserve(m_parameterCount);
    for (const CParameter* parameter : Parameters()) {
        const CCodeBase* value = parameter->GetValue();
        if (value != nullptr && value->GetCodeType() == CodeTypeCall) {
            std::string wrapped(1, '(');
            wrapped += parameter->GetText();
            wrapped += ')';
            texts.push_back(std::move(wrapped));
        } else {
            texts.push_back(parameter->GetText());
        }
    }
    const std::string pattern = m_definition != nullptr ? m_definition->GetLocalizedShortDescription() : std::string();
    std::string text;
    AppendFilledPlaceholders(
        text, pattern, texts.size(),
        [](const void* context, std::string& out, std::size_t index) {
            out += (*static_cast<const std::vector<std::string>*>(context))[index];
        },
        &texts);
    return text;
}

void CInstruction::AppendFilledTemplate(std::string& out, const std::string& pattern) const
{
    // Each parameter's code goes straight into the output.
    AppendFilledPlaceholders(
        out, pattern, m_parameterCount,
        [](const void* context, std::string& text, std::size_t index) {
            static_cast<const CInstruction*>(context)->m_parameters[index]->AppendCode(text, 0);
        },
        this);
}

bool CInstruction::EnableIfComplete(bool enabled) const
{
    if (!enabled) {
        return false;
    }
    for (const CParameter* parameter : Parameters()) {
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

void CCall::AppendCode(std::string& out, int level) const
{
    if (!IsEnabled() || m_definition == nullptr) {
        return;
    }
    AppendTabs(out, level);
    const std::string& raw = m_definition->GetRawInstruction();
    AppendFilledTemplate(out, HasTriggerPlaceholders(raw) ? ReplacePlaceholders(raw) : raw);
}

CCodeBase* CCall::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CCall*>(m_definition->CreateCode().release());
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
        auto* block = static_cast<CBlock*>(definition->GetBlock(j)->CreateCode().release());
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

void CStructure::AppendCode(std::string& out, int level, CCodeWriter* writer) const
{
    if (!IsEnabled() || m_definition == nullptr) {
        return;
    }
    const std::string& raw = m_definition->GetRawInstruction();
    if (!raw.empty()) {
        AppendTabs(out, level);
        AppendFilledTemplate(out, HasTriggerPlaceholders(raw) ? ReplacePlaceholders(raw) : raw);
        out += '\n';
    }
    for (std::size_t j = 0; j < m_blocks.size(); ++j) {
        m_blocks[j]->AppendCodeAt(j, out, level, writer);
    }
}

CCodeBase* CStructure::Clone() const
{
    BRAMBLETON_ASSERT(m_definition != nullptr);
    auto* copy = static_cast<CStructure*>(m_definition->CreateCode().release());
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

CParameter::CParameter(const CParameterInfo* definition, CParameter* reference) : CCodeBase(definition)
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
        m_value->Release(this);
        m_value = nullptr;
    }
}

CParameter* CParameter::GetReference() const
{
    const CParameterInfo* info = GetParameterInfo();
    const CCodeBase* instruction = GetParent();
    if (info == nullptr || !info->IsReference() || instruction == nullptr) {
        return nullptr;
    }
    const std::size_t index = info->GetReferenceTo();
    if (index >= instruction->GetParameterCount()) {
        return nullptr;
    }
    return const_cast<CParameter*>(instruction->GetParameter(index));
}

const CParameterInfo* CParameter::GetParameterInfo() const { return static_cast<const CParameterInfo*>(m_definition); }

const CTypeInfo* CParameter::GetType() const
{
    const CParameterInfo* info = GetParameterInfo();
    if (info == nullptr || !info->IsReference()) {
        return CCodeBase::GetType();
    }
    const CParameter* reference = GetReference();
    const CCodeBase* referenced = reference != nullptr ? reference->GetValue() : nullptr;
    return referenced != nullptr ? referenced->GetType() : nullptr;
}

bool CParameter::HasValue() const { return IsEnumerated() || m_value != nullptr; }

void CParameter::SetChoiceIndex(int index)
{
    const CParameterInfo* info = GetParameterInfo();
    const bool valid =
        IsEnumerated() && info != nullptr && index >= 0 && static_cast<std::size_t>(index) < info->GetParameterCount();
    BRAMBLETON_ASSERT(valid);
    if (valid) {
        m_choiceIndex = index;
    }
}

bool CParameter::Accepts(const CCodeBase* value) const
{
    if (value == nullptr) {
        return true;
    }
    if (const CParameter* reference = GetReference()) {
        // Without a value in the source there is no type to take.
        const CCodeBase* source = reference->GetValue();
        return source != nullptr && value->GetType() == source->GetType();
    }
    const CTypeInfo* type = CCodeBase::GetType();
    if (type == nullptr || value->GetType() == type) {
        return true;
    }
    return value->GetCodeType() == CodeTypeVariable && (type->GetRealType() & RealTypeVariable) != 0;
}

void CParameter::SetValue(CCodeBase* value)
{
    BRAMBLETON_ASSERT(!IsEnumerated());
    if (IsEnumerated()) {
        return;
    }
    BRAMBLETON_ASSERT(Accepts(value));
    if (m_value == value) {
        return;
    }
    if (m_value != nullptr) {
        m_value->Release(this); // a variable drops this parameter from its users while we still hold it
    }
    m_value = value;
    m_leftUsers = false;
    if (value != nullptr) {
        value->SetParent(this);
    }
    EmptyMisfitDependents(value != nullptr ? value->GetType() : nullptr);
}

namespace {

CVariableBase* AsVariable(CCodeBase* value)
{
    return value != nullptr && value->GetCodeType() == CodeTypeVariable ? static_cast<CVariableBase*>(value) : nullptr;
}

} // namespace

void CParameter::LeaveVariableUsers()
{
    if (CVariableBase* variable = AsVariable(m_value)) {
        variable->RemoveParent(this);
        m_leftUsers = true;
    }
}

void CParameter::JoinVariableUsers()
{
    if (m_leftUsers) {
        m_leftUsers = false;
        m_value->SetParent(this);
    }
}

void CParameter::ForgetVariable()
{
    if (m_leftUsers) {
        m_leftUsers = false;
        m_value = nullptr;
        m_prevUser = m_nextUser = nullptr;
    }
}

void CParameter::EmptyMisfitDependents(const CTypeInfo* type)
{
    CCodeBase* instruction = GetParent();
    if (instruction == nullptr || (instruction->GetCodeType() & CodeTypeInstructionMask) == 0) {
        return;
    }
    const std::size_t count = instruction->GetParameterCount();
    for (std::size_t i = 0; i < count; ++i) {
        CParameter* other = instruction->GetParameter(i);
        const CParameterInfo* info = other->GetParameterInfo();
        // An emptied source takes every dependent's value with it: a file
        // cannot name the type of a value whose source is empty. A source
        // only taken out (TakeValue) keeps them for a dialog to put back.
        if (other == this || info == nullptr || !info->IsReference() || other->m_value == nullptr ||
            other->GetReference() != this || (type != nullptr && other->m_value->GetType() == type)) {
            continue;
        }
        other->SetEnabled(false);
        other->SetValue(nullptr);
    }
}

void CParameter::SetConstant(const CConstant* constant)
{
    // A constant's copy is the shared constant itself.
    SetValue(constant != nullptr ? constant->Clone() : nullptr);
}

CHeldValue CParameter::TakeValue()
{
    CHeldValue held;
    BRAMBLETON_ASSERT(!IsEnumerated());
    if (IsEnumerated() || m_value == nullptr) {
        return held;
    }
    CCodeBase* value = m_value;
    value->RemoveParent(this); // while it is still the value, so a variable finds the entry
    m_value = nullptr;
    held.Hold(value);
    return held;
}

bool CParameter::PutValue(CHeldValue held)
{
    if (held.IsEmpty() || !Accepts(held.Get())) {
        SetValue(nullptr);
        return false;
    }
    SetValue(held.Give());
    return true;
}

// ---- CHeldValue -------------------------------------------------------------

CHeldValue::CHeldValue(CHeldValue&& other) noexcept { Hold(other.Give()); }

CHeldValue& CHeldValue::operator=(CHeldValue&& other) noexcept
{
    if (this != &other) {
        Reset();
        Hold(other.Give());
    }
    return *this;
}

CHeldValue CHeldValue::CopyOf(const CCodeBase* value)
{
    CHeldValue held;
    held.Hold(value != nullptr ? value->Clone() : nullptr);
    return held;
}

CVariableBase* CHeldValue::HeldVariable() const
{
    return m_node != nullptr && m_node->GetCodeType() == CodeTypeVariable ? static_cast<CVariableBase*>(m_node)
                                                                          : nullptr;
}

void CHeldValue::Hold(CCodeBase* node)
{
    m_node = node;
    if (CVariableBase* variable = HeldVariable()) {
        variable->AddHolder(this);
    }
}

CCodeBase* CHeldValue::Give()
{
    if (CVariableBase* variable = HeldVariable()) {
        variable->RemoveHolder(this);
    }
    CCodeBase* node = m_node;
    m_node = nullptr;
    return node;
}

void CHeldValue::Reset()
{
    if (CCodeBase* node = Give()) {
        node->Release(nullptr); // a literal or call is deleted; a constant or variable stays
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

bool CParameter::UsesModule(const CModuleBase* module) const
{
    if (m_definition != nullptr && m_definition->GetModule() == module) {
        return true;
    }
    return m_value != nullptr && m_value->UsesModule(module);
}

void CParameter::AppendCode(std::string& out, int) const
{
    if (IsEnumerated()) {
        const auto& values = GetParameterInfo()->GetValues();
        if (static_cast<std::size_t>(m_choiceIndex) < values.size()) {
            out += values[static_cast<std::size_t>(m_choiceIndex)].second;
        }
        return;
    }
    BRAMBLETON_ASSERT(m_value != nullptr);
    if (m_value != nullptr) {
        m_value->AppendCode(out, 0);
    }
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
    auto* copy = static_cast<CParameter*>(info->CreateCode().release());
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
    CParameter* copy = info->CreateReferenceCode(newReference).release();
    // The new reference already holds a clone of the same value, so the type check holds.
    copy->SetValue(m_value != nullptr ? m_value->Clone() : nullptr);
    copy->m_choiceIndex = m_choiceIndex;
    return copy;
}

} // namespace bram
