#include "document/DocumentEdits.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/EditPlaces.h"
#include "history/CategoryParam.h"
#include "history/StepName.h"
#include "history/TriggerParam.h"
#include "localization/Localization.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace bram {

namespace {

bool SetTriggerFlag(CApplicationDocument& document, std::uint32_t triggerId, bool value, const char* stepName,
                    bool (CCodeTrigger::*get)() const, void (CCodeTrigger::*set)(bool))
{
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->FindTrigger(triggerId) : nullptr;
    if (trigger == nullptr || (trigger->*get)() == value) {
        return false;
    }
    document.AddHistoryStep(stepName, SStepScope{.triggers = {triggerId}});
    (document.GetState()->FindTrigger(triggerId)->*set)(value);
    document.NoteChange({EChangeKind::TriggerFlags, nullptr, triggerId});
    return true;
}

// The instruction dialog changes its trigger and, through the variables
// dialog, the globals (whose users the step keeps as they are retired).
SStepScope InstructionDialogScope(const CCodeTrigger& trigger)
{
    return SStepScope{.triggers = {trigger.GetId()}, .globals = true};
}

// A deletion of the current trigger leaves none current.
void NoteSelectionIfRemoved(CApplicationDocument& document, const std::vector<std::uint32_t>& removed)
{
    const int current = document.GetState()->GetCurrentTriggerId();
    if (current >= 0 && std::ranges::find(removed, static_cast<std::uint32_t>(current)) != removed.end()) {
        document.NoteChange({EChangeKind::Selection});
    }
}

} // namespace

// ---- main frame commands ------------------------------------------------------

bool ConvertCurrentTriggerToCode(CApplicationDocument& document)
{
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger == nullptr || trigger->IsCode()) {
        return false;
    }
    document.AddHistoryStep("History/Trigger_ToCode", SStepScope{.triggers = {trigger->GetId()}});
    CCodeTrigger* current = document.GetState()->GetCurrentTrigger();
    current->ConvertToCode(current->GetCode(0));
    document.NoteChange({EChangeKind::Text, nullptr, current->GetId()});
    document.UpdateAllViews();
    return true;
}

CState* BeginEditVariables(CApplicationDocument& document, bool locals)
{
    const CState* state = document.GetState();
    if (locals && (state == nullptr || state->GetCurrentTrigger() == nullptr)) {
        return nullptr;
    }
    // Locals belong to the current trigger; the globals' users are kept as the dialog retires them.
    document.AddHistoryStep("History/Variables_VariablesChanged",
                            locals ? SStepScope{.triggers = {state->GetCurrentTrigger()->GetId()}}
                                   : SStepScope{.globals = true});
    return document.GetState();
}

void EndEditVariables(CApplicationDocument& document, bool accepted)
{
    if (accepted) {
        document.NoteLastStep();
        document.UpdateAllViews();
    } else {
        document.RemoveLastHistoryStep();
    }
}

// ---- categories view ----------------------------------------------------------

std::string NewCategoryName(const CCategorySystem& categories)
{
    const std::string base = GetLocalizedString("CatView/NewCategory");
    for (unsigned n = 1;; ++n) {
        std::string candidate = base + std::to_string(n);
        if (!categories.HasCategory(candidate)) {
            return candidate;
        }
    }
}

std::string NewTriggerName(const CCategorySystem& categories)
{
    const std::string base = NormalizedName(GetLocalizedString("CatView/NewTrigger"));
    for (unsigned n = 1;; ++n) {
        std::string candidate = base + std::to_string(n);
        if (!categories.HasTrigger(candidate)) {
            return candidate;
        }
    }
}

CCategory* CreateCategory(CApplicationDocument& document)
{
    CCategorySystem& categories = document.GetCategorySystem();
    CCategory* category = categories.AddCategory(NewCategoryName(categories));
    document.AddHistoryStep("History/CatView_CreateCategory", SStepScope{},
                            CCategoryParam::Created(categories, category));
    document.NoteChange({EChangeKind::Categories});
    return category;
}

