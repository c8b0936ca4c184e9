#pragma once

#include "records/CodeInfoBase.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace bram {

// Built-in kinds of value a type stands for; consumers combine them as masks.
enum ERealType : std::uint32_t {
    RealTypeBoolean = 0x01,
    RealTypeNumber = 0x02,
    RealTypeString = 0x04,
    RealTypeTrigger = 0x10,
    RealTypeFunction = 0x20,
    RealTypeUndefined = 0x40,
    RealTypeVariable = 0x80,
};

// The replacement keys of a type's start and end strings: characters XML
// text cannot hold, so they never collide with declared replacements.
inline constexpr char kStartStringKey[] = "\x01";
inline constexpr char kEndStringKey[] = "\x02";

using CReplacement = std::pair<std::string, std::string>; // (What, By)

class CTypeInfo : public CCodeInfoBase {
public:
    // Only a String type may carry replacements.
    CTypeInfo(std::string name, std::string nameSpace, std::uint32_t realType, std::string creationInstruction,
              std::vector<CReplacement> replacements, const CModuleBase* module);

    std::string GetLocalizedDescription() const override { return {}; }
    std::string GetLocalizedShortDescription() const override { return {}; }
    // A type is never placed in code: internal check, null.
    std::unique_ptr<CCodeBase> CreateCode() const override;
    EDefinitionKind GetKind() const override { return EDefinitionKind::Type; }

    std::uint32_t GetRealType() const { return m_realType; }
    // Start string, end string, then the declared replacements.
    const std::vector<CReplacement>& GetReplacements() const { return m_replacements; }

private:
    std::uint32_t m_realType;
    std::vector<CReplacement> m_replacements;
};

} // namespace bram
