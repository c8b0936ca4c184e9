#include "code/CodeTrigger.h"

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/ScriptLineMap.h"
#include "code/Values.h"
#include "generation/GenerationSettings.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/Log.h"

#include <algorithm>
#include <optional>

namespace bram {

namespace {

const CGenerationSettings& Settings() { return CGenerationSettings::Instance(); }

std::string Fill(const std::string& pattern, const std::string& argument)
{
    return FillPlaceholders(pattern, {argument});
}

// Walks a pair of trees in step: a (this trigger) and b (the other one).
CCodeBase* MapWalk(CCodeBase* a, const CCodeBase* b, const CCodeBase* sought)
{
    if (a == nullptr || b == nullptr) {
        return nullptr;
    }
    BRAMBLETON_ASSERT(a->GetChildCount() == b->GetChildCount());
    if (b == sought) {
        return a;
    }
    if (!a->IsContainer()) {
        return nullptr;
    }
    const std::size_t count = std::min(a->GetChildCount(), b->GetChildCount());
    for (std::size_t i = 0; i < count; ++i) {
        if (CCodeBase* hit = MapWalk(a->GetChild(i), b->GetChild(i), sought)) {
            return hit;
        }
    }
    return nullptr;
}

CCodeBase* ViewWalk(const IItemTree& tree, IItemTree::Item item, CCodeBase* node, IItemTree::Item selected)
{
    if (item == selected) {
        return node;
    }
    if (!node->IsContainer()) {
        BRAMBLETON_ASSERT(tree.GetFirstChild(item) == nullptr);
        return nullptr;
    }
    IItemTree::Item child = tree.GetFirstChild(item);
    for (std::size_t i = 0; child != nullptr; ++i, child = tree.GetNextSibling(child)) {
        BRAMBLETON_ASSERT(i < node->GetChildCount());
        if (i >= node->GetChildCount()) {
            return nullptr;
        }
        if (CCodeBase* hit = ViewWalk(tree, child, node->GetChild(i), selected)) {
            return hit;
        }
    }
    return nullptr;
}

} // namespace

CCodeTrigger::CCodeTrigger(std::uint32_t id, CCategorySystem* categories) : m_id(id), m_categories(categories)
{
    for (const CBlockInfo* info : Settings().GetFunctionBlocks()) {
        auto* block = static_cast<CBlock*>(info->CreateCode().release());
        block->SetTrigger(this);
        m_blocks.push_back(block);
    }
}

CCodeTrigger::~CCodeTrigger()
{
    for (CBlock* block : m_blocks) {
        block->Release(nullptr);
    }
    m_blocks.clear();
    m_locals.clear();
}

std::string CCodeTrigger::GetName() const
{
    BRAMBLETON_ASSERT(m_categories != nullptr);
    return m_categories != nullptr ? m_categories->GetTriggerName(m_id) : std::string();
}

std::string CCodeTrigger::GetTriggerName() const
{
    return m_names.valid ? m_names.triggerName : Settings().GetTriggerDefinitions().triggerPrefix + GetName();
}

std::string CCodeTrigger::GetFunctionName() const
{
    return m_names.valid ? m_names.functionName : Settings().GetTriggerDefinitions().functionPrefix + GetName();
}

CBlock* CCodeTrigger::GetBlock(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_blocks.size());
    return index < m_blocks.size() ? m_blocks[index] : nullptr;
}

bool CCodeTrigger::IsRootBlock(const CCodeBase* node) const
{
    if (node == nullptr || node->GetCodeType() != CodeTypeBlock || node->GetParent() != nullptr) {
        return false;
    }
    return std::find(m_blocks.begin(), m_blocks.end(), node) != m_blocks.end();
}

CUserDefinedVariable* CCodeTrigger::GetLocal(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_locals.size());
    return index < m_locals.size() ? m_locals[index].get() : nullptr;
}

void CCodeTrigger::ConvertToCode(std::string code)
{
    m_code = std::move(code);
    if (m_isCode) {
        return;
    }
    m_currentNode = nullptr;
    for (CBlock* block : m_blocks) {
        block->Release(nullptr);
    }
    m_blocks.clear();
    m_isCode = true;
    LogPrintf("trigger %s was transformed to code.\n", GetName().c_str());
}