CTriggerEntry* CreateTrigger(CApplicationDocument& document, CCategory* category)
{
    CCategorySystem& categories = document.GetCategorySystem();
    CState* state = document.GetState();
    if (state == nullptr || !IsOurs(categories, category)) {
        return nullptr;
    }
    const std::uint32_t id = state->NewTriggerId();
    CTriggerEntry* entry = category->AddTrigger(NewTriggerName(categories), id);
    document.AddHistoryStep("History/CatView_CreateTrigger", SStepScope{.appends = true},
                            CTriggerParam::Created(category, entry));
    document.GetState()->AddTrigger(std::make_unique<CCodeTrigger>(id, &categories));
    document.NoteChange({EChangeKind::Entries, category, 0, entry});
    return entry;
}

bool DeleteCategory(CApplicationDocument& document, CCategory* category, const char* stepName)
{
    CCategorySystem& categories = document.GetCategorySystem();
    const int index = category != nullptr ? categories.IndexOf(category) : -1;
    if (document.GetState() == nullptr || index < 0) {
        return false;
    }
    SStepScope scope;
    for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
        scope.removes.push_back(category->GetTrigger(i)->GetId());
    }
    NoteSelectionIfRemoved(document, scope.removes);
    std::unique_ptr<CCategory> removed = categories.RemoveCategory(category, false);
    document.AddHistoryStep(stepName, scope,
                            CCategoryParam::Deleted(categories, std::move(removed), static_cast<std::size_t>(index)));
    document.NoteChange({EChangeKind::Categories});
    return true;
}

bool DeleteTrigger(CApplicationDocument& document, CTriggerEntry* entry, const char* stepName)
{
    const std::optional<SEntryPlace> place = PlaceOfEntry(document.GetCategorySystem(), entry);
    if (document.GetState() == nullptr || !place) {
        return false;
    }
    const SStepScope scope{.removes = {entry->GetId()}};
    NoteSelectionIfRemoved(document, scope.removes);
    std::unique_ptr<CTriggerEntry> removed = place->category->RemoveTrigger(entry, false);
    document.AddHistoryStep(stepName, scope, CTriggerParam::Deleted(place->category, std::move(removed), place->index));
    document.NoteChange({EChangeKind::Entries, place->category, 0, entry});
    return true;
}

bool RenameCategory(CApplicationDocument& document, CCategory* category, std::string_view name)
{
    CCategorySystem& categories = document.GetCategorySystem();
    if (name.empty() || !IsOurs(categories, category) || categories.HasCategory(name)) {
        return false;
    }
    std::string oldName = category->GetName();
    category->SetName(name);
    document.AddHistoryStep("History/CatView_RenameCategory", SStepScope{},
                            CCategoryParam::Renamed(categories, category, std::move(oldName)));
    document.NoteChange({EChangeKind::Categories});
    return true;
}

bool RenameTrigger(CApplicationDocument& document, CTriggerEntry* entry, std::string_view name)
{
    CCategorySystem& categories = document.GetCategorySystem();
    const std::string normalized = NormalizedName(name);
    const std::optional<SEntryPlace> place = PlaceOfEntry(categories, entry);
    if (normalized.empty() || !place || categories.HasTrigger(normalized)) {
        return false;
    }
    std::string oldName = entry->GetName();
    entry->SetName(normalized);
    document.AddHistoryStep("History/CatView_RenameTrigger", SStepScope{},
                            CTriggerParam::Renamed(place->category, entry, std::move(oldName)));
    document.NoteChange({EChangeKind::Entries, place->category, 0, entry});
    return true;
}

bool MoveTrigger(CApplicationDocument& document, CTriggerEntry* entry, CCategory* destination, std::size_t index)
{
    CCategorySystem& categories = document.GetCategorySystem();
    const std::optional<SEntryPlace> source = PlaceOfEntry(categories, entry);
    if (!source || !IsOurs(categories, destination) || destination == source->category) {
        return false;
    }
    index = std::min(index, destination->GetTriggerCount());
    destination->InsertTrigger(source->category->RemoveTrigger(entry, false), index);
    document.AddHistoryStep("History/CatView_DragDropTrigger", SStepScope{},
                            CTriggerParam::Moved(entry, source->category, source->index, destination, index));
    document.NoteChange({EChangeKind::Entries, source->category, 0, entry});
    document.NoteChange({EChangeKind::Entries, destination, 0, entry});
    return true;
}

