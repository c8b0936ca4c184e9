#pragma once
// How the instruction view asks for an instruction: the instruction dialog
// implements it, tests script it. The view records the history step before
// asking and places, replaces or takes back according to the answer.

#include <memory>

class QWidget;

namespace bram {
class CCodeBase;
class CState;
class CTypeInfo;
} // namespace bram

namespace bram::gui {

class IInstructionChooser {
public:
    struct Result {
        // The chosen instruction (the caller owns it); null when cancelled.
        std::unique_ptr<CCodeBase> instruction;
        // The user added or changed variables while choosing (also when cancelled).
        bool variablesChanged = false;
    };

    virtual ~IInstructionChooser() = default;
    // An instruction for a block of blockType in the state (the current state,
    // already recorded as a step). existing: the instruction being edited, or
    // null for a new one; the chooser works on a copy and never changes it.
    virtual Result Choose(CState& state, const CTypeInfo* blockType, const CCodeBase* existing, QWidget* parent) = 0;
    // A new instruction the user has picked already (by name): the chooser
    // opens on it, asking first for a parameter that has no value.
    virtual Result ChoosePicked(CState& state, const CTypeInfo* blockType, const CCodeBase& picked, QWidget* parent)
    {
        return Choose(state, blockType, &picked, parent);
    }
};

} // namespace bram::gui
