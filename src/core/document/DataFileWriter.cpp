// The data file writer: the open document (state, global variables and
// categories) as XML. Every reference into the modules is a pair of
// definition name and module name. The text is made as it is written, in
// the bytes the XML document once saved, so no tree of it is built.

#include "document/ApplicationDocument.h"
#include "document/DataFileAssembly.h"
#include "document/Fragment.h"
#include "document/NodeWalk.h"

#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "xml/XmlWriter.h"

#include <algorithm>

namespace bram {

namespace {

const char* Flag(bool value) { return value ? "1" : "0"; }

const std::string& ModuleName(const CModuleBase* module)
{
    static const std::string none;
    return module != nullptr ? module->GetName() : none;
}

// Type/Name and Type/Module; empty texts for no type.
void WriteType(CXmlWriter& xml, const CTypeInfo* type)
{
    xml.StartElement("Type");
    xml.TextElement("Name", type != nullptr ? std::string_view(type->GetName()) : std::string_view());
    xml.TextElement("Module", type != nullptr ? std::string_view(ModuleName(type->GetModule())) : std::string_view());
    xml.EndElement();
}

void WriteVariable(CXmlWriter& xml, const CUserDefinedVariable& variable)
{
    xml.StartElement("Variable");
    WriteType(xml, variable.GetType());
    xml.CDataElement("Name", variable.GetName());
    xml.EndElement();
}

void WriteVariables(CXmlWriter& xml, const std::vector<std::unique_ptr<CUserDefinedVariable>>& variables)
{
    xml.StartElement("Variables");
    for (const auto& variable : variables) {
        WriteVariable(xml, *variable);
    }
    xml.EndElement();
}

void WriteParameter(CXmlWriter& xml, const CParameter& parameter);

void WriteDefinitionName(CXmlWriter& xml, const CCodeInfoBase* definition)
{
    xml.TextElement("Name", definition != nullptr ? std::string_view(definition->GetName()) : std::string_view());
    xml.TextElement("Module",
                    definition != nullptr ? std::string_view(ModuleName(definition->GetModule())) : std::string_view());
}

void WriteParameters(CXmlWriter& xml, const CCodeBase& instruction)
{
    xml.StartElement("Parameters");
    for (std::size_t i = 0; i < instruction.GetParameterCount(); ++i) {
        WriteParameter(xml, *instruction.GetParameter(i));
    }
    xml.EndElement();
}

void WriteLiteral(CXmlWriter& xml, const CCodeBase* value)
{
    xml.StartElement("Value");
    if (const auto* boolean = dynamic_cast<const CBoolValue*>(value)) {
        xml.Attribute("bool", "1");
        xml.Attribute("val", boolean->GetValue() ? "-1" : "0");
    } else if (const auto* number = dynamic_cast<const CNumberValue*>(value)) {
        xml.Attribute("bool", "0");
        std::string text;
        AppendNumber(text, number->GetValue());
        xml.CData(text);
    } else if (const auto* string = dynamic_cast<const CStringValue*>(value)) {
        xml.Attribute("bool", "0");
        xml.CData(string->GetValue());
    }
    xml.EndElement();
}

void WriteValue(CXmlWriter& xml, const CCodeBase* value, unsigned codeType)
{
    switch (codeType) {
    case CodeTypeCall:
        WriteDefinitionName(xml, value->GetDefinition());
        WriteParameters(xml, *value);
        break;
    case CodeTypeVariable:
        // A trigger variable is written as its trigger's name.
        xml.CDataElement("Name", value->GetText());
        break;
    case CodeTypeConstant: {
        const auto* constant = static_cast<const CConstant*>(value);
        xml.TextElement("Name", constant->GetName());
        xml.TextElement("Module", ModuleName(constant->GetModule()));
        break;
    }
    case CodeTypeValue: WriteLiteral(xml, value); break;
    default: break;
    }
}

void WriteParameter(CXmlWriter& xml, const CParameter& parameter)
{
    xml.StartElement("Parameter");
    const CParameterInfo* info = parameter.GetParameterInfo();
    if (parameter.GetChoiceIndex() != -1) {
        xml.Attribute("values", "1");
        const auto& values = info->GetValues();
        const auto index = static_cast<std::size_t>(parameter.GetChoiceIndex());
        xml.TextElement("Value", index < values.size() ? std::string_view(values[index].first) : std::string_view());
        xml.EndElement();
        return;
    }
    // Every attribute comes before the children.
    xml.Attribute("values", "0");
    const bool reference = info != nullptr && info->IsReference();
    xml.Attribute("ref", Flag(reference));
    if (reference) {
        xml.Attribute("to", std::to_string(info->GetReferenceTo()));
    }
    const CCodeBase* value = parameter.GetValue();
    xml.Attribute("empty", Flag(value == nullptr));
    const unsigned codeType = value != nullptr ? value->GetCodeType() : 0;
    if (value != nullptr) {
        xml.Attribute("type", std::to_string(codeType));
        if (codeType == CodeTypeVariable) {
            xml.Attribute("triggervar", Flag(dynamic_cast<const CTriggerVariable*>(value) != nullptr));
        }
    }
    // A reference parameter's definition has no type: write the one it takes now.
    WriteType(xml, parameter.GetType());
    if (value != nullptr) {
        WriteValue(xml, value, codeType);
    }
    xml.EndElement();
}

void WriteBlock(CXmlWriter& xml, const CCodeBase& block, const std::vector<const CCodeBase*>* only = nullptr);

void WriteSubElement(CXmlWriter& xml, const CCodeBase& child)
{
    const unsigned codeType = child.GetCodeType();
    xml.StartElement("SubElement");
    xml.Attribute("type", std::to_string(codeType));
    if (codeType != CodeTypeStructure && codeType != CodeTypeCall) {
        LogPrintf("Invalid code type as block sub element. Code Type: %d", static_cast<int>(codeType));
        BRAMBLETON_ASSERT(false);
    }
    xml.Attribute("enabled", Flag(child.IsEnabled()));
    WriteDefinitionName(xml, child.GetDefinition());
    WriteParameters(xml, child);
    if (codeType == CodeTypeStructure) {
        xml.StartElement("Blocks");
        for (std::size_t j = 0; j < child.GetChildCount(); ++j) {
            WriteBlock(xml, *child.GetChild(j));
        }
        xml.EndElement();
    }
    xml.EndElement();
}

// With `only`, the block holds those instructions instead of its own (a fragment).
void WriteBlock(CXmlWriter& xml, const CCodeBase& block, const std::vector<const CCodeBase*>* only)
{
    xml.StartElement("Block");
    WriteType(xml, block.GetType());
    WriteDefinitionName(xml, block.GetDefinition());
    xml.StartElement("Data");
    if (only != nullptr) {
        for (const CCodeBase* instruction : *only) {
            WriteSubElement(xml, *instruction);
        }
    } else {
        for (std::size_t i = 0; i < block.GetChildCount(); ++i) {
            WriteSubElement(xml, *block.GetChild(i));
        }
    }
    xml.EndElement();
    xml.EndElement();
}

// With `as`, under another name, perhaps disabled and with another comment.
void WriteTrigger(CXmlWriter& xml, const CCodeTrigger& trigger, const SAssembledTrigger* as = nullptr)
{
    xml.StartElement("Trigger");
    xml.Attribute("enabled", Flag(trigger.IsEnabled() && (as == nullptr || !as->disable)));
    xml.Attribute("enabledatbeginning", Flag(trigger.IsEnabledAtBeginning()));
    xml.Attribute("bcode", Flag(trigger.IsCode()));
    xml.CDataElement("Name", as != nullptr && !as->name.empty() ? as->name : trigger.GetName());
    if (trigger.IsCode()) {
        xml.CDataElement("Code", trigger.GetCodeText());
    }
    // Not in the older format, which lost the user's comment; written only
    // when there is one, so files without comments stay as they were.
    const std::string& comment = as != nullptr && as->replaceComment ? as->comment : trigger.GetComment();
    if (!comment.empty()) {
        xml.CDataElement("Comment", comment);
    }
    WriteVariables(xml, trigger.GetLocals());
    xml.StartElement("Blocks");
    for (std::size_t i = 0; i < trigger.GetBlockCount(); ++i) {
        WriteBlock(xml, *trigger.GetBlock(i));
    }
    xml.EndElement();
    xml.EndElement();
}

void WriteCategorization(CXmlWriter& xml, const CCategorySystem& categories)
{
    xml.StartElement("Categorization");
    for (std::size_t i = 0; i < categories.GetCategoryCount(); ++i) {
        const CCategory* category = categories.GetCategory(i);
        xml.StartElement("Category");
        xml.CDataElement("Name", category->GetName());
        xml.StartElement("Triggers");
        for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
            xml.CDataElement("Trigger", category->GetTrigger(j)->GetName());
        }
        xml.EndElement();
        xml.EndElement();
    }
    xml.EndElement();
}

// Those of the list that the fragment uses, in the list's order.
template <typename List>
void WriteUsedVariables(CXmlWriter& xml, const List& list, const std::vector<const CVariableBase*>& used)
{
    xml.StartElement("Variables");
    for (const auto& variable : list) {
        if (std::find(used.begin(), used.end(), variable.get()) != used.end()) {
            WriteVariable(xml, *variable);
        }
    }
    xml.EndElement();
}

const char* FragmentKindName(EFragmentKind kind)
{
    switch (kind) {
    case EFragmentKind::Triggers: return "triggers";
    case EFragmentKind::Category: return "category";
    case EFragmentKind::Instruction: return "instruction";
    }
    return "";
}

// The instructions inside the trigger they came from: its locals and, for
// the block type they need, the first one's block holding them alone.
void WriteInstructionTrigger(CXmlWriter& xml, const std::vector<const CCodeBase*>& instructions,
                             const std::vector<const CVariableBase*>& used)
{
    const CCodeTrigger* trigger = instructions.front()->GetTrigger();
    xml.StartElement("Trigger");
    xml.CDataElement("Name", trigger != nullptr ? trigger->GetName() : std::string());
    if (trigger != nullptr) {
        WriteUsedVariables(xml, trigger->GetLocals(), used);
    }
    xml.StartElement("Blocks");
    WriteBlock(xml, *instructions.front()->GetParent(), &instructions);
    xml.EndElement();
    xml.EndElement();
}

// Pieces of about this size go to the file while the rest is written.
constexpr std::size_t kPieceSize = 1 << 20;

} // namespace

