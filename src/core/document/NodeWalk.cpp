#include "document/NodeWalk.h"

#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/Variables.h"

#include <algorithm>

namespace bram {

namespace {

void WalkBlock(const CCodeBase& block, std::vector<std::size_t>& path, const std::string& place,
               const InstructionVisitor& visit)
{
    for (std::size_t i = 0; i < block.GetChildCount(); ++i) {
        const CCodeBase* instruction = block.GetChild(i);
        path.push_back(i);
        const std::string here = place + "/" + std::to_string(i + 1);
        visit(*instruction, path, here);
        for (std::size_t b = 0; b < instruction->GetChildCount(); ++b) {
            const CCodeBase* inner = instruction->GetChild(b);
            path.push_back(b);
            WalkBlock(*inner, path, here + "/" + inner->GetText(), visit);
            path.pop_back();
        }
        path.pop_back();
    }
}

void CollectVariables(const CCodeBase& node, bool inside, std::vector<const CVariableBase*>& used)
{
    for (std::size_t p = 0; p < node.GetParameterCount(); ++p) {
        const CCodeBase* value = node.GetParameter(p)->GetValue();
        if (const auto* variable = dynamic_cast<const CVariableBase*>(value)) {
            if (std::find(used.begin(), used.end(), variable) == used.end()) {
                used.push_back(variable);
            }
        } else if (value != nullptr && value->GetCodeType() == CodeTypeCall) {
            CollectVariables(*value, false, used);
        }
    }
    for (std::size_t c = 0; inside && c < node.GetChildCount(); ++c) {
        CollectVariables(*node.GetChild(c), true, used);
    }
}

} // namespace

std::vector<const CVariableBase*> VariablesUsedBy(const CCodeBase& node, bool inside)
{
    std::vector<const CVariableBase*> used;
    CollectVariables(node, inside, used);
    return used;
}

void ForEachInstruction(const CCodeTrigger& trigger, const InstructionVisitor& visit)
{
    if (trigger.IsCode()) {
        return;
    }
    std::vector<std::size_t> path;
    for (std::size_t b = 0; b < trigger.GetBlockCount(); ++b) {
        const CBlock* block = trigger.GetBlock(b);
        path.assign(1, b);
        WalkBlock(*block, path, block->GetText(), visit);
    }
}

std::string NodePlace(const CCodeTrigger& trigger, const CCodeBase& node)
{
    const std::vector<std::size_t> path = trigger.GetNodePath(&node);
    if (path.empty()) {
        return {};
    }
    const CCodeBase* walk = trigger.GetBlock(path[0]);
    std::string place = walk->GetText();
    for (std::size_t i = 1; i < path.size(); ++i) {
        walk = walk->GetChild(path[i]);
        // Odd depths are instructions in a block, even ones a structure's blocks.
        place += "/" + (i % 2 == 1 ? std::to_string(path[i] + 1) : walk->GetText());
    }
    return place;
}

} // namespace bram