bool DropTriggerOnCategory(CApplicationDocument& document, CTriggerEntry* dragged, CCategory* target)
{
    return target != nullptr && MoveTrigger(document, dragged, target, target->GetTriggerCount());
}

bool DropTriggerOnTrigger(CApplicationDocument& document, CTriggerEntry* dragged, const CTriggerEntry* target)
{
    const std::optional<SEntryPlace> place = PlaceOfEntry(document.GetCategorySystem(), target);
    return target != dragged && place && MoveTrigger(document, dragged, place->category, place->index);
}

bool DeleteTriggers(CApplicationDocument& document, const std::vector<CTriggerEntry*>& entries, SStepKeys keys)
{
    CCategorySystem& categories = document.GetCategorySystem();
    const CState* state = document.GetState();
    const std::optional<std::vector<CTriggerEntry*>> ordered = EntriesInTreeOrder(categories, entries);
    if (state == nullptr || !ordered || ordered->empty()) {
        return false;
    }
    if (ordered->size() == 1) {
        return DeleteTrigger(document, ordered->front(), keys.one);
    }
    SStepScope scope;
    for (const CTriggerEntry* entry : *ordered) {
        scope.removes.push_back(entry->GetId());
    }
    NoteSelectionIfRemoved(document, scope.removes);
    auto list = std::make_unique<CParamList>();
    for (CTriggerEntry* entry : *ordered) {
        const std::optional<SEntryPlace> place = PlaceOfEntry(categories, entry);
        document.NoteChange({EChangeKind::Entries, place->category, 0, entry});
        list->Add(CTriggerParam::Deleted(place->category, place->category->RemoveTrigger(entry, false), place->index));
    }
    document.AddHistoryStep(CountedStepName(keys.many, scope.removes.size()), scope, std::move(list));
    return true;
}

bool MoveTriggers(CApplicationDocument& document, const std::vector<CTriggerEntry*>& entries, CCategory* destination)
{
    CCategorySystem& categories = document.GetCategorySystem();
    const std::optional<std::vector<CTriggerEntry*>> ordered = EntriesInTreeOrder(categories, entries);
    if (!ordered || !IsOurs(categories, destination)) {
        return false;
    }
    std::vector<CTriggerEntry*> moving;
    CChangeReport changes{{EChangeKind::Entries, destination}};
    for (CTriggerEntry* entry : *ordered) {
        const CCategory* source = PlaceOfEntry(categories, entry)->category;
        if (source != destination) {
            moving.push_back(entry);
            changes.Add({EChangeKind::Entries, source});
        }
    }
    if (moving.empty()) {
        return false;
    }
    if (moving.size() == 1) {
        MoveTrigger(document, moving.front(), destination, destination->GetTriggerCount());
    } else {
        auto list = std::make_unique<CParamList>();
        for (CTriggerEntry* entry : moving) {
            const SEntryPlace source = *PlaceOfEntry(categories, entry);
            const std::size_t index = destination->GetTriggerCount();
            destination->InsertTrigger(source.category->RemoveTrigger(entry, false), index);
            list->Add(CTriggerParam::Moved(entry, source.category, source.index, destination, index));
        }
        document.AddHistoryStep(CountedStepName("History/CatView_DragDropTriggers", moving.size()), SStepScope{},
                                std::move(list));
    }
    document.NoteChanges(changes);
    return true;
}

bool SetTriggersEnabled(CApplicationDocument& document, const std::vector<std::uint32_t>& triggerIds, bool enabled)
{
    const CState* state = document.GetState();
    std::vector<std::uint32_t> changed;
    for (const std::uint32_t id : triggerIds) {
        const CCodeTrigger* trigger = state != nullptr ? state->FindTrigger(id) : nullptr;
        if (trigger != nullptr && trigger->IsEnabled() != enabled && std::ranges::find(changed, id) == changed.end()) {
            changed.push_back(id);
        }
    }
    if (changed.empty()) {
        return false;
    }
    if (changed.size() == 1) {
        SetTriggerEnabled(document, changed.front(), enabled);
    } else {
        document.AddHistoryStep(CountedStepName("History/Triggers_EnabledChanged", changed.size()),
                                SStepScope{.triggers = changed});
        for (const std::uint32_t id : changed) {
            document.GetState()->FindTrigger(id)->SetEnabled(enabled);
        }
    }
    for (const std::uint32_t id : changed) {
        document.NoteChange({EChangeKind::TriggerFlags, nullptr, id});
    }
    return true;
}