void CApplicationDocument::WriteDataFile(const std::function<void(std::string_view)>& write) const
{
    std::string out;
    CXmlWriter xml(out);
    xml.Declaration();
    xml.StartElement("Data");
    xml.Attribute("version", "1.1");
    const CState empty;
    const CState& state = GetState() != nullptr ? *GetState() : empty;

    xml.StartElement("NeededModules");
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        if (state.UsesModule(module)) {
            xml.TextElement("NeededModule", module->GetName());
        }
    }
    xml.EndElement();
    WriteVariables(xml, state.GetGlobals());
    xml.StartElement("TriggerData");
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        WriteTrigger(xml, *state.GetTrigger(i));
        if (out.size() >= kPieceSize) {
            write(out);
            out.clear();
        }
    }
    xml.EndElement();
    WriteCategorization(xml, m_categories);
    // Not in the older format either: texts that would otherwise be lost.
    if (!state.GetPreamble().empty()) {
        xml.CDataElement("Preamble", state.GetPreamble());
    }
    if (!state.GetHeader().empty()) {
        xml.CDataElement("Header", state.GetHeader());
    }
    xml.EndElement();
    write(out);
}

std::string CApplicationDocument::WriteDataFile() const
{
    std::string file;
    WriteDataFile([&file](std::string_view piece) { file += piece; });
    return file;
}

