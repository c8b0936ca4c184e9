#include "document/EditPlaces.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"

#include <algorithm>

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

std::optional<std::vector<CTriggerEntry*>> EntriesInTreeOrder(const CCategorySystem& categories,
                                                              const std::vector<CTriggerEntry*>& entries)
{
    std::vector<std::pair<std::pair<int, std::size_t>, CTriggerEntry*>> found;
    for (CTriggerEntry* entry : entries) {
        const std::optional<SEntryPlace> place = PlaceOfEntry(categories, entry);
        if (!place) {
            return std::nullopt;
        }
        found.push_back({{categories.IndexOf(place->category), place->index}, entry});
    }
    std::ranges::sort(found);
    std::vector<CTriggerEntry*> ordered;
    for (const auto& [place, entry] : found) {
        if (ordered.empty() || ordered.back() != entry) {
            ordered.push_back(entry);
        }
    }
    return ordered;
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

std::optional<SInstructionSet> OutermostInstructions(const CApplicationDocument& document,
                                                     const std::vector<const CCodeBase*>& nodes)
{
    std::vector<std::pair<std::vector<std::size_t>, const CCodeBase*>> found;
    SInstructionSet set;
    for (const CCodeBase* node : nodes) {
        std::optional<SNodePlace> place = IsPlacedInstruction(node) ? PlaceOfNode(document, node) : std::nullopt;
        if (!place || (!found.empty() && place->trigger != set.trigger)) {
            return std::nullopt;
        }
        set.trigger = place->trigger;
        found.emplace_back(std::move(place->path), node);
    }
    if (found.empty()) {
        return std::nullopt;
    }
    // In tree order a node's ancestors come before it, and the last one kept
    // is its nearest kept one.
    std::ranges::sort(found, {}, [](const auto& item) -> const std::vector<std::size_t>& { return item.first; });
    for (auto& [path, node] : found) {
        if (!set.paths.empty() && std::ranges::mismatch(set.paths.back(), path).in1 == set.paths.back().end()) {
            continue;
        }
        set.paths.push_back(std::move(path));
        set.nodes.push_back(node);
    }
    return set;
}

bool IsInstruction(const CCodeBase* node)
{
    return node != nullptr && (node->GetCodeType() & CodeTypeInstructionMask) != 0;
}

bool IsBlock(const CCodeBase* node) { return node != nullptr && node->GetCodeType() == CodeTypeBlock; }

bool IsPlacedInstruction(const CCodeBase* node) { return IsInstruction(node) && IsBlock(node->GetParent()); }

} // namespace bram
