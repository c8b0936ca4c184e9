#include "records/Definitions.h"

namespace bram {

std::vector<const CTypeInfo*>& MutableTypeList()
{
    static std::vector<const CTypeInfo*> list;
    return list;
}

std::vector<const CBlockInfo*>& MutableBlockList()
{
    static std::vector<const CBlockInfo*> list;
    return list;
}

std::vector<const CCodeInfoBase*>& MutableInstructionList()
{
    static std::vector<const CCodeInfoBase*> list;
    return list;
}

const std::vector<const CTypeInfo*>& GetAllTypes() { return MutableTypeList(); }
const std::vector<const CBlockInfo*>& GetAllBlocks() { return MutableBlockList(); }
const std::vector<const CCodeInfoBase*>& GetAllInstructions() { return MutableInstructionList(); }

} // namespace bram
