// Creating code nodes from definition records. The node classes (CBlock,
// CCall, CStructure, CParameter) belong to the code model; until it exists
// every create operation fails its internal check and answers null, so no
// caller can mistake a missing node for a made one.

#include "log/Assertion.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/ParameterInfo.h"
#include "records/TypeInfo.h"

namespace bram {

CCodeBase* CTypeInfo::CreateCode() const
{
    // A type is never placed in code.
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CCodeBase* CBlockInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CCodeBase* CCallInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CCodeBase* CStructureInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CCodeBase* CParameterInfo::CreateCode() const
{
    BRAMBLETON_ASSERT(!m_isReference);
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

CParameter* CParameterInfo::CreateReferenceCode(CParameter* /*referenced*/) const
{
    BRAMBLETON_ASSERT(m_isReference);
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

} // namespace bram
