#include "document/EditPlaces.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"

namespace bram {

std::optional<SEntryPlace> PlaceOfEntry(const CCategorySystem& categories, const CTriggerEntry* entry)
{
    for (std::size_t i = 0; entry != nullptr && i < categories.GetCategoryCount(); ++i) {
        CCategory* category = categories.GetCategory(i);
        if (const int index = category->IndexOf(entry); index >= 0) {
            return SEntryPlace{category, static_cast<std::size_t>(index)};
        }
    }
    return std::nullopt;
}

bool IsOurs(const CCategorySystem& categories, const CCategory* category)
{
    return category != nullptr && categories.IndexOf(category) >= 0;
}

std::optional<SNodePlace> PlaceOfNode(const CApplicationDocument& document, const CCodeBase* node)
{
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = node != nullptr ? node->GetTrigger() : nullptr;
    if (state == nullptr || trigger == nullptr || state->FindTrigger(trigger->GetId()) != trigger) {
        return std::nullopt;
    }
    std::vector<std::size_t> path = trigger->GetNodePath(node);
    if (path.empty()) {
        return std::nullopt;
    }
    return SNodePlace{trigger->GetId(), std::move(path)};
}

CCodeTrigger* TriggerAt(const CApplicationDocument& document, const SNodePlace& place)
{
    return document.GetState()->FindTrigger(place.trigger);
}

CCodeBase* NodeAt(const CApplicationDocument& document, const SNodePlace& place)
{
    const CCodeTrigger* trigger = TriggerAt(document, place);
    return trigger != nullptr ? trigger->GetNodeFromPath(place.path) : nullptr;
}

bool IsInstruction(const CCodeBase* node)
{
    return node != nullptr && (node->GetCodeType() & CodeTypeInstructionMask) != 0;
}

bool IsBlock(const CCodeBase* node) { return node != nullptr && node->GetCodeType() == CodeTypeBlock; }

bool IsPlacedInstruction(const CCodeBase* node) { return IsInstruction(node) && IsBlock(node->GetParent()); }

void DeleteStateTrigger(CState& state, std::uint32_t id)
{
    if (const int index = state.IndexOfTrigger(state.FindTrigger(id)); index >= 0) {
        state.DeleteTrigger(static_cast<std::size_t>(index));
    }
}

} // namespace bram
