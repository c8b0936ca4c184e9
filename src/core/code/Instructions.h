#pragma once
// Blocks, the two kinds of instruction (calls and structures) and the
// parameters of instructions.

#include "code/CodeBase.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace bram {

class CBlockInfo;
class CCallInfo;
class CStructureInfo;
class CParameterInfo;
class CVariableBase;
class CConstant;
class CCodeWriter;

class CBlock : public CCodeBase {
public:
    explicit CBlock(const CBlockInfo* definition);
    ~CBlock() override;

    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override { AppendCode(out, level, nullptr); }
    // With a writer: records each instruction's lines and writes trace statements.
    void AppendCode(std::string& out, int level, CCodeWriter* writer) const;
    // As the index-th block of its trigger or structure: the writer's path follows.
    void AppendCodeAt(std::size_t index, std::string& out, int level, CCodeWriter* writer) const;
    std::string GetText() const override;
    CCodeBase* Clone() const override;
    CCodeBase* GetChild(std::size_t index) const override;
    std::size_t GetChildCount() const override { return m_children.size(); }
    void AddChild(CCodeBase* child) override;
    void DeleteChild(std::size_t index) override;
    void DetachChild(std::size_t index) override;
    void InsertChild(CCodeBase* child, std::size_t index) override;
    // The moved child ends directly after the one that was at `to`.
    void MoveChild(std::size_t from, std::size_t to) override;
    bool IsContainer() const override { return true; }
    unsigned GetCodeType() const override { return CodeTypeBlock; }
    // A root block is always enabled; a nested one follows its structure.
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    const CCodeTrigger* GetTrigger() const override;
    CCodeTrigger* GetTrigger() override;

    // Set by the trigger on its root blocks.
    void SetTrigger(CCodeTrigger* trigger);
    const CBlockInfo* GetBlockInfo() const;

private:
    bool AcceptsChild(const CCodeBase* child) const;
    void AppendChild(std::string& out, int level, CCodeWriter& writer, std::size_t index, bool traced) const;

    std::vector<CCodeBase*> m_children;
    CCodeTrigger* m_trigger = nullptr;
};

// What calls and structures share: parameters made from the definition and
// the user's enable flag, which cannot be set while a parameter is incomplete.
class CInstruction : public CCodeBase {
public:
    ~CInstruction() override;
    const CParameter* GetParameter(std::size_t index) const override;
    CParameter* GetParameter(std::size_t index) override;
    std::size_t GetParameterCount() const override { return m_parameterCount; }

protected:
    // parameterDefinitions: the definition's parameter records, in order.
    CInstruction(const CCodeInfoBase* definition);
    void CreateParameters();
    // Replaces the copy's default parameters by clones of this one's.
    void CloneParametersInto(CInstruction& copy) const;
    // The display text: parameter texts (nested calls in parentheses) in the short description.
    std::string InstructionText() const;
    // The template with the parameters' code in place of their placeholders.
    void AppendFilledTemplate(std::string& out, const std::string& pattern) const;
    bool EnableIfComplete(bool enabled) const;

    std::span<CParameter* const> Parameters() const { return {m_parameters.get(), m_parameterCount}; }

    // A fixed array: the count never changes after construction, and a
    // document holds hundreds of thousands of instructions.
    std::unique_ptr<CParameter*[]> m_parameters;
    std::uint32_t m_parameterCount = 0;
    bool m_enabled = false;
};

class CCall : public CInstruction {
public:
    explicit CCall(const CCallInfo* definition);

    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override;
    std::string GetText() const override { return InstructionText(); }
    CCodeBase* Clone() const override;
    unsigned GetCodeType() const override { return CodeTypeCall; }
    // A nested call follows its parameter; otherwise complete and enabled by the user.
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    // The user's flag, without the completeness rule.
    bool GetEnabledFlag() const { return m_enabled; }
};

class CStructure : public CInstruction {
public:
    explicit CStructure(const CStructureInfo* definition);
    ~CStructure() override;

    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override { AppendCode(out, level, nullptr); }
    void AppendCode(std::string& out, int level, CCodeWriter* writer) const;
    std::string GetText() const override { return InstructionText(); }
    CCodeBase* Clone() const override;
    CCodeBase* GetChild(std::size_t index) const override;
    std::size_t GetChildCount() const override { return m_blocks.size(); }
    bool IsContainer() const override { return true; }
    unsigned GetCodeType() const override { return CodeTypeStructure; }
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    bool GetEnabledFlag() const { return m_enabled; }

private:
    std::vector<CBlock*> m_blocks;
};