void CCodeTrigger::SetCurrentNodeFromView(const IItemTree& tree)
{
    m_currentNode = nullptr;
    const IItemTree::Item selected = tree.GetSelectedItem();
    const IItemTree::Item top = tree.GetTopItem();
    if (selected == nullptr || top == nullptr || selected == top) {
        return;
    }
    IItemTree::Item item = tree.GetFirstChild(top);
    for (std::size_t b = 0; item != nullptr && b < m_blocks.size(); ++b, item = tree.GetNextSibling(item)) {
        if (CCodeBase* hit = ViewWalk(tree, item, m_blocks[b], selected)) {
            m_currentNode = hit;
            return;
        }
    }
}

CCodeBase* CCodeTrigger::MapNode(const CCodeTrigger& other, const CCodeBase* node) const
{
    if (node == nullptr) {
        return nullptr;
    }
    const std::size_t count = std::min(m_blocks.size(), other.m_blocks.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (CCodeBase* hit = MapWalk(m_blocks[i], other.m_blocks[i], node)) {
            return hit;
        }
    }
    return nullptr;
}

std::vector<std::size_t> CCodeTrigger::GetNodePath(const CCodeBase* node) const
{
    std::vector<std::size_t> path;
    const CCodeBase* walk = node;
    while (walk != nullptr && walk->GetParent() != nullptr) {
        const int index = walk->GetIndexInParent();
        if (index < 0) {
            return {}; // a parameter's value: not a place of the tree
        }
        path.push_back(static_cast<std::size_t>(index));
        walk = walk->GetParent();
    }
    const auto root = std::find(m_blocks.begin(), m_blocks.end(), walk);
    if (walk == nullptr || root == m_blocks.end()) {
        return {};
    }
    path.push_back(static_cast<std::size_t>(root - m_blocks.begin()));
    std::reverse(path.begin(), path.end());
    return path;
}

CCodeBase* CCodeTrigger::GetNodeFromPath(std::span<const std::size_t> path) const
{
    if (path.empty() || path.front() >= m_blocks.size()) {
        return nullptr;
    }
    CCodeBase* node = m_blocks[path.front()];
    for (const std::size_t index : path.subspan(1)) {
        if (!node->IsContainer() || index >= node->GetChildCount()) {
            return nullptr;
        }
        node = node->GetChild(index);
    }
    return node;
}

