#include "modules/ModuleReader.h"

#include "base/Exceptions.h"
#include "base/Text.h"
#include "code/Constant.h"
#include "localization/Localization.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "progress/LoadingProgress.h"
#include "records/BlockInfo.h"
#include "records/TypeInfo.h"
#include "xml/XmlIndex.h"

#include <cmath>
#include <limits>
#include <set>

namespace bram {

namespace {

// Declaration paths as the messages name them.
constexpr char kBlockKind[] = "'Blocks'->'Block'";
constexpr char kConstantKind[] = "'Constants'->'Constant'";
constexpr char kStructureKind[] = "'Structures'->'Structure'";
constexpr char kCallKind[] = "'Calls'->'Call'";
constexpr char kParameterKind[] = "'Parameters'->'Parameter'";
constexpr char kValueKind[] = "'Parameters'->'Parameter'->'Values'->'Value'";
constexpr char kBlockReferenceKind[] = "'Structures'->'Structure'->'Blocks'->'Block'";
constexpr char kReplacementKind[] = "'Types'->'Type'->'Replacements'->'Replacement'";

[[noreturn]] void Fail(std::string message) { throw CModuleException(std::move(message)); }

std::optional<std::string> FindText(const CXmlIndexNode& node)
{
    const auto text = node.FindTextView();
    return text ? std::optional<std::string>(std::string(*text)) : std::nullopt;
}

// Every child element of that name, in order.
std::vector<CXmlIndexNode> Children(const CXmlIndexNode& parent, int name)
{
    std::vector<CXmlIndexNode> children;
    for (CXmlIndexNode child = parent.Child(name); !child.IsNull(); child = child.NextSibling(name)) {
        children.push_back(child);
    }
    return children;
}

std::string_view NameOf(int name) { return ModuleXmlNames()[static_cast<std::size_t>(name)]; }

std::string ElementMessage(std::string_view kind, std::string_view child)
{
    return "Element " + std::string(kind) + "->'" + std::string(child) + "' expected.";
}

std::string TextMessage(std::string_view kind, std::string_view child)
{
    return "Text in " + std::string(kind) + "->'" + std::string(child) + "' expected.";
}

CXmlIndexNode RequiredChild(const CXmlIndexNode& parent, int child, std::string_view kind)
{
    CXmlIndexNode node = parent.Child(child);
    if (node.IsNull()) {
        Fail(ElementMessage(kind, NameOf(child)));
    }
    return node;
}

// The text of a required child: "Element ... expected." when it is missing,
// "Text in ... expected." when it has no text (or, with nonEmpty, an empty one).
std::string RequiredText(const CXmlIndexNode& parent, int child, std::string_view kind, bool nonEmpty)
{
    auto text = RequiredChild(parent, child, kind).FindTextView();
    if (!text || (nonEmpty && text->empty())) {
        Fail(TextMessage(kind, NameOf(child)));
    }
    return std::string(*text);
}

// The child's text, or nullopt when the child or its text is missing.
std::optional<std::string> ChildText(const CXmlIndexNode& parent, int child)
{
    const CXmlIndexNode node = parent.Child(child);
    return node.IsNull() ? std::nullopt : FindText(node);
}

std::string NamespaceOf(const CXmlIndexNode& declaration, const char* kindWord)
{
    auto text = ChildText(declaration, kXmlNamespace);
    return text ? std::move(*text) : std::string(kindWord);
}

std::uint32_t RealTypeFromName(const std::string& name)
{
    static const std::pair<const char*, std::uint32_t> kNames[] = {
        {"Undefined", RealTypeUndefined}, {"Boolean", RealTypeBoolean}, {"Number", RealTypeNumber},
        {"String", RealTypeString},       {"Trigger", RealTypeTrigger}, {"Function", RealTypeFunction},
        {"Variable", RealTypeVariable},
    };
    for (const auto& [text, value] : kNames) {
        if (name == text) {
            return value;
        }
    }
    Fail("Unknown real type name.");
}

template <typename Record>
const Record* FindByName(const std::vector<const Record*>& records, const std::string& name)
{
    for (const Record* record : records) {
        if (record->GetName() == name) {
            return record;
        }
    }
    return nullptr;
}

// The reference rule: the named module's own declarations, then the current
// module's own, then everything it sees through its needed modules.
template <typename Record>
const Record* FindReferenced(const std::string& name, const std::vector<const Record*>* namedOwn,
                             const std::vector<const Record*>& own, const std::vector<const Record*>& visible)
{
    const Record* record = namedOwn != nullptr ? FindByName(*namedOwn, name) : nullptr;
    if (record == nullptr) {
        record = FindByName(own, name);
    }
    return record != nullptr ? record : FindByName(visible, name);
}

} // namespace

std::span<const std::string_view> ModuleXmlNames()
{
    static constexpr std::string_view kNames[] = {"Module",         "Priority",
                                                  "NeededModules",  "NeedsModule",
                                                  "Data",           "Types",
                                                  "Type",           "Name",
                                                  "RealType",       "CreationInstruction",
                                                  "Replacements",   "StartString",
                                                  "EndString",      "Replacement",
                                                  "What",           "By",
                                                  "Namespace",      "Blocks",
                                                  "Block",          "StartInstruction",
                                                  "EndInstruction", "Separator",
                                                  "StandardValue",  "Constants",
                                                  "Constant",       "Value",
                                                  "Structures",     "Structure",
                                                  "Calls",          "Call",
                                                  "Description",    "ShortDescription",
                                                  "Categories",     "RawInstruction",
                                                  "Parameters",     "Parameter",
                                                  "OnlyVariables",  "MinValue",
                                                  "Values",         "ReferenceTo",
                                                  "Scripts",        "Script"};
    static_assert(std::size(kNames) == kXmlScript + 1);
    return kNames;
}

void CModuleReader::Progress(double base, double span, std::size_t i, std::size_t n) const
{
    if (m_progress != nullptr) {
        m_progress->SetTaskProgress(n == 0 ? base : base + span * static_cast<double>(i) / static_cast<double>(n));
    }
}

void CModuleReader::ReadSection(const CXmlIndexNode& section, const char* missing, const char* detailKey, int child,
                                double base, double span, double end, void (CModuleReader::*read)(const CXmlIndexNode&))
{
    if (section.IsNull()) {
        Fail(missing);
    }
    Detail(detailKey);
    const std::vector<CXmlIndexNode> list = Children(section, child);
    for (std::size_t i = 0; i < list.size(); ++i) {
        Progress(base, span, i, list.size());
        (this->*read)(list[i]);
    }
    Progress(end, 0, 0, 0);
}

void CModuleReader::ReadScript(const CXmlIndexNode& script)
{
    auto text = FindText(script);
    if (!text) {
        Fail("Text in 'Module'->'Scripts'->'Script' expected.");
    }
    m_module.AddScriptName(std::move(*text));
}

void CModuleReader::Detail(const char* key) const
{
    if (m_progress != nullptr) {
        m_progress->SetDetailText(GetLocalizedString(key));
    }
}

const CModule* CModuleReader::FindNeededModule(const std::string& name) const
{
    // Depth first through the needed modules; each module once, the current
    // one never.
    std::set<const CModule*> seen{&m_module};
    std::vector<const CModule*> stack;
    const auto pushNeeds = [&](const CModule* module) {
        const auto& needs = module->GetNeededModules();
        for (auto it = needs.rbegin(); it != needs.rend(); ++it) {
            stack.push_back(*it);
        }
    };
    pushNeeds(&m_module);
    while (!stack.empty()) {
        const CModule* module = stack.back();
        stack.pop_back();
        if (!seen.insert(module).second) {
            continue;
        }
        if (module->GetName() == name) {
            return module;
        }
        pushNeeds(module);
    }
    return nullptr;
}

std::pair<std::string, const CModule*> CModuleReader::ReadReference(const CXmlIndexNode& reference,
                                                                    const char* kindPath, const char* suffix)
{
    const auto path = [&] { return std::string(kindPath) + suffix; };
    std::string name;
    const CModule* named = nullptr;
    if (auto text = FindText(reference)) {
        name = std::move(*text);
    } else {
        auto nameText = ChildText(reference, kXmlName);
        if (!nameText) {
            Fail("Text in " + path() + "(->'Name') expected.");
        }
        name = std::move(*nameText);
        if (const CXmlIndexNode moduleNode = reference.Child(kXmlModule); !moduleNode.IsNull()) {
            const auto moduleText = FindText(moduleNode);
            if (!moduleText) {
                Fail("Text in " + path() + "->'Module' expected.");
            }
            named = FindNeededModule(*moduleText);
            if (named == nullptr) {
                Fail("Invalid module.");
            }
        }
    }
    if (name.empty()) {
        Fail("Text in " + path() + "(->'Name') expected.");
    }
    return {std::move(name), named};
}

const CTypeInfo* CModuleReader::ResolveType(const CXmlIndexNode& declaration, const char* kindPath)
{
    const CXmlIndexNode typeNode = declaration.Child(kXmlType);
    if (typeNode.IsNull()) {
        Fail("Element " + std::string(kindPath) + "->'Type' expected.");
    }
    const auto [name, named] = ReadReference(typeNode, kindPath, "->'Type'");
    const CTypeInfo* type = FindReferenced(name, named != nullptr ? &named->GetTypes() : nullptr, m_module.GetTypes(),
                                           m_module.GetVisibleTypes());
    if (type == nullptr) {
        Fail("Valid type name in " + std::string(kindPath) + "->'Type' expected.");
    }
    return type;
}

const CBlockInfo* CModuleReader::ResolveBlock(const CXmlIndexNode& reference)
{
    const auto [name, named] = ReadReference(reference, kBlockReferenceKind, "");
    const CBlockInfo* block = FindReferenced(name, named != nullptr ? &named->GetBlocks() : nullptr,
                                             m_module.GetBlocks(), m_module.GetVisibleBlocks());
    if (block == nullptr) {
        Fail("Valid block name in " + std::string(kBlockReferenceKind) + " expected.");
    }
    return block;
}

void CModuleReader::ReadTypes(const CXmlIndexNode& types)
{
    ReadSection(types, "Element 'Module'->'Data'->'Types' expected.", "Loading/LoadTypes", kXmlType, 0.30, 0.15, 0.45,
                &CModuleReader::ReadType);
}

void CModuleReader::ReadType(const CXmlIndexNode& type)
{
    const CXmlIndexNode nameNode = type.Child(kXmlName);
    if (nameNode.IsNull()) {
        Fail("Element 'Types'->'Type'->'Name' expected.");
    }
    auto name = FindText(nameNode);
    if (!name) {
        Fail("Text or CDATA expected in 'Types'->'Type'->'Name'");
    }
    std::string nameSpace = NamespaceOf(type, "Type");

    const CXmlIndexNode realTypeNode = type.Child(kXmlRealType);
    if (realTypeNode.IsNull()) {
        Fail("Element 'Types'->'Type'->'RealType' expected.");
    }
    const auto realTypeName = FindText(realTypeNode);
    if (!realTypeName) {
        Fail("Text or CDATA expected in 'Types'->'Type'->'RealType'");
    }
    const std::uint32_t realType = RealTypeFromName(*realTypeName);

    const CXmlIndexNode creationNode = type.Child(kXmlCreationInstruction);
    if (creationNode.IsNull()) {
        Fail("Element 'Types'->'Type'->'CreationInstruction' expected.");
    }
    std::string creation = FindText(creationNode).value_or(std::string());
    if (!creation.empty() &&
        (realType == RealTypeTrigger || realType == RealTypeFunction || realType == RealTypeVariable)) {
        Fail("Unsupported real type in 'Types'->'Type'->'CreationInstruction'");
    }

    std::vector<CReplacement> replacements;
    if (const CXmlIndexNode replacementsNode = type.Child(kXmlReplacements); !replacementsNode.IsNull()) {
        if (realType != RealTypeString) {
            Fail("Element 'Types'->'Type'->'Replacements' defined, but type is not string");
        }
        if (const CXmlIndexNode start = replacementsNode.Child(kXmlStartString); !start.IsNull()) {
            auto text = FindText(start);
            if (!text) {
                Fail("Text or CDATA expected in 'Types'->'Type'->'Replacements'->'StartString'");
            }
            replacements.emplace_back(kStartStringKey, std::move(*text));
        }
        if (const CXmlIndexNode end = replacementsNode.Child(kXmlEndString); !end.IsNull()) {
            auto text = FindText(end);
            if (!text) {
                Fail("Text or CDATA expected in 'Types'->'Type'->'Replacements'->'EndString'");
            }
            replacements.emplace_back(kEndStringKey, std::move(*text));
        }
        const std::vector<CXmlIndexNode> list = Children(replacementsNode, kXmlReplacement);
        const std::string kind = kReplacementKind;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const CXmlIndexNode replacement = list[i];
            const CXmlIndexNode what = replacement.Child(kXmlWhat);
            if (what.IsNull()) {
                Fail(kind + "->'What' expected.");
            }
            auto whatText = FindText(what);
            if (!whatText) {
                Fail("Text or CDATA in " + kind + "->'What' expected.");
            }
            if (whatText->empty()) {
                Fail("Text of " + kind + "->'What' can't be empty.");
            }
            const CXmlIndexNode by = replacement.Child(kXmlBy);
            if (by.IsNull()) {
                Fail(kind + "->'By' expected.");
            }
            auto byText = FindText(by);
            if (!byText) {
                Fail("Text or CDATA in " + kind + "->'By' expected.");
            }
            replacements.emplace_back(std::move(*whatText), std::move(*byText));
        }
    }
    m_module.AddType(std::make_unique<CTypeInfo>(std::move(*name), std::move(nameSpace), realType, std::move(creation),
                                                 std::move(replacements), &m_module));
}

