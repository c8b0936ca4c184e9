// The data file writer: the open document (state, global variables and
// categories) as XML. Every reference into the modules is a pair of
// definition name and module name.

#include "document/ApplicationDocument.h"

#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "xml/XmlDocument.h"

namespace bram {

namespace {

constexpr char kTemplate[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?><Data />";

const char* Flag(bool value) { return value ? "1" : "0"; }

const std::string& ModuleName(const CModuleBase* module)
{
    static const std::string none;
    return module != nullptr ? module->GetName() : none;
}

void AppendTextElement(CXmlNode parent, const char* name, std::string_view text)
{
    parent.AppendElement(name).AppendText(text);
}

void AppendCDataElement(CXmlNode parent, const char* name, std::string_view text)
{
    parent.AppendElement(name).AppendCData(text);
}

// Type/Name and Type/Module; empty texts for no type.
void AppendType(CXmlNode parent, const CTypeInfo* type)
{
    CXmlNode element = parent.AppendElement("Type");
    AppendTextElement(element, "Name", type != nullptr ? std::string_view(type->GetName()) : std::string_view());
    AppendTextElement(element, "Module",
                      type != nullptr ? std::string_view(ModuleName(type->GetModule())) : std::string_view());
}

void AppendVariables(CXmlNode parent, const std::vector<std::unique_ptr<CUserDefinedVariable>>& variables)
{
    CXmlNode list = parent.AppendElement("Variables");
    for (const auto& variable : variables) {
        CXmlNode element = list.AppendElement("Variable");
        AppendType(element, variable->GetType());
        AppendCDataElement(element, "Name", variable->GetName());
    }
}

void WriteParameter(const CParameter& parameter, CXmlNode parent);

void AppendDefinitionName(CXmlNode element, const CCodeInfoBase* definition)
{
    AppendTextElement(element, "Name",
                      definition != nullptr ? std::string_view(definition->GetName()) : std::string_view());
    AppendTextElement(element, "Module",
                      definition != nullptr ? std::string_view(ModuleName(definition->GetModule()))
                                            : std::string_view());
}

void AppendParameters(CXmlNode element, const CCodeBase& instruction)
{
    CXmlNode parameters = element.AppendElement("Parameters");
    for (std::size_t i = 0; i < instruction.GetParameterCount(); ++i) {
        WriteParameter(*instruction.GetParameter(i), parameters);
    }
}

void WriteParameter(const CParameter& parameter, CXmlNode parent)
{
    CXmlNode element = parent.AppendElement("Parameter");
    const CParameterInfo* info = parameter.GetParameterInfo();
    if (parameter.GetChoiceIndex() != -1) {
        element.AppendAttribute("values", "1");
        const auto& values = info->GetValues();
        const auto index = static_cast<std::size_t>(parameter.GetChoiceIndex());
        AppendTextElement(element, "Value",
                          index < values.size() ? std::string_view(values[index].first) : std::string_view());
        return;
    }
    element.AppendAttribute("values", "0");
    const bool reference = info != nullptr && info->IsReference();
    // A reference parameter's definition has no type: write the one it takes now.
    AppendType(element, parameter.GetType());
    element.AppendAttribute("ref", Flag(reference));
    if (reference) {
        element.AppendAttribute("to", std::to_string(info->GetReferenceTo()).c_str());
    }
    const CCodeBase* value = parameter.GetValue();
    element.AppendAttribute("empty", Flag(value == nullptr));
    if (value == nullptr) {
        return;
    }
    const unsigned codeType = value->GetCodeType();
    element.AppendAttribute("type", std::to_string(codeType).c_str());
    switch (codeType) {
    case CodeTypeCall:
        AppendDefinitionName(element, value->GetDefinition());
        AppendParameters(element, *value);
        break;
    case CodeTypeVariable: {
        const bool triggerVariable = dynamic_cast<const CTriggerVariable*>(value) != nullptr;
        element.AppendAttribute("triggervar", Flag(triggerVariable));
        // A trigger variable is written as its trigger's name.
        AppendCDataElement(element, "Name", value->GetText());
        break;
    }
    case CodeTypeConstant: {
        const auto* constant = static_cast<const CConstant*>(value);
        AppendTextElement(element, "Name", constant->GetName());
        AppendTextElement(element, "Module", ModuleName(constant->GetModule()));
        break;
    }
    case CodeTypeValue: {
        CXmlNode literal = element.AppendElement("Value");
        if (const auto* boolean = dynamic_cast<const CBoolValue*>(value)) {
            literal.AppendAttribute("bool", "1");
            literal.AppendAttribute("val", boolean->GetValue() ? "-1" : "0");
        } else if (const auto* number = dynamic_cast<const CNumberValue*>(value)) {
            literal.AppendAttribute("bool", "0");
            std::string text;
            AppendNumber(text, number->GetValue());
            literal.AppendCData(text);
        } else if (const auto* string = dynamic_cast<const CStringValue*>(value)) {
            literal.AppendAttribute("bool", "0");
            literal.AppendCData(string->GetValue());
        }
        break;
    }
    default: break;
    }
}

void WriteBlock(const CCodeBase& block, CXmlNode parent)
{
    CXmlNode element = parent.AppendElement("Block");
    AppendType(element, block.GetType());
    AppendDefinitionName(element, block.GetDefinition());
    CXmlNode data = element.AppendElement("Data");
    for (std::size_t i = 0; i < block.GetChildCount(); ++i) {
        const CCodeBase* child = block.GetChild(i);
        const unsigned codeType = child->GetCodeType();
        CXmlNode sub = data.AppendElement("SubElement");
        sub.AppendAttribute("type", std::to_string(codeType).c_str());
        if (codeType != CodeTypeStructure && codeType != CodeTypeCall) {
            LogPrintf("Invalid code type as block sub element. Code Type: %d", static_cast<int>(codeType));
            BRAMBLETON_ASSERT(false);
        }
        sub.AppendAttribute("enabled", Flag(child->IsEnabled()));
        AppendDefinitionName(sub, child->GetDefinition());
        AppendParameters(sub, *child);
        if (codeType == CodeTypeStructure) {
            CXmlNode blocks = sub.AppendElement("Blocks");
            for (std::size_t j = 0; j < child->GetChildCount(); ++j) {
                WriteBlock(*child->GetChild(j), blocks);
            }
        }
    }
}

void WriteTrigger(const CCodeTrigger& trigger, CXmlNode parent)
{
    CXmlNode element = parent.AppendElement("Trigger");
    element.AppendAttribute("enabled", Flag(trigger.IsEnabled()));
    element.AppendAttribute("enabledatbeginning", Flag(trigger.IsEnabledAtBeginning()));
    element.AppendAttribute("bcode", Flag(trigger.IsCode()));
    AppendCDataElement(element, "Name", trigger.GetName());
    if (trigger.IsCode()) {
        AppendCDataElement(element, "Code", trigger.GetCodeText());
    }
    // Not in the older format, which lost the user's comment; written only
    // when there is one, so files without comments stay as they were.
    if (!trigger.GetComment().empty()) {
        AppendCDataElement(element, "Comment", trigger.GetComment());
    }
    AppendVariables(element, trigger.GetLocals());
    CXmlNode blocks = element.AppendElement("Blocks");
    for (std::size_t i = 0; i < trigger.GetBlockCount(); ++i) {
        WriteBlock(*trigger.GetBlock(i), blocks);
    }
}

} // namespace

std::string CApplicationDocument::WriteDataFile() const
{
    CXmlDocument doc;
    if (!doc.LoadMemory(kTemplate)) {
        LogWrite("Could not create XML Document instance.");
        LogWrite("\n");
        throw CDocumentException("Could not create XML Document instance.");
    }
    CXmlNode root = doc.GetDocumentElement();
    root.AppendAttribute("version", "1.1");
    const CState empty;
    const CState& state = GetState() != nullptr ? *GetState() : empty;

    CXmlNode modules = root.AppendElement("NeededModules");
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        if (state.UsesModule(module)) {
            AppendTextElement(modules, "NeededModule", module->GetName());
        }
    }
    AppendVariables(root, state.GetGlobals());
    CXmlNode triggers = root.AppendElement("TriggerData");
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        WriteTrigger(*state.GetTrigger(i), triggers);
    }
    CXmlNode categorization = root.AppendElement("Categorization");
    for (std::size_t i = 0; i < m_categories.GetCategoryCount(); ++i) {
        const CCategory* category = m_categories.GetCategory(i);
        CXmlNode element = categorization.AppendElement("Category");
        AppendCDataElement(element, "Name", category->GetName());
        CXmlNode names = element.AppendElement("Triggers");
        for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
            AppendCDataElement(names, "Trigger", category->GetTrigger(j)->GetName());
        }
    }
    // Not in the older format either: texts that would otherwise be lost.
    if (!state.GetPreamble().empty()) {
        AppendCDataElement(root, "Preamble", state.GetPreamble());
    }
    if (!state.GetHeader().empty()) {
        AppendCDataElement(root, "Header", state.GetHeader());
    }
    return doc.SaveToString(false);
}

} // namespace bram