bool CCodeTrigger::UsesModule(const CModuleBase* module) const
{
    for (const CBlock* block : m_blocks) {
        if (block->UsesModule(module)) {
            return true;
        }
    }
    for (const auto& local : m_locals) {
        if (local->UsesModule(module)) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<CCodeTrigger> CCodeTrigger::Clone() const
{
    auto copy = std::make_unique<CCodeTrigger>(m_id, m_categories);
    if (m_isCode) {
        copy->m_isCode = true;
        copy->m_code = m_code;
        for (CBlock* block : copy->m_blocks) {
            block->Release(nullptr);
        }
        copy->m_blocks.clear();
    }
    for (const auto& local : m_locals) {
        local->PrepareCopy();
        copy->m_locals.emplace_back(static_cast<CUserDefinedVariable*>(local->Clone()));
    }
    const std::size_t count = std::min(copy->m_blocks.size(), m_blocks.size());
    for (std::size_t i = 0; i < count; ++i) {
        auto* block = static_cast<CBlock*>(m_blocks[i]->Clone());
        copy->m_blocks[i]->Release(nullptr);
        block->SetTrigger(copy.get());
        copy->m_blocks[i] = block;
    }
    for (const auto& local : m_locals) {
        local->ClearCopy();
    }
    copy->m_comment = m_comment;
    copy->m_enabled = m_enabled;
    copy->m_enabledAtBeginning = m_enabledAtBeginning;
    copy->m_currentNode = copy->MapNode(*this, m_currentNode);
    return copy;
}

namespace {

// Every parameter of the node's subtree, values' calls included.
template <typename Visit>
void ForEachParameter(CCodeBase* node, const Visit& visit)
{
    for (std::size_t i = 0; i < node->GetParameterCount(); ++i) {
        CParameter* parameter = node->GetParameter(i);
        if (parameter == nullptr) {
            continue;
        }
        visit(*parameter);
        CCodeBase* value = parameter->GetValue();
        if (value != nullptr && (value->GetCodeType() & (CodeTypeVariable | CodeTypeConstant)) == 0) {
            ForEachParameter(value, visit);
        }
    }
    for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
        ForEachParameter(node->GetChild(i), visit);
    }
}

std::size_t NodeSize(const CCodeBase* node)
{
    // A node with its vectors and links; a literal's text counts apart.
    std::size_t size = 160 + node->GetParameterCount() * 96;
    for (std::size_t i = 0; i < node->GetParameterCount(); ++i) {
        const CCodeBase* value = node->GetParameter(i)->GetValue();
        if (value != nullptr && (value->GetCodeType() & (CodeTypeVariable | CodeTypeConstant)) == 0) {
            size += NodeSize(value);
        }
    }
    for (std::size_t i = 0; i < node->GetChildCount(); ++i) {
        size += NodeSize(node->GetChild(i));
    }
    return size;
}

} // namespace

void CCodeTrigger::DetachVariables()
{
    for (CBlock* block : m_blocks) {
        ForEachParameter(block, [](CParameter& parameter) { parameter.LeaveVariableUsers(); });
    }
}

void CCodeTrigger::AttachVariables()
{
    for (CBlock* block : m_blocks) {
        ForEachParameter(block, [](CParameter& parameter) { parameter.JoinVariableUsers(); });
    }
}

void CCodeTrigger::DestroyDetached(std::unique_ptr<CCodeTrigger> trigger)
{
    if (trigger == nullptr) {
        return;
    }
    for (CBlock* block : trigger->m_blocks) {
        ForEachParameter(block, [](CParameter& parameter) { parameter.ForgetVariable(); });
    }
    trigger.reset();
}

void CCodeTrigger::SwapContents(CCodeTrigger& other)
{
    BRAMBLETON_ASSERT(other.m_id == m_id);
    std::swap(m_blocks, other.m_blocks);
    std::swap(m_code, other.m_code);
    std::swap(m_isCode, other.m_isCode);
    std::swap(m_currentNode, other.m_currentNode);
    std::swap(m_enabled, other.m_enabled);
    std::swap(m_enabledAtBeginning, other.m_enabledAtBeginning);
    std::swap(m_comment, other.m_comment);
    std::swap(m_locals, other.m_locals);
    for (CBlock* block : m_blocks) {
        block->SetTrigger(this);
    }
    for (CBlock* block : other.m_blocks) {
        block->SetTrigger(&other);
    }
}

std::size_t CCodeTrigger::EstimateSize() const
{
    std::size_t size = sizeof(CCodeTrigger) + m_comment.capacity() + m_code.capacity() + m_locals.size() * 128;
    for (const CBlock* block : m_blocks) {
        size += NodeSize(block);
    }
    return size;
}

std::string CCodeTrigger::GetCode(int level) const { return GetCode(level, nullptr); }

std::string CCodeTrigger::GetCode(int level, CCodeWriter* writer) const
{
    std::string out;
    AppendCode(out, level, writer);
    return out;
}

void CCodeTrigger::AppendCode(std::string& out, int level, CCodeWriter* writer) const
{
    if (!m_enabled) {
        return;
    }
    if (writer != nullptr) {
        writer->BeginTrigger(out, m_id, GetTriggerName());
    }
    struct EndTrigger {
        CCodeWriter* writer;
        const std::string& out;
        ~EndTrigger()
        {
            if (writer != nullptr) {
                writer->EndTrigger(out);
            }
        }
    } endTrigger{writer, out};
    if (m_isCode) {
        // The stored text is what the trigger printed when it was converted:
        // it already starts with the comment and the two definition lines.
        out += m_code;
        return;
    }
    const CGenerationSettings& settings = Settings();
    const CTriggerDefinitions& definitions = settings.GetTriggerDefinitions();
    m_names = {false, GetTriggerName(), GetFunctionName()};
    m_names.valid = true;
    struct Invalidate {
        NameCache& names;
        ~Invalidate() { names.valid = false; }
    } invalidate{m_names};
    AppendConvertedString(out, m_comment, settings.GetCommentType());
    out += '\n';
    AppendTabs(out, level);
    out += Fill(definitions.functionDefinition, m_names.functionName);
    out += '\n';
    AppendTabs(out, level);
    out += Fill(definitions.triggerDefinition, m_names.triggerName);
    out += '\n';
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        if (definitions.localsIndex >= 0 && b == static_cast<std::size_t>(definitions.localsIndex)) {
            for (const auto& local : m_locals) {
                const CTypeInfo* type = local->GetType();
                const std::string declared =
                    Fill(type != nullptr ? type->GetRawInstruction() : std::string(), local->GetCode(0));
                AppendTabs(out, level);
                out += Fill(settings.GetLocalDeclaration(), declared);
                out += '\n';
            }
        }
        m_blocks[b]->AppendCodeAt(b, out, level, writer);
        out += '\n';
    }
    if (!m_enabledAtBeginning) {
        AppendTabs(out, level);
        out += Fill(definitions.triggerDisabledAtBeginning, m_names.triggerName);
        out += '\n';
    }
}

} // namespace bram