void SelectTrigger(CApplicationDocument& document, const CTriggerEntry* entry)
{
    CState* state = document.GetState();
    if (state == nullptr) {
        return;
    }
    const bool known = entry != nullptr && state->FindTrigger(entry->GetId()) != nullptr;
    const int current = known ? static_cast<int>(entry->GetId()) : -1;
    if (current != state->GetCurrentTriggerId()) {
        state->SetCurrentTrigger(current);
        document.NoteChange({EChangeKind::Selection});
    }
}

bool SetTriggerEnabled(CApplicationDocument& document, std::uint32_t triggerId, bool enabled)
{
    return SetTriggerFlag(document, triggerId, enabled, "History/Trigger_EnabledChanged", &CCodeTrigger::IsEnabled,
                          &CCodeTrigger::SetEnabled);
}

bool SetTriggerEnabledAtBeginning(CApplicationDocument& document, std::uint32_t triggerId, bool enabled)
{
    return SetTriggerFlag(document, triggerId, enabled, "History/Trigger_EnabledAtBeginningChanged",
                          &CCodeTrigger::IsEnabledAtBeginning, &CCodeTrigger::SetEnabledAtBeginning);
}

// ---- texts ----------------------------------------------------------------------------

bool HasTextField(const CApplicationDocument& document, ETextField field)
{
    const CState* state = document.GetState();
    if (state == nullptr) {
        return false;
    }
    const CCodeTrigger* trigger = state->GetCurrentTrigger();
    // Text stored as a trigger's code would discard its instructions.
    return field == ETextField::Comment || trigger == nullptr || trigger->IsCode();
}

std::string GetFieldText(const CApplicationDocument& document, ETextField field)
{
    if (!HasTextField(document, field)) {
        return {};
    }
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = state->GetCurrentTrigger();
    if (field == ETextField::Comment) {
        return trigger != nullptr ? trigger->GetComment() : state->GetPreamble();
    }
    return trigger != nullptr ? trigger->GetCodeText() : state->GetHeader();
}

bool SetFieldText(CApplicationDocument& document, ETextField field, std::string text, std::string_view stepKind)
{
    if (!HasTextField(document, field)) {
        return false;
    }
    if (text != GetFieldText(document, field)) {
        const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
        const SStepScope scope =
            trigger != nullptr ? SStepScope{.triggers = {trigger->GetId()}} : SStepScope{.texts = true};
        // A run of typing joins the last step, but not one that is not there,
        // that the file already holds (the change would be lost to undo or to
        // the modified flag) or that does not keep this field.
        const CHistory& history = document.GetHistory();
        if (stepKind.empty() && (history.IsAtSavedPoint() || !history.LastStepCovers(scope))) {
            stepKind = "Input";
        }
        if (!stepKind.empty()) {
            document.AddHistoryStep("History/Text_" + std::string(stepKind), scope);
        }
    }
    CState* state = document.GetState();
    CCodeTrigger* trigger = state->GetCurrentTrigger();
    document.NoteChange({EChangeKind::Text, nullptr, trigger != nullptr ? trigger->GetId() : 0});
    if (field == ETextField::Comment && trigger != nullptr) {
        trigger->SetComment(std::move(text));
    } else if (field == ETextField::Comment) {
        state->SetPreamble(std::move(text));
    } else if (trigger != nullptr) {
        trigger->ConvertToCode(std::move(text));
    } else {
        state->SetHeader(std::move(text));
    }
    return true;
}

// ---- instruction view -------------------------------------------------------------------

