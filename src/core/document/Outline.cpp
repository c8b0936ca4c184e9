#include "document/Outline.h"

#include "base/Text.h"
#include "code/CodeTrigger.h"
#include "code/Constant.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "code/Variables.h"
#include "document/ApplicationDocument.h"
#include "document/NodeWalk.h"
#include "modules/Module.h"

namespace bram {

namespace {

const std::string& ModuleName(const CModuleBase* module)
{
    static const std::string none;
    return module != nullptr ? module->GetName() : none;
}

bool IsPlainName(const std::string& name)
{
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

// A text in double quotes, so that no text reads as another.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : OutlineEscaped(text)) {
        if (c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// A name bare when it is one word, quoted otherwise.
std::string NameText(const std::string& name) { return IsPlainName(name) ? name : Quoted(name); }

std::string Qualified(const std::string& name, const CModuleBase* module)
{
    return NameText(name) + "@" + NameText(ModuleName(module));
}

std::string TypeText(const CTypeInfo* type)
{
    return type != nullptr ? Qualified(type->GetName(), type->GetModule()) : "-";
}

std::string DefinitionText(const CCodeInfoBase* definition)
{
    return definition != nullptr ? Qualified(definition->GetName(), definition->GetModule()) : "-";
}

void AppendParameters(std::string& out, const CCodeBase& node);

void AppendValue(std::string& out, const CCodeBase& value)
{
    switch (value.GetCodeType()) {
    case CodeTypeCall:
        out += DefinitionText(value.GetDefinition());
        AppendParameters(out, value);
        return;
    case CodeTypeVariable:
        out += dynamic_cast<const CTriggerVariable*>(&value) != nullptr ? "trigger " : "$";
        out += NameText(value.GetText());
        return;
    case CodeTypeConstant: {
        const auto& constant = static_cast<const CConstant&>(value);
        out += "const " + Qualified(constant.GetName(), constant.GetModule());
        return;
    }
    default: break;
    }
    if (const auto* boolean = dynamic_cast<const CBoolValue*>(&value)) {
        out += boolean->GetValue() ? "true" : "false";
    } else if (const auto* number = dynamic_cast<const CNumberValue*>(&value)) {
        AppendNumber(out, number->GetValue());
    } else if (const auto* string = dynamic_cast<const CStringValue*>(&value)) {
        out += Quoted(string->GetValue());
    } else {
        out += "?";
    }
}

void AppendParameter(std::string& out, const CParameter& parameter)
{
    const CParameterInfo* info = parameter.GetParameterInfo();
    if (parameter.GetChoiceIndex() != -1) {
        const auto& values = info->GetValues();
        const auto index = static_cast<std::size_t>(parameter.GetChoiceIndex());
        out += "#" + NameText(index < values.size() ? values[index].first : std::string());
        return;
    }
    if (info != nullptr && info->IsReference()) {
        out += "ref" + std::to_string(info->GetReferenceTo()) + " ";
    }
    if (parameter.GetValue() != nullptr) {
        AppendValue(out, *parameter.GetValue());
    } else {
        out += "empty";
    }
    out += ":" + TypeText(parameter.GetType());
}

void AppendParameters(std::string& out, const CCodeBase& node)
{
    out += '(';
    for (std::size_t i = 0; i < node.GetParameterCount(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        AppendParameter(out, *node.GetParameter(i));
    }
    out += ')';
}

std::string BlockText(const CCodeBase& block)
{
    return OutlineEscaped(block.GetText()) + " {" + DefinitionText(block.GetDefinition()) + " : " +
           TypeText(block.GetType()) + "}";
}

// A longer text as lines "| ...", each escaped; the last line break counts.
void AppendTextLines(std::string& out, const std::string& indent, const std::string& text)
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        out += indent + "| " + OutlineEscaped(text.substr(from, end == std::string::npos ? end : end - from)) + "\n";
        if (end == std::string::npos) {
            return;
        }
        from = end + 1;
    }
}

std::string TriggerFlags(const CCodeTrigger& trigger)
{
    std::string flags = trigger.IsEnabled() ? "enabled" : "disabled";
    flags += trigger.IsEnabledAtBeginning() ? ", on at start" : ", off at start";
    if (trigger.IsCode()) {
        flags += ", custom code";
    }
    return flags;
}

std::string ContextOf(const std::string& place)
{
    std::string context;
    std::size_t from = 0;
    while (from <= place.size()) {
        const std::size_t end = std::min(place.find('/', from), place.size());
        const std::string part = place.substr(from, end - from);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) {
            context += (context.empty() ? "" : "/") + part;
        }
        from = end + 1;
    }
    return context;
}

// Every instruction of the block, then each of its blocks with their own.
void AppendBlock(SOutlineTrigger& out, const CCodeBase& block, const std::string& place, const std::string& indent,
                 std::vector<std::size_t>& path)
{
    for (std::size_t i = 0; i < block.GetChildCount(); ++i) {
        const CCodeBase& node = *block.GetChild(i);
        path.push_back(i);
        SOutlineInstruction line;
        line.path = path;
        line.place = place + "/" + std::to_string(i + 1);
        line.context = ContextOf(line.place);
        line.text = (node.IsEnabled() ? "" : "[disabled] ") + OutlineEscaped(node.GetText(), false);
        line.value = DefinitionText(node.GetDefinition());
        AppendParameters(line.value, node);
        out.body += indent + std::to_string(i + 1) + ". " + line.text + "\n";
        out.body += indent + "   = " + line.value + "\n";
        const std::string here = line.place;
        out.instructions.push_back(std::move(line));
        for (std::size_t b = 0; b < node.GetChildCount(); ++b) {
            const CCodeBase& inner = *node.GetChild(b);
            out.body += indent + "  block " + BlockText(inner) + "\n";
            path.push_back(b);
            AppendBlock(out, inner, here + "/" + inner.GetText(), indent + "    ", path);
            path.pop_back();
        }
        path.pop_back();
    }
}

SOutlineTrigger TriggerOutline(const CCodeTrigger& trigger, const CCategorySystem& categories)
{
    SOutlineTrigger out;
    out.source = &trigger;
    out.name = trigger.GetName();
    const CCategory* category = categories.FindCategoryOfTrigger(trigger.GetId());
    out.category = category != nullptr ? category->GetName() : std::string();
    out.flags = TriggerFlags(trigger);
    out.comment = trigger.GetComment();
    out.code = trigger.IsCode() ? trigger.GetCodeText() : std::string();
    std::string& body = out.body;
    body += "flags: " + out.flags + "\n";
    if (!out.comment.empty()) {
        body += "comment\n";
        AppendTextLines(body, "  ", out.comment);
    }
    if (!trigger.GetLocals().empty()) {
        body += "locals\n";
        for (const auto& local : trigger.GetLocals()) {
            out.locals.push_back(NameText(local->GetName()) + ": " + TypeText(local->GetType()));
            body += "  " + out.locals.back() + "\n";
        }
    }
    if (trigger.IsCode()) {
        body += "code\n";
        AppendTextLines(body, "  ", out.code);
    }
    for (std::size_t b = 0; b < trigger.GetBlockCount(); ++b) {
        const CCodeBase& block = *trigger.GetBlock(b);
        out.blocks.push_back(BlockText(block));
        body += "block " + out.blocks.back() + "\n";
        std::vector<std::size_t> path{b};
        AppendBlock(out, block, block.GetText(), "  ", path);
    }
    return out;
}

} // namespace

std::string OutlineEscaped(const std::string& text, bool doubleBackslashes)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && doubleBackslashes) {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            out += StringPrintf("\\x%02X", c);
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += StringPrintf("\\u%04X", static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

const SOutlineTrigger* SOutline::FindTrigger(const std::string& name) const
{
    const auto it = triggerIndex.find(name);
    return it != triggerIndex.end() ? &triggers[it->second] : nullptr;
}

const SOutlineGlobal* SOutline::FindGlobal(const std::string& name) const
{
    for (const SOutlineGlobal& global : globals) {
        if (global.name == name) {
            return &global;
        }
    }
    return nullptr;
}

const SOutlineCategory* SOutline::FindCategory(const std::string& name) const
{
    for (const SOutlineCategory& category : categories) {
        if (category.name == name) {
            return &category;
        }
    }
    return nullptr;
}

SOutline MakeOutline(const CApplicationDocument& document)
{
    SOutline outline;
    const CState empty;
    const CState& state = document.GetState() != nullptr ? *document.GetState() : empty;
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        if (state.UsesModule(GetModule(i))) {
            outline.modules.push_back(GetModule(i)->GetName());
        }
    }
    std::unordered_map<const CVariableBase*, std::size_t> globalIndex;
    for (const auto& global : state.GetGlobals()) {
        globalIndex.emplace(global.get(), outline.globals.size());
        outline.globals.push_back(
            {.name = global->GetName(), .type = TypeText(global->GetType()), .uses = {}, .source = global.get()});
    }
    // The uses of all globals in one walk over the instructions.
    for (std::size_t i = 0; i < state.GetTriggerCount() && !globalIndex.empty(); ++i) {
        const CCodeTrigger& trigger = *state.GetTrigger(i);
        ForEachInstruction(trigger,
                           [&](const CCodeBase& node, const std::vector<std::size_t>&, const std::string& place) {
                               for (const CVariableBase* variable : VariablesUsedBy(node, false)) {
                                   const auto it = globalIndex.find(variable);
                                   if (it != globalIndex.end()) {
                                       outline.globals[it->second].uses.push_back(trigger.GetName() + " " + place);
                                   }
                               }
                           });
    }
    const CCategorySystem& categories = document.GetCategorySystem();
    for (std::size_t i = 0; i < categories.GetCategoryCount(); ++i) {
        const CCategory* category = categories.GetCategory(i);
        SOutlineCategory c{.name = category->GetName(), .triggers = {}};
        for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
            c.triggers.push_back(category->GetTrigger(j)->GetName());
        }
        outline.categories.push_back(std::move(c));
    }
    outline.triggers.reserve(state.GetTriggerCount());
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        outline.triggers.push_back(TriggerOutline(*state.GetTrigger(i), categories));
        outline.triggerIndex.emplace(outline.triggers.back().name, i);
    }
    outline.preamble = state.GetPreamble();
    outline.header = state.GetHeader();
    return outline;
}

