#include "log/Assertion.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/ModuleBase.h"
#include "records/ParameterInfo.h"
#include "records/TypeInfo.h"

#include <cmath>
#include <limits>

namespace bram {

CCodeInfoBase::CCodeInfoBase(Fields fields)
    : m_name(std::move(fields.name)),
      m_namespace(std::move(fields.nameSpace)),
      m_description(std::move(fields.description)),
      m_shortDescription(std::move(fields.shortDescription)),
      m_categories(std::move(fields.categories)),
      m_rawInstruction(std::move(fields.rawInstruction)),
      m_module(fields.module),
      m_type(fields.type)
{
}

std::string CCodeInfoBase::Localize(const std::string& reference) const
{
    BRAMBLETON_ASSERT(m_module != nullptr);
    return m_module != nullptr ? m_module->Localize(reference) : reference;
}

std::string CCodeInfoBase::GetLocalizedName() const { return Localize(m_namespace + "/" + m_name); }

const CParameterInfo* CCodeInfoBase::GetParameter(unsigned /*index*/) const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

namespace {

// Types, blocks and parameters describe themselves by their name.
CCodeInfoBase::Fields NamedFields(std::string name, std::string nameSpace, const CTypeInfo* type,
                                  const CModuleBase* module, std::string rawInstruction = {})
{
    CCodeInfoBase::Fields fields{.name = std::move(name),
                                 .nameSpace = std::move(nameSpace),
                                 .description = {},
                                 .shortDescription = {},
                                 .categories = {},
                                 .rawInstruction = std::move(rawInstruction),
                                 .module = module,
                                 .type = type};
    fields.description = fields.name;
    fields.shortDescription = fields.name;
    return fields;
}

} // namespace

CTypeInfo::CTypeInfo(std::string name, std::string nameSpace, std::uint32_t realType, std::string creationInstruction,
                     std::vector<CReplacement> replacements, const CModuleBase* module)
    : CCodeInfoBase(
          NamedFields(std::move(name), std::move(nameSpace), nullptr, module, std::move(creationInstruction))),
      m_realType(realType),
      m_replacements(std::move(replacements))
{
    BRAMBLETON_ASSERT(realType == RealTypeString || m_replacements.empty());
    SetType(this);
}

CBlockInfo::CBlockInfo(std::string name, std::string nameSpace, std::string startInstruction, std::string separator,
                       std::string endInstruction, std::string standardValue, const CTypeInfo* type,
                       const CModuleBase* module)
    : CCodeInfoBase(NamedFields(std::move(name), std::move(nameSpace), type, module)),
      m_startInstruction(std::move(startInstruction)),
      m_endInstruction(std::move(endInstruction)),
      m_separator(std::move(separator)),
      m_standardValue(std::move(standardValue))
{
}

CParameterInfo::CParameterInfo(std::string name, std::string nameSpace, const CTypeInfo* type, bool onlyVariables,
                               const CModuleBase* module)
    : CCodeInfoBase(NamedFields(std::move(name), std::move(nameSpace), type, module)), m_onlyVariables(onlyVariables)
{
    BRAMBLETON_ASSERT(type != nullptr && type->GetRealType() != RealTypeNumber);
}

CParameterInfo::CParameterInfo(std::string name, std::string nameSpace, const CTypeInfo* type, bool onlyVariables,
                               double minValue, const CModuleBase* module)
    : CCodeInfoBase(NamedFields(std::move(name), std::move(nameSpace), type, module)),
      m_onlyVariables(onlyVariables),
      m_minValue(minValue)
{
    BRAMBLETON_ASSERT(type != nullptr && type->GetRealType() == RealTypeNumber);
}

CParameterInfo::CParameterInfo(std::string name, std::string nameSpace, std::vector<CEnumValue> values,
                               const CModuleBase* module)
    : CCodeInfoBase(NamedFields(std::move(name), std::move(nameSpace), nullptr, module)), m_values(std::move(values))
{
    BRAMBLETON_ASSERT(!m_values.empty());
}

CParameterInfo::CParameterInfo(std::string name, std::string nameSpace, unsigned referenceTo, const CModuleBase* module)
    : CCodeInfoBase(NamedFields(std::move(name), std::move(nameSpace), nullptr, module)),
      m_referenceTo(referenceTo),
      m_isReference(true)
{
}

unsigned CParameterInfo::GetParameterCount() const
{
    BRAMBLETON_ASSERT(IsEnumerated());
    return static_cast<unsigned>(m_values.size());
}

bool CParameterInfo::HasMinValue() const { return !std::isnan(m_minValue); }

const std::vector<CEnumValue>& CParameterInfo::GetValues() const
{
    BRAMBLETON_ASSERT(GetType() == nullptr);
    return m_values;
}

const CParameterInfo* CInstructionInfo::GetParameter(unsigned index) const
{
    BRAMBLETON_ASSERT(index < m_parameters.size());
    return index < m_parameters.size() ? m_parameters[index].get() : nullptr;
}

namespace {

CCodeInfoBase::Fields InstructionFields(std::string& name, std::string& nameSpace, std::string& categories,
                                        std::string& description, std::string& shortDescription,
                                        std::string& rawInstruction, const CTypeInfo* type, const CModuleBase* module)
{
    return {.name = std::move(name),
            .nameSpace = std::move(nameSpace),
            .description = std::move(description),
            .shortDescription = std::move(shortDescription),
            .categories = std::move(categories),
            .rawInstruction = std::move(rawInstruction),
            .module = module,
            .type = type};
}

} // namespace

CCallInfo::CCallInfo(std::string name, std::string nameSpace, std::string categories, std::string description,
                     std::string shortDescription, std::string rawInstruction, const CTypeInfo* type,
                     CParameterList parameters, const CModuleBase* module)
    : CInstructionInfo(
          InstructionFields(name, nameSpace, categories, description, shortDescription, rawInstruction, type, module),
          std::move(parameters))
{
}

CStructureInfo::CStructureInfo(std::string name, std::string nameSpace, std::string categories, std::string description,
                               std::string shortDescription, std::string rawInstruction, const CTypeInfo* type,
                               CParameterList parameters, std::vector<const CBlockInfo*> blocks,
                               const CModuleBase* module)
    : CInstructionInfo(
          InstructionFields(name, nameSpace, categories, description, shortDescription, rawInstruction, type, module),
          std::move(parameters)),
      m_blocks(std::move(blocks))
{
}

const CBlockInfo* CStructureInfo::GetBlock(unsigned index) const
{
    BRAMBLETON_ASSERT(index < m_blocks.size());
    return index < m_blocks.size() ? m_blocks[index] : nullptr;
}

} // namespace bram