void SelectNodeFromView(CApplicationDocument& document, const IItemTree& tree)
{
    CState* state = document.GetState();
    CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger != nullptr && !trigger->IsCode()) {
        const CCodeBase* before = trigger->GetCurrentNode();
        trigger->SetCurrentNodeFromView(tree);
        if (trigger->GetCurrentNode() != before) {
            document.NoteChange({EChangeKind::Selection});
        }
    }
}

bool DeleteInstruction(CApplicationDocument& document, const CCodeBase* node, const char* stepName)
{
    const std::optional<SNodePlace> place = IsPlacedInstruction(node) ? PlaceOfNode(document, node) : std::nullopt;
    if (!place) {
        return false;
    }
    document.AddHistoryStep(stepName, SStepScope{.triggers = {place->trigger}});
    CCodeTrigger* trigger = TriggerAt(document, *place);
    CCodeBase* copy = NodeAt(document, *place);
    trigger->SetCurrentNode(nullptr);
    copy->GetParent()->DeleteChild(place->path.back());
    document.NoteChange({EChangeKind::Selection});
    return true;
}

bool DeleteInstructions(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes, SStepKeys keys)
{
    const std::optional<SInstructionSet> set = OutermostInstructions(document, nodes);
    if (!set) {
        return false;
    }
    if (set->nodes.size() == 1) {
        DeleteInstruction(document, set->nodes.front(), keys.one);
    } else {
        document.AddHistoryStep(CountedStepName(keys.many, set->nodes.size()), SStepScope{.triggers = {set->trigger}});
        CCodeTrigger* trigger = document.GetState()->FindTrigger(set->trigger);
        trigger->SetCurrentNode(nullptr);
        // Last first: a deletion moves only what comes after it in the tree.
        for (auto path = set->paths.rbegin(); path != set->paths.rend(); ++path) {
            trigger->GetNodeFromPath(*path)->GetParent()->DeleteChild(path->back());
        }
    }
    document.NoteChange({EChangeKind::Instructions, nullptr, set->trigger});
    document.NoteChange({EChangeKind::Selection});
    return true;
}

bool SetInstructionEnabled(CApplicationDocument& document, const CCodeBase* node, bool enabled)
{
    // A nested block is enabled through its structure.
    if (IsBlock(node) && IsInstruction(node->GetParent())) {
        node = node->GetParent();
    }
    const std::optional<SNodePlace> place = IsPlacedInstruction(node) ? PlaceOfNode(document, node) : std::nullopt;
    if (!place || node->IsEnabled() == enabled || (enabled && !node->IsComplete())) {
        return false;
    }
    document.AddHistoryStep("History/InstructionView_EnableInstruction", SStepScope{.triggers = {place->trigger}});
    NodeAt(document, *place)->SetEnabled(enabled);
    return true;
}

bool SetInstructionsEnabled(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes, bool enabled)
{
    std::vector<SNodePlace> changed;
    SStepScope scope;
    for (const CCodeBase* node : nodes) {
        if (IsBlock(node) && IsInstruction(node->GetParent())) {
            node = node->GetParent();
        }
        if (!IsPlacedInstruction(node) || node->IsEnabled() == enabled || (enabled && !node->IsComplete())) {
            continue;
        }
        std::optional<SNodePlace> place = PlaceOfNode(document, node);
        const auto same = [&place](const SNodePlace& other) {
            return other.trigger == place->trigger && other.path == place->path;
        };
        if (!place || std::ranges::any_of(changed, same)) {
            continue;
        }
        if (std::ranges::find(scope.triggers, place->trigger) == scope.triggers.end()) {
            scope.triggers.push_back(place->trigger);
        }
        changed.push_back(std::move(*place));
    }
    if (changed.empty()) {
        return false;
    }
    document.AddHistoryStep(changed.size() == 1
                                ? std::string("History/InstructionView_EnableInstruction")
                                : CountedStepName("History/InstructionView_EnableInstructions", changed.size()),
                            scope);
    for (const SNodePlace& place : changed) {
        NodeAt(document, place)->SetEnabled(enabled);
    }
    for (const std::uint32_t id : scope.triggers) {
        document.NoteChange({EChangeKind::Instructions, nullptr, id});
    }
    return true;
}

