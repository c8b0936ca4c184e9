#pragma once
// Every instruction of a trigger in tree order, with its place as indexes
// (CCodeTrigger::GetNodePath) and as the user reads it: the root block's
// name, then 1-based positions and the names of the structures' blocks
// ("Actions/2/Then/1").

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bram {

class CCodeBase;
class CCodeTrigger;
class CVariableBase;

using InstructionVisitor =
    std::function<void(const CCodeBase& instruction, const std::vector<std::size_t>& path, const std::string& place)>;

// Nothing for a trigger that is custom code.
void ForEachInstruction(const CCodeTrigger& trigger, const InstructionVisitor& visit);

// The variables a node's parameters (and the values of calls given to them)
// use, once each, in first-use order; with `inside`, also those of
// everything in its blocks.
std::vector<const CVariableBase*> VariablesUsedBy(const CCodeBase& node, bool inside);

// The readable place of a node of the trigger's tree; empty when it is not in it.
std::string NodePlace(const CCodeTrigger& trigger, const CCodeBase& node);

} // namespace bram
