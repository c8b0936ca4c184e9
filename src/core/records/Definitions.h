#pragma once
// The global lists of definitions of every loaded module, in loading order.
// The module loader fills them and empties them when it releases the modules.

#include <vector>

namespace bram {

class CTypeInfo;
class CBlockInfo;
class CCodeInfoBase;

const std::vector<const CTypeInfo*>& GetAllTypes();
const std::vector<const CBlockInfo*>& GetAllBlocks();
// Structures and calls.
const std::vector<const CCodeInfoBase*>& GetAllInstructions();

// For the module loader only.
std::vector<const CTypeInfo*>& MutableTypeList();
std::vector<const CBlockInfo*>& MutableBlockList();
std::vector<const CCodeInfoBase*>& MutableInstructionList();

} // namespace bram
