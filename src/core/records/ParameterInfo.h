#pragma once
// A parameter of a call or structure: typed (a type, maybe a minimum for
// numbers), enumerated (a list of named script values) or a reference (its
// type is that of an earlier parameter of the same instruction).

#include "records/CodeInfoBase.h"

#include <utility>
#include <vector>

namespace bram {

class CParameter;

using CEnumValue = std::pair<std::string, std::string>; // (Name, Value)

class CParameterInfo : public CCodeInfoBase {
public:
    // Typed, for a type that is not a Number.
    CParameterInfo(std::string name, std::string nameSpace, const CTypeInfo* type, bool onlyVariables,
                   const CModuleBase* module);
    // Typed, for a Number type; NaN means no minimum.
    CParameterInfo(std::string name, std::string nameSpace, const CTypeInfo* type, bool onlyVariables, double minValue,
                   const CModuleBase* module);
    // Enumerated; the list must not be empty.
    CParameterInfo(std::string name, std::string nameSpace, std::vector<CEnumValue> values, const CModuleBase* module);
    // Reference to the earlier parameter at referenceTo.
    CParameterInfo(std::string name, std::string nameSpace, unsigned referenceTo, const CModuleBase* module);

    std::string GetLocalizedDescription() const override { return GetLocalizedName(); }
    std::string GetLocalizedShortDescription() const override { return GetLocalizedName(); }
    // The number of values of an enumerated parameter.
    unsigned GetParameterCount() const override;
    // A new CParameter node; not for a reference parameter.
    std::unique_ptr<CCodeBase> CreateCode() const override;
    EDefinitionKind GetKind() const override { return EDefinitionKind::Parameter; }
    // A reference parameter's node, typed by the node it refers to.
    std::unique_ptr<CParameter> CreateReferenceCode(CParameter* referenced) const;

    bool GetOnlyVariables() const { return m_onlyVariables; }
    double GetMinValue() const { return m_minValue; }
    bool HasMinValue() const;
    const std::vector<CEnumValue>& GetValues() const;
    bool IsReference() const { return m_isReference; }
    bool IsEnumerated() const { return GetType() == nullptr && !m_isReference; }
    unsigned GetReferenceTo() const { return m_referenceTo; }

private:
    bool m_onlyVariables = false;
    double m_minValue = 0.0;
    std::vector<CEnumValue> m_values;
    unsigned m_referenceTo = 0;
    bool m_isReference = false;
};

} // namespace bram