// A parameter's value kept aside, taken out of it (CParameter::TakeValue) or
// copied, so that a dialog can put back exactly what was there when it is
// cancelled. A literal or call is owned and stays alive whatever the
// parameter gets meanwhile; a constant is shared. A variable is followed:
// when it is deleted or changes its type the holder becomes empty, because
// putting it back would reference a dead or ill-typed variable.
class CHeldValue {
public:
    CHeldValue() = default;
    ~CHeldValue() { Reset(); }
    CHeldValue(CHeldValue&& other) noexcept;
    CHeldValue& operator=(CHeldValue&& other) noexcept;
    CHeldValue(const CHeldValue&) = delete;
    CHeldValue& operator=(const CHeldValue&) = delete;

    // A copy made with Clone: a literal or call is copied, a constant or a
    // variable is the object itself.
    static CHeldValue CopyOf(const CCodeBase* value);

    // Null when empty or when the held variable is gone.
    const CCodeBase* Get() const { return m_node; }
    bool IsEmpty() const { return m_node == nullptr; }
    // Releases what is held.
    void Reset();

private:
    friend class CParameter;
    friend class CVariableBase;

    void Hold(CCodeBase* node);
    // Gives the node up without releasing it.
    CCodeBase* Give();
    CVariableBase* HeldVariable() const;

    CCodeBase* m_node = nullptr;
};

class CParameter : public CCodeBase {
public:
    CParameter(const CParameterInfo* definition, CParameter* reference);
    ~CParameter() override;

    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override;
    std::string GetText() const override;
    CCodeBase* Clone() const override;
    CParameter* CloneWithReference(CParameter* newReference) const;
    const CTypeInfo* GetType() const override;
    unsigned GetCodeType() const override { return CodeTypeParameter; }
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    bool IsComplete() const override;
    bool UsesModule(const CModuleBase* module) const override;

    CCodeBase* GetValue() const { return m_value; }
    // Stores the value (owned unless a constant or variable) and releases the
    // old one. A value of another type than before, or none, empties the
    // reference parameters of the instruction that refer here and no longer
    // fit, and disables the instruction, as deleting a variable does.
    void SetValue(CCodeBase* value);
    // A module constant; constants are shared, never changed through a parameter.
    void SetConstant(const CConstant* constant);
    // Takes the value out without releasing it; the parameter is left empty
    // and its reference parameters keep their values, for the value to come back.
    CHeldValue TakeValue();
    // Puts a held value back when it still fits (a variable that still
    // exists, of the type the parameter takes now); otherwise the parameter
    // is left empty. The value the parameter held is released either way.
    bool PutValue(CHeldValue held);
    // Whether the value may be stored here, by type (null always may; a
    // reference parameter takes nothing else while its source is empty).
    bool Accepts(const CCodeBase* value) const;
    int GetChoiceIndex() const { return m_choiceIndex; }
    void SetChoiceIndex(int index);
    bool HasValue() const;
    bool IsEnumerated() const { return m_choiceIndex != -1; }
    // The earlier parameter of the same instruction whose value gives a
    // reference parameter its type; found through the instruction, so a
    // copied instruction's parameters refer within the copy.
    CParameter* GetReference() const;
    const CParameterInfo* GetParameterInfo() const;

    // For a trigger kept in the undo history: leaves (and rejoins) the users
    // list of the variable it holds, keeping the variable.
    void LeaveVariableUsers();
    void JoinVariableUsers();
    // Drops the variable without telling it (it may be gone): only for a
    // parameter that left its users list.
    void ForgetVariable();

private:
    friend class CVariableBase;

    void EmptyMisfitDependents(const CTypeInfo* type);

    CCodeBase* m_value = nullptr;
    // Links of the users list of the variable this parameter holds.
    CParameter* m_prevUser = nullptr;
    CParameter* m_nextUser = nullptr;
    int m_choiceIndex = -1;
    // The value is a variable whose users list this parameter left: it may
    // be gone by the time the parameter is, so it is not to be touched then.
    bool m_leftUsers = false;
};

} // namespace bram