bool CanDropInstruction(const CCodeBase* dragged, const CCodeBase* target)
{
    if (!IsPlacedInstruction(dragged) || target == nullptr || target == dragged ||
        target->GetType() != dragged->GetType() || target->LiesInside(dragged)) {
        return false;
    }
    if (!IsBlock(target) && !IsPlacedInstruction(target)) {
        return false;
    }
    const CCodeTrigger* trigger = dragged->GetTrigger();
    return trigger != nullptr && trigger == target->GetTrigger();
}

bool DropInstruction(CApplicationDocument& document, const CCodeBase* dragged, const CCodeBase* target)
{
    if (!CanDropInstruction(dragged, target)) {
        return false;
    }
    const CCodeBase* oldParent = dragged->GetParent();
    const auto from = static_cast<std::size_t>(dragged->GetIndexInParent());
    const CCodeBase* newParent = nullptr;
    std::size_t to = 0;
    if (target->GetParent() == oldParent) {
        newParent = oldParent;
        to = static_cast<std::size_t>(target->GetIndexInParent());
        if (from > to) {
            ++to; // right after the target; from below, the removal shifts it up instead
        }
    } else if (IsBlock(target)) {
        newParent = target;
    } else {
        newParent = target->GetParent();
        to = static_cast<std::size_t>(target->GetIndexInParent()) + 1;
    }
    if (newParent == oldParent && to == from) {
        return false;
    }
    const std::optional<SNodePlace> draggedPlace = PlaceOfNode(document, dragged);
    const std::optional<SNodePlace> parentPlace = PlaceOfNode(document, newParent);
    if (!draggedPlace || !parentPlace) {
        return false;
    }
    document.AddHistoryStep("History/InstructionView_DragDropInstruction",
                            SStepScope{.triggers = {draggedPlace->trigger}});
    // Both found before anything moves: a move can change the path of the other.
    CCodeBase* node = NodeAt(document, *draggedPlace);
    CCodeBase* parent = NodeAt(document, *parentPlace);
    node->GetParent()->DetachChild(from);
    parent->InsertChild(node, to);
    TriggerAt(document, *draggedPlace)->SetCurrentNode(node);
    document.NoteChange({EChangeKind::Selection});
    return true;
}

bool DropInstructions(CApplicationDocument& document, const std::vector<const CCodeBase*>& nodes,
                      const CCodeBase* target)
{
    const std::optional<SInstructionSet> set = OutermostInstructions(document, nodes);
    if (!set || !std::ranges::all_of(set->nodes,
                                     [target](const CCodeBase* node) { return CanDropInstruction(node, target); })) {
        return false;
    }
    if (set->nodes.size() == 1) {
        if (!DropInstruction(document, set->nodes.front(), target)) {
            return false;
        }
    } else {
        const CCodeBase* parent = IsBlock(target) ? target : target->GetParent();
        const std::size_t first = IsBlock(target) ? 0 : static_cast<std::size_t>(target->GetIndexInParent()) + 1;
        bool inPlace = true;
        for (std::size_t i = 0; i < set->nodes.size(); ++i) {
            const CCodeBase* node = set->nodes[i];
            inPlace = inPlace && node->GetParent() == parent &&
                      static_cast<std::size_t>(node->GetIndexInParent()) == first + i;
        }
        const std::optional<SNodePlace> targetPlace = PlaceOfNode(document, target);
        if (inPlace || !targetPlace) {
            return false;
        }
        document.AddHistoryStep(CountedStepName("History/InstructionView_DragDropInstructions", set->nodes.size()),
                                SStepScope{.triggers = {set->trigger}});
        // All found before anything moves: a move changes the paths of others.
        CCodeTrigger* trigger = document.GetState()->FindTrigger(set->trigger);
        std::vector<CCodeBase*> moved;
        for (const auto& path : set->paths) {
            moved.push_back(trigger->GetNodeFromPath(path));
        }
        CCodeBase* anchor = trigger->GetNodeFromPath(targetPlace->path);
        for (CCodeBase* node : moved) {
            node->GetParent()->DetachChild(static_cast<std::size_t>(node->GetIndexInParent()));
        }
        // The anchor is none of them nor inside one: it stays where it is.
        CCodeBase* into = IsBlock(anchor) ? anchor : anchor->GetParent();
        std::size_t index = IsBlock(anchor) ? 0 : static_cast<std::size_t>(anchor->GetIndexInParent()) + 1;
        for (CCodeBase* node : moved) {
            into->InsertChild(node, index++);
        }
        trigger->SetCurrentNode(moved.back());
    }
    document.NoteChange({EChangeKind::Instructions, nullptr, set->trigger});
    document.NoteChange({EChangeKind::Selection});
    return true;
}

