#pragma once
// Calls and structures: the two kinds of instruction. Both own their
// parameter records; a structure also lists the blocks it holds, which
// belong to their modules.

#include "records/CodeInfoBase.h"
#include "records/ParameterInfo.h"

#include <memory>
#include <vector>

namespace bram {

class CBlockInfo;

using CParameterList = std::vector<std::unique_ptr<CParameterInfo>>;

class CInstructionInfo : public CCodeInfoBase {
public:
    std::string GetLocalizedDescription() const override { return Localize(GetDescription()); }
    std::string GetLocalizedShortDescription() const override { return Localize(GetShortDescription()); }
    const CParameterInfo* GetParameter(unsigned index) const override;
    unsigned GetParameterCount() const override { return static_cast<unsigned>(m_parameters.size()); }

protected:
    CInstructionInfo(Fields fields, CParameterList parameters)
        : CCodeInfoBase(std::move(fields)), m_parameters(std::move(parameters))
    {
    }

private:
    CParameterList m_parameters;
};

class CCallInfo : public CInstructionInfo {
public:
    CCallInfo(std::string name, std::string nameSpace, std::string categories, std::string description,
              std::string shortDescription, std::string rawInstruction, const CTypeInfo* type,
              CParameterList parameters, const CModuleBase* module);
    // A new CCall node.
    std::unique_ptr<CCodeBase> CreateCode() const override;
    EDefinitionKind GetKind() const override { return EDefinitionKind::Call; }
};

class CStructureInfo : public CInstructionInfo {
public:
    CStructureInfo(std::string name, std::string nameSpace, std::string categories, std::string description,
                   std::string shortDescription, std::string rawInstruction, const CTypeInfo* type,
                   CParameterList parameters, std::vector<const CBlockInfo*> blocks, const CModuleBase* module);
    // A new CStructure node.
    std::unique_ptr<CCodeBase> CreateCode() const override;
    EDefinitionKind GetKind() const override { return EDefinitionKind::Structure; }

    unsigned GetBlockCount() const { return static_cast<unsigned>(m_blocks.size()); }
    const CBlockInfo* GetBlock(unsigned index) const;

private:
    std::vector<const CBlockInfo*> m_blocks;
};

} // namespace bram
