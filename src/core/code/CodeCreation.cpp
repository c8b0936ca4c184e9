// Creating code nodes from definition records.

#include "code/Instructions.h"
#include "code/Records.h"
#include "log/Assertion.h"

namespace bram {

CCodeBase* CTypeInfo::CreateCode() const
{
    // A type is never placed in code.
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CCodeBase* CBlockInfo::CreateCode() const { return new CBlock(this); }

CCodeBase* CCallInfo::CreateCode() const { return new CCall(this); }

CCodeBase* CStructureInfo::CreateCode() const { return new CStructure(this); }

CCodeBase* CParameterInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(!IsReference());
    return new CParameter(this, nullptr);
}

CParameter* CParameterInfo::CreateReferenceCode(CParameter* referenced) const
{
    BRAMBLETON_ASSERT(IsReference());
    return new CParameter(this, referenced);
}

} // namespace bram