std::string WriteFragment(const CApplicationDocument& document, const SFragmentContent& content)
{
    std::vector<const CVariableBase*> used;
    const auto add = [&used](const CCodeBase& node) {
        for (const CVariableBase* variable : VariablesUsedBy(node, true)) {
            if (std::find(used.begin(), used.end(), variable) == used.end()) {
                used.push_back(variable);
            }
        }
    };
    for (const CCodeBase* instruction : content.instructions) {
        add(*instruction);
    }
    for (const CCodeTrigger* trigger : content.triggers) {
        for (std::size_t b = 0; b < trigger->GetBlockCount(); ++b) {
            add(*trigger->GetBlock(b));
        }
    }
    const CState empty;
    const CState& state = document.GetState() != nullptr ? *document.GetState() : empty;
    std::string out;
    CXmlWriter xml(out);
    xml.Declaration();
    xml.StartElement("Data");
    xml.Attribute("version", "1.1");
    xml.Attribute("fragment", FragmentKindName(content.kind));
    xml.StartElement("NeededModules");
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        bool uses = false;
        for (const CCodeBase* instruction : content.instructions) {
            uses = uses || instruction->UsesModule(module);
        }
        for (const CCodeTrigger* trigger : content.triggers) {
            uses = uses || trigger->UsesModule(module);
        }
        for (const CVariableBase* variable : used) {
            uses = uses || variable->UsesModule(module);
        }
        if (uses) {
            xml.TextElement("NeededModule", module->GetName());
        }
    }
    xml.EndElement();
    WriteUsedVariables(xml, state.GetGlobals(), used);
    xml.StartElement("TriggerData");
    for (const CCodeTrigger* trigger : content.triggers) {
        WriteTrigger(xml, *trigger);
    }
    if (!content.instructions.empty()) {
        WriteInstructionTrigger(xml, content.instructions, used);
    }
    xml.EndElement();
    xml.StartElement("Categorization");
    if (content.kind == EFragmentKind::Category) {
        xml.StartElement("Category");
        xml.CDataElement("Name", content.categoryName);
        xml.StartElement("Triggers");
        for (const CCodeTrigger* trigger : content.triggers) {
            xml.CDataElement("Trigger", trigger->GetName());
        }
        xml.EndElement();
        xml.EndElement();
    }
    xml.EndElement();
    xml.EndElement();
    return out;
}

