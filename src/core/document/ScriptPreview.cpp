#include "document/ScriptPreview.h"

#include "code/CodeTrigger.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Variables.h"
#include "document/ApplicationDocument.h"
#include "generation/GenerationSettings.h"

#include <algorithm>

namespace bram {

namespace {

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// What a text type writes before and after a literal (its start and end strings).
std::pair<std::string, std::string> Marks(const CTypeInfo& type)
{
    std::pair<std::string, std::string> marks;
    for (const auto& [what, by] : type.GetReplacements()) {
        if (what == kStartStringKey) {
            marks.first = Trimmed(by);
        } else if (what == kEndStringKey) {
            marks.second = Trimmed(by);
        }
    }
    return marks;
}

} // namespace

std::string PreviewText(const CApplicationDocument& document) { return PreviewScript(document).text; }

SPreview PreviewScript(const CApplicationDocument& document)
{
    SPreview preview;
    const CState* state = document.GetState();
    if (state == nullptr) {
        return preview;
    }
    CCodeWriter writer(&preview.lines, nullptr, nullptr);
    if (const CCodeTrigger* trigger = state->GetCurrentTrigger()) {
        preview.text = trigger->GetCode(document.GetStartLevel(), &writer);
    } else {
        preview.text = state->GetCode(document.GetStartLevel(), &writer);
    }
    return preview;
}

SHighlightWords HighlightWords(const CState& state)
{
    SHighlightWords words;
    if (const CTypeInfo* comment = CGenerationSettings::Instance().GetCommentType()) {
        words.commentPrefix = Marks(*comment).first;
    }
    for (const CTypeInfo* type : GetAllTypes()) {
        if (type->GetRealType() != RealTypeString || type == CGenerationSettings::Instance().GetCommentType() ||
            type == CGenerationSettings::Instance().GetScriptType()) {
            continue;
        }
        auto marks = Marks(*type);
        if (!marks.first.empty() && !marks.second.empty() &&
            std::find(words.stringMarks.begin(), words.stringMarks.end(), marks) == words.stringMarks.end()) {
            words.stringMarks.push_back(std::move(marks));
        }
    }
    for (const auto& global : state.GetGlobals()) {
        words.names.push_back(global->GetCode(0));
    }
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        const CCodeTrigger* trigger = state.GetTrigger(i);
        words.names.push_back(trigger->GetTriggerName());
        words.names.push_back(trigger->GetFunctionName());
        for (const auto& local : trigger->GetLocals()) {
            words.names.push_back(local->GetCode(0));
        }
    }
    std::sort(words.names.begin(), words.names.end());
    words.names.erase(std::unique(words.names.begin(), words.names.end()), words.names.end());
    return words;
}

std::pair<std::size_t, std::size_t> PreviewLinesOf(const CScriptLineMap& lines, const CCodeTrigger& trigger,
                                                   const CCodeBase& node)
{
    const std::vector<std::size_t> path = trigger.GetNodePath(&node);
    return path.empty() ? std::pair<std::size_t, std::size_t>{0, 0} : lines.LinesOf(trigger.GetId(), path);
}

} // namespace bram
