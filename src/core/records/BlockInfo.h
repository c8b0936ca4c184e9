#pragma once

#include "records/CodeInfoBase.h"

namespace bram {

class CBlockInfo : public CCodeInfoBase {
public:
    CBlockInfo(std::string name, std::string nameSpace, std::string startInstruction, std::string separator,
               std::string endInstruction, std::string standardValue, const CTypeInfo* type, const CModuleBase* module);

    std::string GetLocalizedDescription() const override { return GetLocalizedName(); }
    std::string GetLocalizedShortDescription() const override { return GetLocalizedName(); }
    // A new CBlock node.
    std::unique_ptr<CCodeBase> CreateCode() const override;
    EDefinitionKind GetKind() const override { return EDefinitionKind::Block; }

    const std::string& GetStartInstruction() const { return m_startInstruction; }
    const std::string& GetEndInstruction() const { return m_endInstruction; }
    const std::string& GetSeparator() const { return m_separator; }
    const std::string& GetStandardValue() const { return m_standardValue; }

private:
    std::string m_startInstruction;
    std::string m_endInstruction;
    std::string m_separator;
    std::string m_standardValue;
};

} // namespace bram
