#pragma once
// A constant a module declares: a value node that every parameter using the
// constant points to. It belongs to its module for the whole run; parameters
// only refer to it.
//
// The code model makes this a CValueBase node (code type 128, Clone returns
// the constant itself, Release does nothing); what is here is the part that
// module loading and the readers of the data file need.

#include <string>

namespace bram {

class CModule;
class CTypeInfo;

class CConstant {
public:
    // Internal checks: a type whose real type has a bit other than Variable,
    // and a non-empty name.
    CConstant(const CTypeInfo* type, std::string name, std::string nameSpace, std::string value,
              const CModule* module);
    CConstant(const CConstant&) = delete;
    CConstant& operator=(const CConstant&) = delete;

    // The script text, as declared; the level is ignored.
    std::string GetCode(int level) const;
    // The module's text for "Namespace/Name".
    std::string GetText() const;

    const std::string& GetName() const { return m_name; }
    const std::string& GetNamespace() const { return m_namespace; }
    const std::string& GetValue() const { return m_value; }
    const CTypeInfo* GetType() const { return m_type; }
    const CModule* GetModule() const { return m_module; }
    // The constant's own module or that of its type.
    bool UsesModule(const CModule* module) const;

private:
    std::string m_name;
    std::string m_namespace;
    std::string m_value;
    const CTypeInfo* m_type;
    const CModule* m_module;
};

} // namespace bram
