#pragma once
// The tree of code nodes a trigger is made of. Every node derives from
// CCodeBase, whose virtual operations let views, the data file, the undo
// history and the script generator walk, edit, copy and print any node.
//
// Ownership: a node owns its children, its parameters and (as a parameter)
// its value, with two exceptions: constants belong to their module and
// variables to the state or their trigger. An owner never deletes a child
// itself; it calls child->Release(owner) and the child decides: owned nodes
// delete themselves, constants stay, variables only drop the reference.
// A violated precondition calls the assertion routine and the operation then
// does the safe thing (returns null, 0 or false, or nothing).

#include <cstdint>
#include <string>

namespace bram {

class CTypeInfo;
class CCodeInfoBase;
class CModuleBase;
class CParameter;
class CCodeTrigger;

enum ECodeType : unsigned {
    CodeTypeStructure = 1,
    CodeTypeBlock = 2,
    CodeTypeParameter = 4,
    CodeTypeCall = 8,
    CodeTypeVariable = 32,
    CodeTypeValue = 64,
    CodeTypeConstant = 128,
    // Children of a block are instructions.
    CodeTypeInstructionMask = CodeTypeStructure | CodeTypeCall,
};

// n tab characters; none for n < 1.
std::string Tabs(int level);
void AppendTabs(std::string& out, int level);

class CCodeBase {
public:
    explicit CCodeBase(const CCodeInfoBase* definition);
    CCodeBase(const CCodeBase&) = delete;
    CCodeBase& operator=(const CCodeBase&) = delete;

    virtual ~CCodeBase();
    virtual std::string GetCode(int level) const = 0;
    virtual std::string GetText() const = 0;
    virtual const CCodeBase* GetParent() const;
    virtual CCodeBase* GetParent();
    virtual void SetParent(CCodeBase* parent);
    virtual void RemoveParent(CCodeBase* parent);
    virtual CCodeBase* Clone() const = 0;
    virtual CCodeBase* GetChild(std::size_t index) const;
    virtual std::size_t GetChildCount() const;
    virtual void AddChild(CCodeBase* child);
    virtual void DeleteChild(std::size_t index);
    virtual void DetachChild(std::size_t index);
    virtual void InsertChild(CCodeBase* child, std::size_t index);
    virtual void MoveChild(std::size_t from, std::size_t to);
    virtual const CParameter* GetParameter(std::size_t index) const;
    virtual CParameter* GetParameter(std::size_t index);
    virtual std::size_t GetParameterCount() const;
    virtual bool IsContainer() const;
    virtual const CTypeInfo* GetType() const;
    virtual unsigned GetCodeType() const = 0;
    virtual bool IsEnabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsComplete() const;
    virtual const CCodeTrigger* GetTrigger() const;
    virtual CCodeTrigger* GetTrigger();
    virtual bool UsesModule(const CModuleBase* module) const;
    virtual void Release(CCodeBase* owner);

    // Appends what GetCode returns. The nodes a script is made of override it
    // so that a whole script is written into one buffer.
    virtual void AppendCode(std::string& out, int level) const { out += GetCode(level); }

    const CCodeInfoBase* GetDefinition() const { return m_definition; }

    // Whether this node is `node` or lies in its subtree (through parents).
    bool LiesInside(const CCodeBase* node) const;
    // The index of `child` among this node's children, or -1.
    int IndexOfChild(const CCodeBase* child) const;
    // The index of this node among its parent's children, or -1 without a parent.
    int GetIndexInParent() const;

    // "![TriggerName]" first, then "![FunctionName]", from the trigger this
    // node is in; unchanged outside a trigger.
    std::string ReplacePlaceholders(const std::string& text) const;
    static bool HasTriggerPlaceholders(const std::string& text);

protected:
    // GetCode of the nodes that implement AppendCode.
    std::string CodeByAppending(int level) const
    {
        std::string out;
        AppendCode(out, level);
        return out;
    }

    CCodeBase* m_parent = nullptr;
    const CCodeInfoBase* m_definition = nullptr;
};

} // namespace bram