std::string RenderOutline(const SOutline& outline)
{
    std::string out;
    out += "needed modules\n";
    for (const std::string& module : outline.modules) {
        out += "  " + OutlineEscaped(module) + "\n";
    }
    out += "globals\n";
    for (const SOutlineGlobal& global : outline.globals) {
        out += "  " + NameText(global.name) + ": " + global.type + "\n";
    }
    std::vector<std::string> categoryOrder;
    for (const SOutlineCategory& category : outline.categories) {
        out += "category " + OutlineEscaped(category.name) + "\n";
        for (const std::string& name : category.triggers) {
            categoryOrder.push_back(name);
            out += "  trigger " + OutlineEscaped(name) + "\n";
            const SOutlineTrigger* trigger = outline.FindTrigger(name);
            if (trigger == nullptr) {
                continue;
            }
            std::size_t from = 0;
            while (from < trigger->body.size()) {
                const std::size_t end = trigger->body.find('\n', from);
                out += "    ";
                out.append(trigger->body, from, end - from + 1);
                from = end + 1;
            }
        }
    }
    // The data file keeps its triggers in an order of their own; shown only
    // where it is not the categories' order.
    bool sameOrder = categoryOrder.size() == outline.triggers.size();
    for (std::size_t i = 0; sameOrder && i < categoryOrder.size(); ++i) {
        sameOrder = categoryOrder[i] == outline.triggers[i].name;
    }
    if (!sameOrder) {
        out += "file order\n";
        for (const SOutlineTrigger& trigger : outline.triggers) {
            out += "  " + OutlineEscaped(trigger.name) + "\n";
        }
    }
    if (!outline.preamble.empty()) {
        out += "preamble\n";
        AppendTextLines(out, "  ", outline.preamble);
    }
    if (!outline.header.empty()) {
        out += "header\n";
        AppendTextLines(out, "  ", outline.header);
    }
    return out;
}

} // namespace bram