void CModuleReader::ReadBlocks(const CXmlIndexNode& blocks)
{
    ReadSection(blocks, "Element 'Module'->'Data'->'Blocks' expected.", "Loading/LoadBlocks", kXmlBlock, 0.45, 0.10,
                0.55, &CModuleReader::ReadBlock);
}

void CModuleReader::ReadBlock(const CXmlIndexNode& block)
{
    std::string name = RequiredText(block, kXmlName, kBlockKind, true);
    std::string nameSpace = NamespaceOf(block, "Block");
    std::string start = RequiredText(block, kXmlStartInstruction, kBlockKind, false);
    std::string end = RequiredText(block, kXmlEndInstruction, kBlockKind, false);
    std::string separator = RequiredText(block, kXmlSeparator, kBlockKind, false);
    std::string standardValue = RequiredText(block, kXmlStandardValue, kBlockKind, false);
    const CTypeInfo* type = ResolveType(block, kBlockKind);
    m_module.AddBlock(std::make_unique<CBlockInfo>(std::move(name), std::move(nameSpace), std::move(start),
                                                   std::move(separator), std::move(end), std::move(standardValue), type,
                                                   &m_module));
}

void CModuleReader::ReadConstants(const CXmlIndexNode& constants)
{
    ReadSection(constants, "Element 'Module'->'Data'->'Constants' expected.", "Loading/LoadConstants", kXmlConstant,
                0.55, 0.10, 0.65, &CModuleReader::ReadConstant);
}

