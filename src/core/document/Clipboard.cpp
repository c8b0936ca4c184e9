#include "document/Clipboard.h"

#include "base/Text.h"
#include "category/CategorySystem.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/EditPlaces.h"
#include "document/Fragment.h"
#include "history/CategoryParam.h"
#include "history/TriggerParam.h"

#include <algorithm>

namespace bram {

namespace {

constexpr const char* kPasteStep = "History/Clipboard_Paste";
constexpr const char* kCutStep = "History/Clipboard_Cut";

SClipboardContent Content(const CApplicationDocument& document, const SFragmentContent& content)
{
    std::string code;
    for (const CCodeTrigger* trigger : content.triggers) {
        code += trigger->GetCode(0);
    }
    for (const CCodeBase* instruction : content.instructions) {
        code += instruction->GetCode(0);
    }
    return {WriteFragment(document, content), std::move(code)};
}

// The place a pasted instruction goes: its block and the index there.
struct SInsertPlace {
    SNodePlace block;
    std::size_t index = 0;
};

std::optional<SInsertPlace> InsertPlace(const CApplicationDocument& document, const CCodeBase* node)
{
    if (IsBlock(node)) {
        if (auto place = PlaceOfNode(document, node)) {
            return SInsertPlace{std::move(*place), node->GetChildCount()};
        }
    } else if (IsPlacedInstruction(node)) {
        if (auto place = PlaceOfNode(document, node->GetParent())) {
            return SInsertPlace{std::move(*place), static_cast<std::size_t>(node->GetIndexInParent()) + 1};
        }
    }
    return std::nullopt;
}

// The entries of the pasted triggers, each with the step's change of the categories.
void AddEntries(CCategorySystem& categories, CCategory* category, const SFragmentRead& read, CParamList& changes)
{
    if (read.kind == EFragmentKind::Category) {
        category = categories.AddCategory(
            FirstFreeName(read.categoryName, [&](const std::string& name) { return categories.HasCategory(name); }));
        for (const auto& [name, id] : read.triggers) {
            category->AddTrigger(name, id);
        }
        changes.Add(CCategoryParam::Created(categories, category));
        return;
    }
    for (const auto& [name, id] : read.triggers) {
        changes.Add(CTriggerParam::Created(category, category->AddTrigger(name, id)));
    }
}

int IndexOfParameter(const CCodeBase& instruction, const CCodeBase* parameter)
{
    for (std::size_t i = 0; i < instruction.GetParameterCount(); ++i) {
        if (instruction.GetParameter(i) == parameter) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsParameter(const CCodeBase* node) { return node != nullptr && node->GetCodeType() == CodeTypeParameter; }

// Where a parameter of a placed instruction lies; none elsewhere.
std::optional<SCutReference> ReferenceOf(const CApplicationDocument& document, const CParameter& parameter)
{
    SCutReference reference;
    const CCodeBase* instruction = parameter.GetParent();
    if (instruction == nullptr || instruction->GetDefinition() == nullptr) {
        return std::nullopt;
    }
    reference.holder = instruction->GetDefinition()->GetName();
    const CCodeBase* child = &parameter;
    for (;;) {
        const int index = IndexOfParameter(*instruction, child);
        if (index < 0) {
            return std::nullopt;
        }
        reference.parameters.push_back(static_cast<std::size_t>(index));
        if (!IsParameter(instruction->GetParent())) {
            break;
        }
        child = instruction->GetParent();
        instruction = child->GetParent();
        if (instruction == nullptr) {
            return std::nullopt;
        }
    }
    std::optional<SNodePlace> place =
        IsPlacedInstruction(instruction) ? PlaceOfNode(document, instruction) : std::nullopt;
    if (!place) {
        return std::nullopt;
    }
    std::reverse(reference.parameters.begin(), reference.parameters.end());
    reference.trigger = place->trigger;
    reference.path = std::move(place->path);
    reference.enabled = instruction->IsEnabled();
    return reference;
}

// Before the cut: what the paste that moves the triggers needs.
std::unique_ptr<SCutMove> CutMoveOf(const CApplicationDocument& document,
                                    const std::vector<const CCodeTrigger*>& triggers, std::string fragment)
{
    auto move = std::make_unique<SCutMove>();
    move->fragment = std::move(fragment);
    for (const CCodeTrigger* trigger : triggers) {
        move->cutTriggers.push_back(trigger->GetId());
    }
    const CState& state = *document.GetState();
    for (std::size_t v = 0; v < state.GetTriggerVariableCount(); ++v) {
        const CTriggerVariable* variable = state.GetTriggerVariable(v);
        const auto cut = std::find(triggers.begin(), triggers.end(), variable->GetTrigger());
        if (cut == triggers.end()) {
            continue;
        }
        for (const CParameter* parameter : variable->GetUsers()) {
            std::optional<SCutReference> reference = ReferenceOf(document, *parameter);
            // One inside the cut triggers comes with the fragment.
            if (!reference || std::ranges::find(move->cutTriggers, reference->trigger) != move->cutTriggers.end()) {
                continue;
            }
            reference->cutTrigger = static_cast<std::size_t>(cut - triggers.begin());
            reference->type = variable->GetType()->GetName();
            move->references.push_back(std::move(*reference));
        }
    }
    return move;
}

// The parameter a reference names, when it is still there as the cut left it: empty, of the same instruction.
CParameter* ParameterAt(const CState& state, const SCutReference& reference)
{
    const CCodeTrigger* trigger = state.FindTrigger(reference.trigger);
    CCodeBase* holder = trigger != nullptr ? trigger->GetNodeFromPath(reference.path) : nullptr;
    if (!IsPlacedInstruction(holder)) {
        return nullptr;
    }
    CParameter* parameter = nullptr;
    for (const std::size_t index : reference.parameters) {
        if (parameter != nullptr) {
            holder = parameter->GetValue();
            if (holder == nullptr || holder->GetCodeType() != CodeTypeCall) {
                return nullptr;
            }
        }
        if (index >= holder->GetParameterCount()) {
            return nullptr;
        }
        parameter = holder->GetParameter(index);
    }
    if (parameter == nullptr || parameter->GetValue() != nullptr || parameter->IsEnumerated() ||
        holder->GetDefinition() == nullptr || holder->GetDefinition()->GetName() != reference.holder) {
        return nullptr;
    }
    return parameter;
}

// A paste of the last cut's fragment while its cut holds: the parameters the
// cut emptied refer to the pasted triggers, within the paste's step.
void MoveReferences(CApplicationDocument& document, const SCutMove& move, const SFragmentRead& read)
{
    CState& state = *document.GetState();
    // The trigger variables of the pasted triggers, by the fragment's order.
    std::vector<std::vector<CTriggerVariable*>> pasted(read.triggers.size());
    for (std::size_t v = 0; v < state.GetTriggerVariableCount(); ++v) {
        CTriggerVariable* variable = state.GetTriggerVariable(v);
        for (std::size_t i = 0; i < read.triggers.size(); ++i) {
            if (variable->GetTrigger()->GetId() == read.triggers[i].second) {
                pasted[i].push_back(variable);
            }
        }
    }
    for (const SCutReference& reference : move.references) {
        CParameter* parameter = ParameterAt(state, reference);
        if (parameter == nullptr || reference.cutTrigger >= pasted.size()) {
            continue;
        }
        const auto& variables = pasted[reference.cutTrigger];
        const auto variable = std::ranges::find_if(variables, [&](const CTriggerVariable* candidate) {
            return candidate->GetType()->GetName() == reference.type && parameter->Accepts(candidate);
        });
        if (variable == variables.end()) {
            continue;
        }
        parameter->SetValue(*variable);
        if (reference.enabled) {
            // Enabled again only once complete.
            state.FindTrigger(reference.trigger)->GetNodeFromPath(reference.path)->SetEnabled(true);
        }
    }
}

// The triggers of the entries in the tree's order; none for no entries or one not the document's.
std::optional<std::vector<const CCodeTrigger*>> TriggersOf(const CApplicationDocument& document,
                                                           const std::vector<CTriggerEntry*>& entries)
{
    const CState* state = document.GetState();
    const std::optional<std::vector<CTriggerEntry*>> ordered =
        EntriesInTreeOrder(document.GetCategorySystem(), entries);
    if (state == nullptr || !ordered || ordered->empty()) {
        return std::nullopt;
    }
    std::vector<const CCodeTrigger*> triggers;
    for (const CTriggerEntry* entry : *ordered) {
        const CCodeTrigger* trigger = state->FindTrigger(entry->GetId());
        if (trigger == nullptr) {
            return std::nullopt;
        }
        triggers.push_back(trigger);
    }
    return triggers;
}

} // namespace

std::optional<SClipboardContent> CopyTrigger(const CApplicationDocument& document, const CTriggerEntry* entry)
{
    const CState* state = document.GetState();
    const CCodeTrigger* trigger = state != nullptr && PlaceOfEntry(document.GetCategorySystem(), entry)
                                      ? state->FindTrigger(entry->GetId())
                                      : nullptr;
    if (trigger == nullptr) {
        return std::nullopt;
    }
    return Content(document, {.kind = EFragmentKind::Triggers, .triggers = {trigger}});
}

std::optional<SClipboardContent> CopyCategory(const CApplicationDocument& document, const CCategory* category)
{
    const CState* state = document.GetState();
    if (state == nullptr || !IsOurs(document.GetCategorySystem(), category)) {
        return std::nullopt;
    }
    SFragmentContent content{.kind = EFragmentKind::Category, .categoryName = category->GetName()};
    for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
        if (const CCodeTrigger* trigger = state->FindTrigger(category->GetTrigger(i)->GetId())) {
            content.triggers.push_back(trigger);
        }
    }
    return Content(document, content);
}

std::optional<SClipboardContent> CopyInstruction(const CApplicationDocument& document, const CCodeBase* node)
{
    if (!IsPlacedInstruction(node) || !PlaceOfNode(document, node)) {
        return std::nullopt;
    }
    return Content(document, {.kind = EFragmentKind::Instruction, .instructions = {node}});
}

std::optional<SClipboardContent> CopyTriggers(const CApplicationDocument& document,
                                              const std::vector<CTriggerEntry*>& entries)
{
    const std::optional<std::vector<const CCodeTrigger*>> triggers = TriggersOf(document, entries);
    if (!triggers) {
        return std::nullopt;
    }
    return Content(document, {.kind = EFragmentKind::Triggers, .triggers = *triggers});
}

std::optional<SClipboardContent> CopyInstructions(const CApplicationDocument& document,
                                                  const std::vector<const CCodeBase*>& nodes)
{
    const std::optional<SInstructionSet> set = OutermostInstructions(document, nodes);
    const auto sameType = [&set](const CCodeBase* node) { return node->GetType() == set->nodes.front()->GetType(); };
    if (!set || !std::ranges::all_of(set->nodes, sameType)) {
        return std::nullopt;
    }
    return Content(document, {.kind = EFragmentKind::Instruction, .instructions = set->nodes});
}

std::optional<SClipboardContent> CutTrigger(CApplicationDocument& document, CTriggerEntry* entry)
{
    std::optional<SClipboardContent> content = CopyTrigger(document, entry);
    if (content) {
        document.SetCutMove(CutMoveOf(document, {document.GetState()->FindTrigger(entry->GetId())}, content->fragment));
        DeleteTrigger(document, entry, kCutStep);
    }
    return content;
}

std::optional<SClipboardContent> CutCategory(CApplicationDocument& document, CCategory* category)
{
    std::optional<SClipboardContent> content = CopyCategory(document, category);
    if (content) {
        std::vector<const CCodeTrigger*> triggers;
        for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
            if (const CCodeTrigger* trigger = document.GetState()->FindTrigger(category->GetTrigger(i)->GetId())) {
                triggers.push_back(trigger);
            }
        }
        document.SetCutMove(CutMoveOf(document, triggers, content->fragment));
        DeleteCategory(document, category, kCutStep);
    }
    return content;
}

std::optional<SClipboardContent> CutInstruction(CApplicationDocument& document, const CCodeBase* node)
{
    std::optional<SClipboardContent> content = CopyInstruction(document, node);
    if (content) {
        document.SetCutMove(nullptr);
        DeleteInstruction(document, node, kCutStep);
    }
    return content;
}

std::optional<SClipboardContent> CutTriggers(CApplicationDocument& document, const std::vector<CTriggerEntry*>& entries)
{
    const std::optional<std::vector<const CCodeTrigger*>> triggers = TriggersOf(document, entries);
    if (!triggers) {
        return std::nullopt;
    }
    std::optional<SClipboardContent> content =
        Content(document, {.kind = EFragmentKind::Triggers, .triggers = *triggers});
    document.SetCutMove(CutMoveOf(document, *triggers, content->fragment));
    DeleteTriggers(document, entries, {kCutStep, "History/Clipboard_CutTriggers"});
    return content;
}

std::optional<SClipboardContent> CutInstructions(CApplicationDocument& document,
                                                 const std::vector<const CCodeBase*>& nodes)
{
    std::optional<SClipboardContent> content = CopyInstructions(document, nodes);
    if (content) {
        document.SetCutMove(nullptr);
        DeleteInstructions(document, nodes, {kCutStep, "History/Clipboard_CutInstructions"});
    }
    return content;
}

SPasteOutcome Paste(CApplicationDocument& document, std::string_view fragment, const SPasteTarget& target)
{
    CCategorySystem& categories = document.GetCategorySystem();
    CCategory* category = IsOurs(categories, target.category) ? target.category : nullptr;
    const std::optional<SInsertPlace> place = InsertPlace(document, target.node);
    auto list = std::make_unique<CParamList>();
    CParamList& changes = *list;
    // Recorded first. A paste appends triggers and globals, adds locals and
    // an instruction to the block's trigger, and a move points parameters of
    // the triggers that referred to the cut ones at the pasted ones.
    SStepScope scope{.appends = true};
    if (place) {
        scope.triggers.push_back(place->block.trigger);
    }
    if (const SCutMove* move = document.GetCutMove()) {
        for (const SCutReference& reference : move->references) {
            scope.triggers.push_back(reference.trigger);
        }
    }
    const std::size_t globalsBefore = document.GetState() != nullptr ? document.GetState()->GetGlobalCount() : 0;
    document.AddHistoryStep(kPasteStep, scope, std::move(list));
    CBlock* block = place ? static_cast<CBlock*>(NodeAt(document, place->block)) : nullptr;
    SFragmentRead read;
    try {
        read = ReadFragment(document, fragment, {.hasCategory = category != nullptr, .block = block});
    } catch (const CFragmentPlaceException& e) {
        document.RemoveLastHistoryStep();
        return {EPasteResult::WrongPlace, e.what()};
    } catch (const CException& e) {
        document.RemoveLastHistoryStep();
        return {EPasteResult::Refused, e.what()};
    }
    if (read.kind == EFragmentKind::Instruction) {
        // The block owns them from here (their type was checked while reading).
        std::size_t index = place->index;
        CCodeBase* node = nullptr;
        for (SFragmentRead::NodeHolder& instruction : read.instructions) {
            node = instruction.release();
            block->InsertChild(node, index++);
        }
        TriggerAt(document, place->block)->SetCurrentNode(node);
        document.NoteChange({EChangeKind::Instructions, nullptr, place->block.trigger});
        document.NoteChange({EChangeKind::Selection});
    } else {
        AddEntries(categories, category, read, changes);
        SStepTouch added;
        changes.ListTouched(added);
        if (added.categoryList) {
            document.NoteChange({EChangeKind::Categories});
        }
        for (const auto& [into, entry] : added.entries) {
            document.NoteChange({EChangeKind::Entries, into, 0, entry});
        }
        const SCutMove* move = document.GetCutMove();
        if (move != nullptr && move->fragment == fragment) {
            const CState& state = *document.GetState();
            const bool cutHolds = std::ranges::none_of(
                move->cutTriggers, [&state](std::uint32_t id) { return state.FindTrigger(id) != nullptr; });
            if (cutHolds) {
                MoveReferences(document, *move, read);
                for (const SCutReference& reference : move->references) {
                    document.NoteChange({EChangeKind::Instructions, nullptr, reference.trigger});
                }
            }
            document.SetCutMove(nullptr); // a second paste is a copy
        }
    }
    if (document.GetState()->GetGlobalCount() != globalsBefore) {
        document.NoteChange({EChangeKind::Variables});
    }
    return {EPasteResult::Pasted, {}};
}

} // namespace bram