bool BeginNewInstruction(CApplicationDocument& document, std::size_t rootBlock)
{
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger == nullptr || trigger->IsCode() || rootBlock >= trigger->GetBlockCount()) {
        return false;
    }
    document.AddHistoryStep("History/InstructionView_NewInstruction", InstructionDialogScope(*trigger));
    return true;
}

bool PlaceNewInstruction(CApplicationDocument& document, std::size_t rootBlock, std::unique_ptr<CCodeBase> instruction)
{
    CState* state = document.GetState();
    CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger == nullptr || rootBlock >= trigger->GetBlockCount() || !IsInstruction(instruction.get())) {
        return false;
    }
    CBlock* root = trigger->GetBlock(rootBlock);
    if (instruction->GetType() != root->GetType()) {
        return false;
    }
    CCodeBase* current = trigger->GetCurrentNode();
    const CCodeBase* inRoot = current;
    while (inRoot != nullptr && inRoot->GetParent() != root) {
        inRoot = inRoot->GetParent();
    }
    CCodeBase* added = instruction.release();
    added->SetEnabled(true);
    // A nested block of another type than the root block's takes the instruction nowhere but the root.
    if (inRoot != nullptr && IsBlock(current) && current->GetType() == added->GetType()) {
        current->AddChild(added);
    } else if (inRoot != nullptr && IsPlacedInstruction(current) &&
               current->GetParent()->GetType() == added->GetType()) {
        current->GetParent()->InsertChild(added, static_cast<std::size_t>(current->GetIndexInParent()) + 1);
    } else {
        root->AddChild(added);
    }
    trigger->SetCurrentNode(added);
    document.NoteLastStep();
    return true;
}

CCodeBase* InstructionToEdit(const CState& state)
{
    const CCodeTrigger* trigger = state.GetCurrentTrigger();
    CCodeBase* node = trigger != nullptr ? trigger->GetCurrentNode() : nullptr;
    if (IsBlock(node)) {
        node = node->GetParent(); // a root block has none
    }
    return IsPlacedInstruction(node) ? node : nullptr;
}

CCodeBase* BeginEditInstruction(CApplicationDocument& document)
{
    const CState* state = document.GetState();
    if (state == nullptr || InstructionToEdit(*state) == nullptr) {
        return nullptr;
    }
    document.AddHistoryStep("History/InstructionView_InstructionChanged",
                            InstructionDialogScope(*state->GetCurrentTrigger()));
    return InstructionToEdit(*document.GetState());
}

bool ReplaceInstruction(CApplicationDocument& document, std::unique_ptr<CCodeBase> instruction)
{
    CState* state = document.GetState();
    CCodeBase* old = state != nullptr ? InstructionToEdit(*state) : nullptr;
    if (old == nullptr || !IsInstruction(instruction.get()) || instruction->GetType() != old->GetType()) {
        return false;
    }
    CCodeBase* parent = old->GetParent();
    const auto index = static_cast<std::size_t>(old->GetIndexInParent());
    CCodeBase* replacement = instruction.release();
    replacement->SetEnabled(true);
    state->GetCurrentTrigger()->SetCurrentNode(replacement);
    parent->DeleteChild(index);
    parent->InsertChild(replacement, index);
    document.NoteLastStep();
    return true;
}

void CancelInstructionDialog(CApplicationDocument& document, bool variablesChanged)
{
    if (variablesChanged) {
        document.RenameLastHistoryStep("History/Variables_VariablesChanged");
        document.NoteLastStep();
    } else {
        document.RemoveLastHistoryStep();
    }
}

} // namespace bram