std::string WriteAssembledDataFile(const SAssembledDocument& document)
{
    std::string out;
    CXmlWriter xml(out);
    xml.Declaration();
    xml.StartElement("Data");
    xml.Attribute("version", "1.1");
    xml.StartElement("NeededModules");
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        bool uses = false;
        for (const CUserDefinedVariable* global : document.globals) {
            uses = uses || global->UsesModule(module);
        }
        for (const SAssembledTrigger& trigger : document.triggers) {
            uses = uses || trigger.trigger->UsesModule(module);
        }
        if (uses) {
            xml.TextElement("NeededModule", module->GetName());
        }
    }
    xml.EndElement();
    xml.StartElement("Variables");
    for (const CUserDefinedVariable* global : document.globals) {
        WriteVariable(xml, *global);
    }
    xml.EndElement();
    xml.StartElement("TriggerData");
    for (const SAssembledTrigger& trigger : document.triggers) {
        WriteTrigger(xml, *trigger.trigger, &trigger);
    }
    xml.EndElement();
    xml.StartElement("Categorization");
    for (const auto& [name, triggers] : document.categories) {
        xml.StartElement("Category");
        xml.CDataElement("Name", name);
        xml.StartElement("Triggers");
        for (const std::string& trigger : triggers) {
            xml.CDataElement("Trigger", trigger);
        }
        xml.EndElement();
        xml.EndElement();
    }
    xml.EndElement();
    if (!document.preamble.empty()) {
        xml.CDataElement("Preamble", document.preamble);
    }
    if (!document.header.empty()) {
        xml.CDataElement("Header", document.header);
    }
    xml.EndElement();
    return out;
}

} // namespace bram
