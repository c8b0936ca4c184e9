#include "document/NodeWalk.h"

#include "code/CodeTrigger.h"
#include "code/Instructions.h"

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

} // namespace

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
