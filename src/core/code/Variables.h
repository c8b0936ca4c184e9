#pragma once
// Variables: a parameter may hold one instead of a value. A variable belongs
// to the state (globals, trigger variables) or to its trigger (locals) and
// keeps the list of parameters that reference it; it is never deleted by a
// parameter. Deleting a variable or changing its type empties every
// parameter that used it and disables their instructions.

#include "code/CodeBase.h"

#include <vector>

namespace bram {

class CHeldValue;

class CVariableBase : public CCodeBase {
public:
    CVariableBase() : CCodeBase(nullptr) {}

    // The first referencing parameter, or null.
    const CCodeBase* GetParent() const override;
    CCodeBase* GetParent() override;
    // Adds a referencing parameter (once).
    void SetParent(CCodeBase* parent) override;
    // Drops a referencing parameter.
    void RemoveParent(CCodeBase* parent) override;
    void Release(CCodeBase* owner) override;

    unsigned GetCodeType() const override { return CodeTypeVariable; }
    bool IsEnabled() const override { return true; }
    void SetEnabled(bool) override {}
    bool IsComplete() const override { return true; }
    const CCodeTrigger* GetTrigger() const override { return nullptr; }
    CCodeTrigger* GetTrigger() override { return nullptr; }

    // Prepares the twin that Clone returns while a trigger or state is copied.
    virtual void PrepareCopy() = 0;
    // Forgets the twin; whoever took it owns it.
    virtual void ClearCopy() = 0;

    // The referencing parameters, in the order they started to reference it.
    std::vector<CParameter*> GetUsers() const;
    std::size_t GetUserCount() const { return m_userCount; }
    // The users that lie in a trigger: not those of an instruction a dialog
    // works on, which is no part of the document until it is confirmed.
    std::size_t GetPlacedUserCount() const;
    // Empties every referencing parameter and disables its instruction, and
    // empties the holders that keep the variable aside: what deleting the
    // variable does, for a history step that keeps the variable itself.
    void DetachUsers();

private:
    friend class CHeldValue;

    bool IsListed(const CParameter* parameter) const;
    void Unlink(CParameter* parameter);
    void AddHolder(CHeldValue* holder) { m_holders.push_back(holder); }
    void RemoveHolder(CHeldValue* holder);

    // The users form a list threaded through the parameters themselves, so
    // adding and dropping one costs the same however many a variable has.
    CParameter* m_firstUser = nullptr;
    CParameter* m_lastUser = nullptr;
    std::size_t m_userCount = 0;
    // Rare (an open dialog's saved value), so a plain list.
    std::vector<CHeldValue*> m_holders;
};

class CUserDefinedVariable : public CVariableBase {
public:
    CUserDefinedVariable(std::string name, const CTypeInfo* type);
    ~CUserDefinedVariable() override;

    std::string GetText() const override { return m_name; }
    // The variable prefix followed by the normalized name.
    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override;
    CCodeBase* Clone() const override;
    const CTypeInfo* GetType() const override { return m_variableType; }
    bool UsesModule(const CModuleBase* module) const override;
    void PrepareCopy() override;
    void ClearCopy() override { m_twin = nullptr; }

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name);
    // A different type detaches every user.
    void SetType(const CTypeInfo* type);

    // Whether a variable may have this type (Boolean, Number, String or Undefined).
    static bool IsAllowedType(const CTypeInfo* type);

private:
    std::string m_name;
    std::string m_identifier; // the normalized name, kept with the name
    const CTypeInfo* m_variableType;
    CUserDefinedVariable* m_twin = nullptr;
};

class CTriggerVariable : public CVariableBase {
public:
    CTriggerVariable(CCodeTrigger* trigger, const CTypeInfo* type);
    // A twin; the state copy sets its trigger.
    explicit CTriggerVariable(const CTypeInfo* type);
    ~CTriggerVariable() override;

    // The trigger's plain name.
    std::string GetText() const override;
    // Trigger name for a Trigger type, function name otherwise.
    std::string GetCode(int level) const override;
    CCodeBase* Clone() const override;
    const CTypeInfo* GetType() const override { return m_variableType; }
    const CCodeTrigger* GetTrigger() const override { return m_trigger; }
    CCodeTrigger* GetTrigger() override { return m_trigger; }
    bool UsesModule(const CModuleBase* module) const override;
    void PrepareCopy() override;
    void ClearCopy() override { m_twin = nullptr; }

    void SetTrigger(CCodeTrigger* trigger) { m_trigger = trigger; }

private:
    CTriggerVariable* m_twin = nullptr;
    CCodeTrigger* m_trigger = nullptr;
    const CTypeInfo* m_variableType;
};

} // namespace bram
