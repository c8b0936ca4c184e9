#include "document/Clipboard.h"

#include "base/Text.h"
#include "category/CategorySystem.h"
#include "code/Instructions.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/EditPlaces.h"
#include "document/Fragment.h"
#include "history/CategoryParam.h"
#include "history/TriggerParam.h"

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
    if (content.instruction != nullptr) {
        code = content.instruction->GetCode(0);
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
    return Content(document, {.kind = EFragmentKind::Instruction, .instruction = node});
}

std::optional<SClipboardContent> CutTrigger(CApplicationDocument& document, CTriggerEntry* entry)
{
    std::optional<SClipboardContent> content = CopyTrigger(document, entry);
    if (content) {
        DeleteTrigger(document, entry, kCutStep);
    }
    return content;
}

std::optional<SClipboardContent> CutCategory(CApplicationDocument& document, CCategory* category)
{
    std::optional<SClipboardContent> content = CopyCategory(document, category);
    if (content) {
        DeleteCategory(document, category, kCutStep);
    }
    return content;
}

std::optional<SClipboardContent> CutInstruction(CApplicationDocument& document, const CCodeBase* node)
{
    std::optional<SClipboardContent> content = CopyInstruction(document, node);
    if (content) {
        DeleteInstruction(document, node, kCutStep);
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
    // Recorded first: the fragment is read into the step's fresh state.
    document.AddHistoryStep(kPasteStep, std::move(list));
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
        // The block owns it from here (its type was checked while reading).
        CCodeBase* node = read.instruction.release();
        block->InsertChild(node, place->index);
        TriggerAt(document, place->block)->SetCurrentNode(node);
    } else {
        AddEntries(categories, category, read, changes);
    }
    return {EPasteResult::Pasted, {}};
}

} // namespace bram
