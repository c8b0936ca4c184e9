#pragma once
// Values are leaves of the code tree held by a parameter. A constant is the
// value a module declares: every parameter using it points to the one object
// its module owns, so copying returns the constant itself and releasing it
// does nothing.

#include "code/CodeBase.h"

namespace bram {

class CValueBase : public CCodeBase {
public:
    CValueBase() : CCodeBase(nullptr) {}
    unsigned GetCodeType() const override { return CodeTypeValue; }
    bool IsEnabled() const override;
    void SetEnabled(bool) override {}
    bool IsComplete() const override { return true; }
    const CCodeTrigger* GetTrigger() const override { return nullptr; }
    CCodeTrigger* GetTrigger() override { return nullptr; }
};

class CConstant : public CValueBase {
public:
    CConstant(const CTypeInfo* type, std::string name, std::string nameSpace, std::string value,
              const CModuleBase* module);

    std::string GetCode(int level) const override;
    void AppendCode(std::string& out, int) const override { out += m_value; }
    std::string GetText() const override;
    CCodeBase* Clone() const override;
    const CTypeInfo* GetType() const override { return m_constantType; }
    unsigned GetCodeType() const override { return CodeTypeConstant; }
    bool UsesModule(const CModuleBase* module) const override;
    // Belongs to its module and is shared by every parameter using it, so it
    // keeps no parent (one would dangle once that parameter is gone).
    void Release(CCodeBase*) override {}
    void SetParent(CCodeBase*) override {}
    void RemoveParent(CCodeBase*) override {}
    bool IsEnabled() const override { return true; }

    const std::string& GetName() const { return m_name; }
    const std::string& GetNamespace() const { return m_namespace; }
    const std::string& GetValue() const { return m_value; }
    const CModuleBase* GetModule() const { return m_module; }

private:
    std::string m_name;
    std::string m_namespace;
    std::string m_value;
    const CTypeInfo* m_constantType;
    const CModuleBase* m_module;
};

} // namespace bram
