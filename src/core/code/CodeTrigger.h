#pragma once
// A trigger: one function of the generated script, with its flags, comment,
// local variables and one root block per function block of the function
// definition. Its name lives in the category system, found by its id. How it
// prints comes from the process-wide generation settings.

#include "code/Instructions.h"
#include "code/ItemTree.h"
#include "code/Variables.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace bram {

class CCategorySystem;
class CBlockInfo;
class CCodeWriter;

class CCodeTrigger {
public:
    using LocalList = std::vector<std::unique_ptr<CUserDefinedVariable>>;

    CCodeTrigger(std::uint32_t id, CCategorySystem* categories);
    ~CCodeTrigger();
    CCodeTrigger(const CCodeTrigger&) = delete;
    CCodeTrigger& operator=(const CCodeTrigger&) = delete;

    std::uint32_t GetId() const { return m_id; }
    std::string GetName() const;
    std::string GetTriggerName() const;
    std::string GetFunctionName() const;
    CCategorySystem* GetCategorySystem() const { return m_categories; }

    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsEnabledAtBeginning() const { return m_enabledAtBeginning; }
    void SetEnabledAtBeginning(bool enabled) { m_enabledAtBeginning = enabled; }
    const std::string& GetComment() const { return m_comment; }
    void SetComment(std::string comment) { m_comment = std::move(comment); }

    std::size_t GetBlockCount() const { return m_blocks.size(); }
    CBlock* GetBlock(std::size_t index) const;
    bool IsRootBlock(const CCodeBase* node) const;

    std::size_t GetLocalCount() const { return m_locals.size(); }
    CUserDefinedVariable* GetLocal(std::size_t index) const;
    LocalList& GetLocals() { return m_locals; }
    const LocalList& GetLocals() const { return m_locals; }

    bool IsCode() const { return m_isCode; }
    const std::string& GetCodeText() const { return m_code; }
    // Discards the blocks the first time; later calls only replace the text.
    void ConvertToCode(std::string code);

    CCodeBase* GetCurrentNode() const { return m_currentNode; }
    void SetCurrentNode(CCodeBase* node) { m_currentNode = node; }
    void SetCurrentNodeFromView(const IItemTree& tree);
    // The node of this trigger at the place of `node` in `other`; null when none.
    CCodeBase* MapNode(const CCodeTrigger& other, const CCodeBase* node) const;
    // The place of a block or instruction as child indexes: the root block's
    // index, then the index in each container down to the node. It names the
    // same node in a copy of the trigger. Empty when the node is not in this
    // trigger's tree of blocks and instructions.
    std::vector<std::size_t> GetNodePath(const CCodeBase* node) const;
    // The node at that place; null when there is none (or the path is empty).
    CCodeBase* GetNodeFromPath(std::span<const std::size_t> path) const;

    bool UsesModule(const CModuleBase* module) const;
    std::unique_ptr<CCodeTrigger> Clone() const;

    // What the undo history keeps of a trigger is detached: its parameters
    // hold their variables (the state's and its own locals) but are on no
    // users list, so the document's variables never count them. Detach and
    // Attach take every parameter off and back onto those lists; a detached
    // trigger is destroyed with DestroyDetached, which touches no variable
    // (a global it names may be gone by then).
    void DetachVariables();
    void AttachVariables();
    static void DestroyDetached(std::unique_ptr<CCodeTrigger> trigger);
    // Exchanges everything but the id with a trigger of the same id: blocks,
    // locals, code, flags, comment and current node. The object stays, so
    // the trigger variables and views that point at it stay valid.
    void SwapContents(CCodeTrigger& other);
    // About how many bytes the trigger holds, for the history's budget.
    std::size_t EstimateSize() const;
    std::string GetCode(int level) const;
    // With a writer: records the lines of the trigger and its instructions.
    std::string GetCode(int level, CCodeWriter* writer) const;
    void AppendCode(std::string& out, int level, CCodeWriter* writer = nullptr) const;

private:
    std::uint32_t m_id;
    CCategorySystem* m_categories;
    std::vector<CBlock*> m_blocks;
    std::string m_code;
    bool m_isCode = false;
    CCodeBase* m_currentNode = nullptr;
    bool m_enabled = true;
    bool m_enabledAtBeginning = true;
    std::string m_comment;
    LocalList m_locals;

    // While GetCode runs, every instruction asks for the names; the category
    // lookup is done once per call instead.
    struct NameCache {
        bool valid = false;
        std::string triggerName;
        std::string functionName;
    };
    mutable NameCache m_names;
};

} // namespace bram