void CModuleReader::ReadConstant(const CXmlIndexNode& constant)
{
    // A constant is named in data files and scripts; an empty name could
    // never be found again.
    auto name = ChildText(constant, kXmlName);
    if (!name || name->empty()) {
        Fail("Element 'Constants'->'Constant'->'Name' with text or CDATA expected.");
    }
    auto value = ChildText(constant, kXmlValue);
    if (!value) {
        Fail("Element 'Constants'->'Constant'->'Value' with text or CDATA expected.");
    }
    const CTypeInfo* type = ResolveType(constant, kConstantKind);
    if ((type->GetRealType() & ~static_cast<std::uint32_t>(RealTypeVariable)) == 0) {
        Fail("Type of 'Constants'->'Constant' can't be a variable type.");
    }
    std::string nameSpace = NamespaceOf(constant, "Constant");
    m_module.AddConstant(
        std::make_unique<CConstant>(type, std::move(*name), std::move(nameSpace), std::move(*value), &m_module));
}

void CModuleReader::ReadStructures(const CXmlIndexNode& structures)
{
    ReadSection(structures, "Element 'Structures' expected.", "Loading/LoadStructures", kXmlStructure, 0.65, 0.15, 0.80,
                &CModuleReader::ReadStructure);
}

void CModuleReader::ReadCalls(const CXmlIndexNode& calls)
{
    ReadSection(calls, "Element 'Module'->'Data'->'Calls' expected.", "Loading/LoadCalls", kXmlCall, 0.80, 0.18, 0.98,
                &CModuleReader::ReadCall);
}

