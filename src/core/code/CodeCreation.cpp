// Creating code nodes from definition records.

#include "code/Instructions.h"
#include "code/Records.h"
#include "log/Assertion.h"

namespace bram {

std::unique_ptr<CCodeBase> CTypeInfo::CreateCode() const
{
    // A type is never placed in code.
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

std::unique_ptr<CCodeBase> CBlockInfo::CreateCode() const { return std::make_unique<CBlock>(this); }

std::unique_ptr<CCodeBase> CCallInfo::CreateCode() const { return std::make_unique<CCall>(this); }

std::unique_ptr<CCodeBase> CStructureInfo::CreateCode() const { return std::make_unique<CStructure>(this); }

std::unique_ptr<CCodeBase> CParameterInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(!IsReference());
    return std::make_unique<CParameter>(this, nullptr);
}

std::unique_ptr<CParameter> CParameterInfo::CreateReferenceCode(CParameter* referenced) const
{
    BRAMBLETON_ASSERT(IsReference());
    return std::make_unique<CParameter>(this, referenced);
}

} // namespace bram