void CModuleReader::ReadInstruction(const CXmlIndexNode& declaration, bool structure)
{
    const char* kind = structure ? kStructureKind : kCallKind;
    std::string name = RequiredText(declaration, kXmlName, kind, true);
    std::string nameSpace = NamespaceOf(declaration, structure ? "Structure" : "Call");
    std::string description = RequiredText(declaration, kXmlDescription, kind, true);
    const auto shortText = ChildText(declaration, kXmlShortDescription);
    if (!shortText) {
        LogPrintf(structure ? "NOTICE: No short description of structure %s found; used normal description instead "
                              "(deprecated behaviour).\n"
                            : "NOTICE: No short description of call %s found; used normal description instead "
                              "(deprecated behaviour).\n",
                  name.c_str());
    }
    std::string shortDescription = shortText && !shortText->empty() ? *shortText : description;
    std::string categories = RequiredText(declaration, kXmlCategories, kind, true);
    std::string raw = RequiredText(declaration, kXmlRawInstruction, kind, false);
    const CTypeInfo* type = ResolveType(declaration, kind);
    CParameterList parameters = ReadParameters(RequiredChild(declaration, kXmlParameters, kind));

    std::vector<const CBlockInfo*> blocks;
    if (structure) {
        const std::vector<CXmlIndexNode> list = Children(RequiredChild(declaration, kXmlBlocks, kind), kXmlBlock);
        for (std::size_t i = 0; i < list.size(); ++i) {
            blocks.push_back(ResolveBlock(list[i]));
        }
    }
    if ((!parameters.empty() || !blocks.empty()) && raw.empty()) {
        Fail(TextMessage(kind, "RawInstruction"));
    }
    if (structure) {
        m_module.AddStructure(std::make_unique<CStructureInfo>(
            std::move(name), std::move(nameSpace), std::move(categories), std::move(description),
            std::move(shortDescription), std::move(raw), type, std::move(parameters), std::move(blocks), &m_module));
    } else {
        m_module.AddCall(std::make_unique<CCallInfo>(std::move(name), std::move(nameSpace), std::move(categories),
                                                     std::move(description), std::move(shortDescription),
                                                     std::move(raw), type, std::move(parameters), &m_module));
    }
}

CParameterList CModuleReader::ReadParameters(const CXmlIndexNode& parameters)
{
    if (parameters.IsNull()) {
        Fail("INTERNAL ERROR: Element 'Parameters' expected.");
    }
    CParameterList list;
    const std::vector<CXmlIndexNode> nodes = Children(parameters, kXmlParameter);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        // Appended before the next is read, so a later parameter can refer to it.
        list.push_back(ReadParameter(nodes[i], i));
    }
    return list;
}

std::unique_ptr<CParameterInfo> CModuleReader::ReadParameter(const CXmlIndexNode& parameter, std::size_t index)
{
    std::string name = RequiredText(parameter, kXmlName, kParameterKind, true);
    std::string nameSpace = NamespaceOf(parameter, "Parameter");

    if (!parameter.Child(kXmlType).IsNull()) {
        const CTypeInfo* type = ResolveType(parameter, kParameterKind);
        const auto onlyVariables = FindText(RequiredChild(parameter, kXmlOnlyVariables, kParameterKind));
        if (!onlyVariables || (*onlyVariables != "true" && *onlyVariables != "false")) {
            Fail(TextMessage(kParameterKind, "OnlyVariables"));
        }
        const bool only = *onlyVariables == "true";
        if (type->GetRealType() != RealTypeNumber) {
            return std::make_unique<CParameterInfo>(std::move(name), std::move(nameSpace), type, only, &m_module);
        }
        double minValue = std::numeric_limits<double>::quiet_NaN();
        if (const CXmlIndexNode minNode = parameter.Child(kXmlMinValue); !minNode.IsNull()) {
            const auto text = FindText(minNode);
            if (!text) {
                Fail(TextMessage(kParameterKind, "MinValue"));
            }
            minValue = ParseLeadingDouble(*text);
        }
        return std::make_unique<CParameterInfo>(std::move(name), std::move(nameSpace), type, only, minValue, &m_module);
    }

    if (const CXmlIndexNode valuesNode = parameter.Child(kXmlValues); !valuesNode.IsNull()) {
        std::vector<CEnumValue> values;
        const std::vector<CXmlIndexNode> list = Children(valuesNode, kXmlValue);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const CXmlIndexNode value = list[i];
            std::string valueName = RequiredText(value, kXmlName, kValueKind, true);
            std::string script = RequiredText(value, kXmlValue, kValueKind, false);
            values.emplace_back(std::move(valueName), std::move(script));
        }
        if (values.empty()) {
            Fail(ElementMessage("'Parameters'->'Parameter'->'Values'", "Value"));
        }
        return std::make_unique<CParameterInfo>(std::move(name), std::move(nameSpace), std::move(values), &m_module);
    }

    const auto referenceText = FindText(RequiredChild(parameter, kXmlReferenceTo, kParameterKind));
    if (!referenceText) {
        Fail(TextMessage(kParameterKind, "ReferenceTo"));
    }
    const long reference = ParseLeadingInteger(*referenceText);
    if (reference < 0 || static_cast<std::size_t>(reference) >= index) {
        Fail("Invalid reference number.");
    }
    return std::make_unique<CParameterInfo>(std::move(name), std::move(nameSpace), static_cast<unsigned>(reference),
                                            &m_module);
}

void CModuleReader::ReadScripts(const CXmlIndexNode& scripts)
{
    ReadSection(scripts, "Element 'Module'->'Scripts' expected.", "Loading/LoadingScripts", kXmlScript, 0.98, 0.02, 1.0,
                &CModuleReader::ReadScript);
}

} // namespace bram
