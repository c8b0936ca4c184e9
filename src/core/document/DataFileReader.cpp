// The data file reader. Strict: a deviation from the format is an error
// that logs its message and stops the load with CDocumentException; a few
// omissions are warnings. Every name is resolved against the loaded modules.

#include "document/ApplicationDocument.h"
#include "document/Fragment.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "xml/XmlIndex.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace bram {

namespace {

// Deletes a node that has not been handed to its owner yet.
struct ReleaseNode {
    void operator()(CCodeBase* node) const { node->Release(nullptr); }
};
using NodeGuard = std::unique_ptr<CCodeBase, ReleaseNode>;

bool IsValidVariableType(const CTypeInfo* type)
{
    return CUserDefinedVariable::IsAllowedType(type) && !type->GetRawInstruction().empty();
}

// The element and attribute names the reader looks up, by number.
enum EName : int {
    kData,
    kNeededModules,
    kNeededModule,
    kVariables,
    kVariable,
    kType,
    kName,
    kModule,
    kTriggerData,
    kTrigger,
    kCode,
    kComment,
    kBlocks,
    kBlock,
    kSubElement,
    kParameters,
    kParameter,
    kValue,
    kCategorization,
    kCategory,
    kTriggers,
    kPreamble,
    kHeader,
    kVersionAttribute,
    kEnabledAttribute,
    kEnabledAtBeginningAttribute,
    kBcodeAttribute,
    kTypeAttribute,
    kValuesAttribute,
    kRefAttribute,
    kToAttribute,
    kEmptyAttribute,
    kTriggerVarAttribute,
    kBoolAttribute,
    kValAttribute,
    kFragmentAttribute,
};
constexpr std::string_view kNames[] = {"Data",
                                       "NeededModules",
                                       "NeededModule",
                                       "Variables",
                                       "Variable",
                                       "Type",
                                       "Name",
                                       "Module",
                                       "TriggerData",
                                       "Trigger",
                                       "Code",
                                       "Comment",
                                       "Blocks",
                                       "Block",
                                       "SubElement",
                                       "Parameters",
                                       "Parameter",
                                       "Value",
                                       "Categorization",
                                       "Category",
                                       "Triggers",
                                       "Preamble",
                                       "Header",
                                       "version",
                                       "enabled",
                                       "enabledatbeginning",
                                       "bcode",
                                       "type",
                                       "values",
                                       "ref",
                                       "to",
                                       "empty",
                                       "triggervar",
                                       "bool",
                                       "val",
                                       "fragment"};
static_assert(std::size(kNames) == kFragmentAttribute + 1);

// The content of a trigger's lists is indexed when the trigger is read:
// Data/TriggerData/Trigger/Blocks is the fourth level.
constexpr int kIndexDepth = 4;

using Node = CXmlIndexNode;

// How a definition lookup names its element and its kind in messages.
struct SLookupTexts {
    const char* moduleElement;
    const char* moduleText;
    const char* kind;
};

constexpr SLookupTexts kParameterLookup(const char* kind)
{
    return {"Element 'Parameter'->'Module' expected.", "Text in 'Parameter'->'Module' expected.", kind};
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whole-text decimal integer in the 32-bit range, blanks around it allowed.
bool ParseInteger(std::string_view text, long& value)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return false;
    }
    long long parsed = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        parsed = parsed * 10 + (text[i] - '0');
        if (parsed > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
        ++i;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return false;
    }
    parsed = negative ? -parsed : parsed;
    if (parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<long>(parsed);
    return true;
}

template <typename T>
const T* FindOwn(const std::vector<const T*>& list, std::string_view name, const CTypeInfo* type)
{
    for (const T* item : list) {
        if (item->GetName() == name && (type == nullptr || item->GetType() == type)) {
            return item;
        }
    }
    return nullptr;
}

using VariableList = std::vector<std::unique_ptr<CUserDefinedVariable>>;

bool HasIdentifier(const VariableList& list, const std::string& normalized)
{
    return std::any_of(list.begin(), list.end(),
                       [&](const auto& variable) { return NormalizedName(variable->GetName()) == normalized; });
}

// A pasted variable: one of the same name and type is reused; otherwise it is
// added, under a free name when the name is taken (compared as identifiers)
// in the list or by `takenElsewhere` (given the identifier).
CUserDefinedVariable* ReconcileVariable(VariableList& list, const std::string& name, const CTypeInfo* type,
                                        const std::function<bool(const std::string&)>& takenElsewhere)
{
    for (const auto& variable : list) {
        if (variable->GetName() == name && variable->GetType() == type) {
            return variable.get();
        }
    }
    const auto taken = [&](const std::string& candidate) {
        const std::string normalized = NormalizedName(candidate);
        return HasIdentifier(list, normalized) || takenElsewhere(normalized);
    };
    list.push_back(std::make_unique<CUserDefinedVariable>(FirstFreeName(name, taken), type));
    return list.back().get();
}

} // namespace

class CDataFileReader {
public:
    // release: called with a place in the text before which nothing is read
    // again (may be empty).
    CDataFileReader(CApplicationDocument& document, std::string path, std::function<void(const char*)> release = {})
        : m_doc(document),
          m_state(*document.GetState()),
          m_categories(document.m_categories),
          m_path(std::move(path)),
          m_release(std::move(release))
    {
        // What the writer writes for other readers and this one never reads.
        static constexpr std::pair<int, int> kUnread[] = {{kBlock, kName}, {kBlock, kModule}, {kParameter, kType}};
        m_index.SetUnread(kUnread);
    }

    void Read(std::string_view data);
    // A clipboard fragment into the state, as ReadFragment() describes.
    void ReadFragment(std::string_view data, const SFragmentTarget& target, SFragmentRead& read);

private:
    [[noreturn]] void Fail(const std::string& message)
    {
        LogWrite(message);
        LogWrite("\n");
        throw CDocumentException(message);
    }
    void Warn(const std::string& message) { LogWrite(message); }

    Node Require(const Node& parent, int name, const char* message)
    {
        Node child = parent.Child(name);
        if (child.IsNull()) {
            Fail(message);
        }
        return child;
    }
    // For names of definitions and modules, which never hold "]]>".
    std::string_view RequireName(const Node& element, const char* message)
    {
        const std::optional<std::string_view> text = element.FindTextView();
        if (!text) {
            Fail(message);
        }
        return *text;
    }
    std::string RequireText(const Node& element, const char* message)
    {
        std::optional<std::string> text = element.FindJoinedText();
        if (!text) {
            Fail(message);
        }
        return std::move(*text);
    }
    long Integer(const Node& element, int attribute)
    {
        const std::optional<std::string_view> text = element.GetAttribute(attribute);
        long value = 0;
        if (!text || !ParseInteger(*text, value)) {
            Fail(StringPrintf("Integer attribute '%s' expected in element '%s'.",
                              std::string(kNames[attribute]).c_str(), std::string(element.GetName()).c_str()));
        }
        return value;
    }
    static std::vector<Node> Children(const Node& parent, int name)
    {
        std::vector<Node> children;
        for (Node child = parent.Child(name); !child.IsNull(); child = child.NextSibling(name)) {
            children.push_back(child);
        }
        return children;
    }
    CModule* RequireModule(std::string_view name)
    {
        CModule* module = FindModule(name);
        if (module == nullptr || !module->IsLoaded()) {
            Fail(StringPrintf("Unknown module: %s", std::string(name).c_str()));
        }
        return module;
    }

    // Parses the text; the document element after its name and version are checked.
    Node Load(std::string_view data);
    void ReadModules(const Node& root);
    void ReadInstructionFragment(const Node& root);
    CUserDefinedVariable* FindVariable(const std::string& name);
    // Whether a local of any trigger of the state has the identifier.
    bool IsLocalIdentifier(const std::string& identifier);
    // A local of a pasted trigger, under a free name when a global or an
    // earlier local has its identifier.
    void AddFragmentLocal(CCodeTrigger& trigger, const std::string& name, const CTypeInfo* type);
    void ReadGlobals(const Node& root);
    const CTypeInfo* ReadVariableType(const Node& variable, bool local);
    void ReadTriggers(const Node& root);
    void ReadTriggerBody(const Node& element, CCodeTrigger& trigger);
    void ReadBlock(const Node& element, CBlock& block);
    void CheckBlockType(const Node& element, const CTypeInfo* blockType);
    void ReadInstruction(const Node& sub, CBlock& block);
    const CCodeInfoBase* ResolveInstruction(const Node& sub, std::string_view name, long codeType,
                                            const CTypeInfo* blockType);
    // In a 1.1 file, the definition in the module the element names; a miss
    // there is a warning only, and the caller looks among all modules.
    template <typename Find>
    auto FindInNamedModule(const Node& element, std::string_view name, const SLookupTexts& texts, Find findOwn)
        -> decltype(findOwn(std::declval<const CModule&>()))
    {
        if (m_version10) {
            return nullptr;
        }
        const std::string_view moduleName =
            RequireName(Require(element, kModule, texts.moduleElement), texts.moduleText);
        auto* found = findOwn(*RequireModule(moduleName));
        if (found == nullptr) {
            Warn(StringPrintf("Could not find %s %s in module %s.\n", texts.kind, std::string(name).c_str(),
                              std::string(moduleName).c_str()));
        }
        return found;
    }
    void ReadParameter(const Node& element, CParameter& parameter);
    CCodeBase* ReadCallValue(const Node& element, const CTypeInfo* type);
    CCodeBase* ReadVariableValue(const Node& element, const CTypeInfo* type);
    CCodeBase* ReadConstantValue(const Node& element, const CTypeInfo* type);
    CCodeBase* ReadLiteralValue(const Node& element, const CTypeInfo* type);
    void ReadCategorization(const Node& root);
    void ReadCategory(const Node& element);
    // The state's trigger variables of a trigger, in the state's order.
    const std::vector<CTriggerVariable*>& TriggerVariablesOf(const CCodeTrigger* trigger)
    {
        if (m_triggerVariablesSeen != m_state.GetTriggerVariableCount()) {
            m_triggerVariables.clear();
            m_triggerVariablesSeen = m_state.GetTriggerVariableCount();
            for (std::size_t i = 0; i < m_triggerVariablesSeen; ++i) {
                CTriggerVariable* variable = m_state.GetTriggerVariable(i);
                m_triggerVariables[variable->GetTrigger()].push_back(variable);
            }
        }
        static const std::vector<CTriggerVariable*> none;
        const auto it = m_triggerVariables.find(trigger);
        return it != m_triggerVariables.end() ? it->second : none;
    }

    CApplicationDocument& m_doc;
    CXmlIndex m_index{kNames, kIndexDepth};
    CState& m_state;
    CCategorySystem& m_categories;
    std::string m_path;
    std::function<void(const char*)> m_release;
    bool m_version10 = false;
    // Trigger name as read -> trigger; emptied by the categorization.
    std::unordered_map<std::string, CCodeTrigger*> m_triggerNames;
    std::unordered_set<std::string> m_normalizedNames;
    // Every trigger by its name as read, for trigger variables.
    std::unordered_map<std::string, CCodeTrigger*> m_allTriggers;
    std::unordered_map<const CCodeTrigger*, std::vector<CTriggerVariable*>> m_triggerVariables;
    std::size_t m_triggerVariablesSeen = 0;
    CCodeTrigger* m_trigger = nullptr;
    std::string m_triggerName; // as read, for messages; the categories name triggers later
    // Only while a fragment is read: where it goes, what it gave, and the
    // variables its names stand for in the document.
    const SFragmentTarget* m_target = nullptr;
    SFragmentRead* m_fragment = nullptr;
    std::unordered_map<std::string, CUserDefinedVariable*> m_fragmentGlobals;
    // Written name -> local of the trigger being read (or the one an instruction goes into).
    std::unordered_map<std::string, CUserDefinedVariable*> m_fragmentLocals;
    // The identifiers of the state's locals, gathered once when a pasted global needs them.
    std::optional<std::unordered_set<std::string>> m_localIdentifiers;
    std::unordered_set<std::string> m_chosenNames;
    // Nesting of blocks and values; a limit keeps hostile files from
    // exhausting the stack here and in every later walk of the tree.
    int m_depth = 0;
    static constexpr int kMaxDepth = 500;
    struct DepthGuard {
        CDataFileReader& reader;
        explicit DepthGuard(CDataFileReader& r) : reader(r)
        {
            if (++reader.m_depth > kMaxDepth) {
                const bool pasted =
                    reader.m_fragment != nullptr && reader.m_fragment->kind == EFragmentKind::Instruction;
                reader.Fail(pasted ? StringPrintf("Instructions would be nested too deeply here (more than %d levels).",
                                                  kMaxDepth)
                                   : std::string("Instructions are nested too deeply."));
            }
        }
        ~DepthGuard() { --reader.m_depth; }
    };
    // The depth the reader counts at a node of the state: its blocks and
    // parameters up to the root block.
    static int NestingOf(const CCodeBase& node)
    {
        int depth = 0;
        for (const CCodeBase* walk = &node; walk != nullptr; walk = walk->GetParent()) {
            const unsigned type = walk->GetCodeType();
            depth += type == CodeTypeBlock || type == CodeTypeParameter ? 1 : 0;
        }
        return depth;
    }
};

Node CDataFileReader::Load(std::string_view data)
{
    LogPrintf("Loading file %s.\n", m_path.c_str());
    CXmlParseError error;
    if (!m_index.Load(data, &error)) {
        Fail(StringPrintf("Could not load file %s.\n Error message: %d:%s", m_path.c_str(), error.code,
                          error.reason.c_str()));
    }
    const Node root = m_index.GetDocumentElement();
    if (root.IsNull()) {
        Fail("No root element found.");
    }
    if (root.GetNameId() != kData) {
        Fail("Invalid root: element 'Data' expected.");
    }
    const double version = ParseLeadingDouble(root.GetAttribute(kVersionAttribute).value_or(std::string_view()));
    if (!(version >= 1.0 && version <= 1.1)) {
        Fail("Unsupported file version.");
    }
    m_version10 = version <= 1.0;
    return root;
}

void CDataFileReader::Read(std::string_view data)
{
    const Node root = Load(data);
    if (!m_version10) {
        ReadModules(root);
    }
    ReadGlobals(root);
    ReadTriggers(root);
    ReadCategorization(root);
    // Texts the older format did not keep.
    if (const Node preamble = root.Child(kPreamble); !preamble.IsNull()) {
        m_state.SetPreamble(preamble.FindJoinedText().value_or(std::string()));
    }
    if (const Node header = root.Child(kHeader); !header.IsNull()) {
        m_state.SetHeader(header.FindJoinedText().value_or(std::string()));
    }
}

void CDataFileReader::ReadModules(const Node& root)
{
    LogWrite("Checking modules.\n");
    const Node modules = Require(root, kNeededModules, "Element 'Data'->'NeededModules' expected.");
    for (const Node& module : Children(modules, kNeededModule)) {
        const std::string name = RequireText(module, "Text in 'Data'->'NeededModules'->'NeededModule' expected.");
        const CModule* found = FindModule(name);
        if (found == nullptr || !found->IsLoaded()) {
            Fail(StringPrintf("The module %s wasn't loaded.", name.c_str()));
        }
    }
}

const CTypeInfo* CDataFileReader::ReadVariableType(const Node& variable, bool local)
{
    const Node type =
        Require(variable, kType,
                local ? "Element 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Type' expected."
                      : "Element 'Data'->'Variables'->'Variable'->'Type' expected.");
    const Node nameElement =
        Require(type, kName,
                local ? "Element 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Type'->'Name' expected."
                      : "Element 'Data'->'Variables'->'Variable'->'Type'->'Name' expected.");
    const std::string name = RequireText(
        nameElement, local
                         ? "Text in 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Type'->'Name' expected."
                         : "Text in 'Data'->'Variables'->'Variable'->'Type'->'Name' expected.");
    const CTypeInfo* found = nullptr;
    if (!m_version10) {
        const Node moduleElement =
            Require(type, kModule, "Element 'Data'->'Variables'->'Variable'->'Type'->'Module' expected.");
        const std::string moduleName =
            RequireText(moduleElement, "Text in 'Data'->'Variables'->'Variable'->'Type'->'Module' expected.");
        const CModule* module = RequireModule(moduleName);
        found = FindOwn(module->GetTypes(), name, nullptr);
        if (found != nullptr && !IsValidVariableType(found)) {
            Fail("Invalid type.");
        }
        if (found == nullptr) {
            Warn(StringPrintf("Could not find type %s in module %s.\n", name.c_str(), moduleName.c_str()));
        }
    }
    if (found == nullptr) {
        found = FindOwn(GetAllTypes(), name, nullptr);
        // Locals were not checked here once; a variable of such a type cannot exist.
        if (found != nullptr && !IsValidVariableType(found)) {
            Fail("Invalid type.");
        }
        if (found == nullptr) {
            Fail(StringPrintf(local ? "Unknown type %s." : "Unknown type: %s", name.c_str()));
        }
    }
    return found;
}

void CDataFileReader::ReadGlobals(const Node& root)
{
    LogWrite("Reading globals.\n");
    const Node variables = root.Child(kVariables);
    if (variables.IsNull()) {
        Warn("Warning: Element 'Variables' is missing; could not read variables.\n");
    } else {
        for (const Node& variable : Children(variables, kVariable)) {
            const CTypeInfo* type = ReadVariableType(variable, false);
            const Node nameElement =
                Require(variable, kName, "Element 'Data'->'Variables'->'Variable'->'Name' expected.");
            std::string name = RequireText(nameElement, "Text in 'Data'->'Variables'->'Variable'->'Name' expected.");
            if (name.empty()) {
                Fail("Text in 'Data'->'Variables'->'Variable'->'Name' expected.");
            }
            if (m_fragment != nullptr) {
                if (m_fragmentGlobals.contains(name)) {
                    Fail(StringPrintf("Variable %s already read.", name.c_str()));
                }
                // Nor the name of a local: the local would hide it.
                m_fragmentGlobals.emplace(
                    name, ReconcileVariable(m_state.GetGlobals(), name, type, [this](const std::string& identifier) {
                        return IsLocalIdentifier(identifier);
                    }));
                continue;
            }
            for (const auto& global : m_state.GetGlobals()) {
                if (global->GetName() == name) {
                    Fail(StringPrintf("Variable %s already read.", name.c_str()));
                }
            }
            m_state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>(name, type));
            LogPrintf("Variable %s read.\n", name.c_str());
        }
    }
    LogWrite("End reading globals.\n");
}

void CDataFileReader::ReadTriggers(const Node& root)
{
    LogWrite("Reading triggers.\n");
    const Node triggerData = root.Child(kTriggerData);
    if (triggerData.IsNull()) {
        Warn("Warning: Element 'TriggerData' is missing; could not read triggers.\n");
        LogWrite("End reading triggers.\n");
        return;
    }
    // Every trigger is made before any is filled, so that trigger variables
    // may name triggers that come later in the file.
    const std::vector<Node> elements = Children(triggerData, kTrigger);
    std::vector<CCodeTrigger*> triggers;
    std::vector<std::string> names;
    triggers.reserve(elements.size());
    for (const Node& element : elements) {
        LogWrite("Reading trigger.\n");
        const Node nameElement = Require(element, kName, "Node 'Data'->'TriggerData'->'Trigger'->'Name' expected.");
        const std::string name = RequireText(nameElement, "Text in 'Data'->'TriggerData'->'Trigger'->'Name' expected.");
        const std::string normalized = NormalizedName(name);
        if (normalized.empty()) {
            Fail("Invalid trigger name: trigger name is empty.");
        }
        if (!m_normalizedNames.insert(normalized).second) {
            Fail(StringPrintf("Trigger %s already exist.", name.c_str()));
        }
        LogPrintf("Trigger name: %s\n", name.c_str());
        CCodeTrigger* trigger =
            m_state.AddTrigger(std::make_unique<CCodeTrigger>(m_state.NewTriggerId(), &m_categories));
        if (m_fragment != nullptr) {
            std::string entryName = FirstFreeName(normalized, [this](const std::string& candidate) {
                return m_categories.HasTrigger(candidate) || m_chosenNames.contains(candidate);
            });
            m_chosenNames.insert(entryName);
            m_fragment->triggers.emplace_back(std::move(entryName), trigger->GetId());
        }
        m_triggerNames.emplace(name, trigger);
        m_allTriggers.emplace(name, trigger);
        triggers.push_back(trigger);
        names.push_back(name);
    }
    // The text before a trigger is not read again once its body is to be
    // read; a big file's text goes while its document comes.
    const Node after = root.Child(kCategorization);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (m_release) {
            m_release(elements[i].GetName().data());
        }
        m_triggerName = names[i];
        // Only the trigger being read keeps the index of its content.
        const CXmlIndex::SMark mark = m_index.Mark();
        ReadTriggerBody(elements[i], *triggers[i]);
        m_index.Release(mark);
    }
    if (m_release && !after.IsNull()) {
        m_release(after.GetName().data());
    }
    m_trigger = nullptr;
    LogWrite("End reading triggers.\n");
}

void CDataFileReader::ReadTriggerBody(const Node& element, CCodeTrigger& trigger)
{
    m_trigger = &trigger;
    trigger.SetEnabled(Integer(element, kEnabledAttribute) != 0);
    trigger.SetEnabledAtBeginning(Integer(element, kEnabledAtBeginningAttribute) != 0);
    if (Integer(element, kBcodeAttribute) != 0) {
        LogWrite("Reading code.\n");
        const Node code = Require(element, kCode, "Element 'Data'->'TriggerData'->'Trigger'->'Code' expected.");
        trigger.ConvertToCode(RequireText(code, "Text in 'Data'->'TriggerData'->'Trigger'->'Code' expected."));
    }
    if (const Node comment = element.Child(kComment); !comment.IsNull()) {
        trigger.SetComment(comment.FindJoinedText().value_or(std::string()));
    }

    LogWrite("Reading locals.\n");
    m_fragmentLocals.clear();
    const Node variables = element.Child(kVariables);
    if (variables.IsNull()) {
        Warn("Warning: Element 'Variables' is missing; could not read variables.\n");
    } else {
        for (const Node& variable : Children(variables, kVariable)) {
            const CTypeInfo* type = ReadVariableType(variable, true);
            const Node nameElement = Require(
                variable, kName, "Element 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Name' expected.");
            std::string name = RequireText(
                nameElement, "Text in 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Name' expected.");
            if (name.empty()) {
                Fail("Text in 'Data'->'TriggerData'->'Trigger'->'Variables'->'Variable'->'Name' expected.");
            }
            if (m_fragment != nullptr) {
                AddFragmentLocal(trigger, name, type);
                continue;
            }
            for (const auto& local : trigger.GetLocals()) {
                if (local->GetName() == name) {
                    Fail(StringPrintf("Local '%s' multiple times defined.", name.c_str()));
                }
            }
            trigger.GetLocals().push_back(std::make_unique<CUserDefinedVariable>(name, type));
        }
    }
    LogWrite("End reading Locals.\n");

    LogWrite("Reading blocks.\n");
    const Node blocks = Require(element, kBlocks, "Element 'Data'->'TriggerData'->'Trigger'->'Blocks' expected.");
    const std::vector<Node> blockElements = Children(blocks, kBlock);
    if (blockElements.size() != trigger.GetBlockCount()) {
        Fail("Invalid number of blocks in 'Data'->'TriggerData'->'Trigger'->'Blocks'.");
    }
    for (std::size_t i = 0; i < blockElements.size(); ++i) {
        ReadBlock(blockElements[i], *trigger.GetBlock(i));
    }
    LogWrite("End reading blocks.\n");
}

void CDataFileReader::ReadBlock(const Node& element, CBlock& block)
{
    const DepthGuard depth(*this);
    if (element.GetNameId() != kBlock) {
        Fail("Element 'Block' expected.");
    }
    CheckBlockType(element, block.GetType());
    const Node data = Require(element, kData, "Element 'Block'->'Data' expected.");
    for (Node sub = data.Child(kSubElement); !sub.IsNull(); sub = sub.NextSibling(kSubElement)) {
        ReadInstruction(sub, block);
    }
}

void CDataFileReader::CheckBlockType(const Node& element, const CTypeInfo* blockType)
{
    const std::string expectedType = blockType != nullptr ? blockType->GetName() : std::string();
    const Node type = Require(element, kType, "Element 'Block'->'Type' expected.");
    const std::string_view typeName = RequireName(Require(type, kName, "Element 'Block'->'Type'->'Name' expected."),
                                                  "Text in 'Block'->'Type'->'Name' expected.");
    if (typeName != expectedType) {
        Fail(StringPrintf("Invalid type in 'Block'->'Type': got '%s', '%s' expected.", std::string(typeName).c_str(),
                          expectedType.c_str()));
    }
    if (m_version10) {
        return;
    }
    const std::string_view moduleName =
        RequireName(Require(type, kModule, "Element 'Block'->'Type'->'Module' expected."),
                    "Text in 'Block'->'Type'->'Module' expected.");
    const std::string expectedModule =
        blockType != nullptr && blockType->GetModule() != nullptr ? blockType->GetModule()->GetName() : std::string();
    if (moduleName != expectedModule) {
        Fail(StringPrintf("Invalid module in 'Block'->'Type': got '%s', '%s' expected.",
                          std::string(moduleName).c_str(), expectedModule.c_str()));
    }
}

const CCodeInfoBase* CDataFileReader::ResolveInstruction(const Node& sub, std::string_view name, long codeType,
                                                         const CTypeInfo* blockType)
{
    static constexpr SLookupTexts kTexts{"Element 'Block'->'Data'->'SubElement'->'Module' expected.",
                                         "Text in 'Block'->'Data'->'SubElement'->'Module' expected.", "instruction"};
    const CCodeInfoBase* definition =
        FindInNamedModule(sub, name, kTexts, [&](const CModule& module) -> const CCodeInfoBase* {
            if (codeType == CodeTypeCall) {
                return FindOwn(module.GetCalls(), name, blockType);
            }
            return codeType == CodeTypeStructure ? FindOwn(module.GetStructures(), name, blockType) : nullptr;
        });
    if (definition != nullptr) {
        return definition;
    }
    for (const CCodeInfoBase* candidate : GetAllInstructions()) {
        if (candidate->GetName() != name || candidate->GetType() != blockType) {
            continue;
        }
        if (codeType != CodeTypeStructure && codeType != CodeTypeCall) {
            Fail(StringPrintf("Unknown type code %ld in 'Block'->'Data'->'SubElement'.", codeType));
        }
        const bool isStructure = dynamic_cast<const CStructureInfo*>(candidate) != nullptr;
        const bool isCall = dynamic_cast<const CCallInfo*>(candidate) != nullptr;
        if ((codeType == CodeTypeStructure && isStructure) || (codeType == CodeTypeCall && isCall)) {
            return candidate;
        }
    }
    Fail(StringPrintf("Unknown structure or call %s.", std::string(name).c_str()));
}

void CDataFileReader::ReadInstruction(const Node& sub, CBlock& block)
{
    const long codeType = Integer(sub, kTypeAttribute);
    const std::string_view name =
        RequireName(Require(sub, kName, "Element 'Block'->'Data'->'SubElement'->'Name' expected."), "Text expected.");
    CCodeBase* instruction = ResolveInstruction(sub, name, codeType, block.GetType())->CreateCode().release();
    block.AddChild(instruction);

    const Node parameters = Require(sub, kParameters, "Element 'Block'->'Data'->'SubElement'->'Parameters' expected.");
    if (parameters.CountChildren(kParameter) != instruction->GetParameterCount()) {
        Fail("Invalid number of parameters in 'Block'->'Data'->'SubElement'->'Parameters'.");
    }
    std::size_t index = 0;
    for (Node p = parameters.Child(kParameter); !p.IsNull(); p = p.NextSibling(kParameter)) {
        ReadParameter(p, *instruction->GetParameter(index++));
    }
    if (codeType == CodeTypeStructure) {
        const Node blocks = Require(sub, kBlocks, "Element 'Block'->'Data'->'SubElement'->'Blocks' expected.");
        const std::vector<Node> blockElements = Children(blocks, kBlock);
        if (blockElements.size() != instruction->GetChildCount()) {
            Fail("Invalid number of blocks in 'Block'->'Data'->'SubElement'->'Blocks'.");
        }
        for (std::size_t i = 0; i < blockElements.size(); ++i) {
            ReadBlock(blockElements[i], *static_cast<CBlock*>(instruction->GetChild(i)));
        }
    }
    // After the parameters: an instruction is enabled only when complete.
    instruction->SetEnabled(Integer(sub, kEnabledAttribute) != 0);
}

void CDataFileReader::ReadParameter(const Node& element, CParameter& parameter)
{
    const DepthGuard depth(*this);
    if (element.GetNameId() != kParameter) {
        Fail("Element 'Parameter' expected.");
    }
    const CParameterInfo* info = parameter.GetParameterInfo();
    // Names for messages only.
    const std::string none;
    const std::string& parameterName = info != nullptr ? info->GetName() : none;
    const CCodeBase* instruction = parameter.GetParent();
    const std::string& instructionName = instruction != nullptr && instruction->GetDefinition() != nullptr
                                             ? instruction->GetDefinition()->GetName()
                                             : none;

    if (Integer(element, kValuesAttribute) != 0) {
        const std::string text = RequireText(Require(element, kValue, "Element 'Parameter'->'Value' expected."),
                                             "Text in 'Parameter'->'Value' expected.");
        if (parameter.GetChoiceIndex() == -1) {
            Fail(StringPrintf(
                "Parameter does not support predefined values: Invalid change of parameter %s, instruction %s",
                parameterName.c_str(), instructionName.c_str()));
        }
        const auto& values = info->GetValues();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i].first == text) {
                parameter.SetChoiceIndex(static_cast<int>(i));
                return;
            }
        }
        Fail(StringPrintf("Unknown parameter value (value %s, parameter %s, instruction %s).", text.c_str(),
                          parameterName.c_str(), instructionName.c_str()));
    }
    if (parameter.GetChoiceIndex() != -1) {
        Fail(StringPrintf("No predefined values expected (parameter %s, instruction %s).", parameterName.c_str(),
                          instructionName.c_str()));
    }
    if (info != nullptr && info->IsReference()) {
        if (Integer(element, kRefAttribute) == 0) {
            Fail("Reference expected.");
        }
        const long to = Integer(element, kToAttribute);
        if (to != static_cast<long>(info->GetReferenceTo())) {
            Fail(StringPrintf("Invalid reference: got %ld, %u expected.", to, info->GetReferenceTo()));
        }
    }
    if (Integer(element, kEmptyAttribute) != 0) {
        return;
    }
    const CTypeInfo* type = parameter.GetType();
    // The parameter it takes its type from is empty: in a fragment it may have
    // been left empty, and earlier versions saved files with a value here after
    // its variable was deleted. The value stays empty and the instruction
    // disabled, as the editor now leaves it.
    if (type == nullptr) {
        if (m_fragment == nullptr) {
            Warn(StringPrintf("Warning: The value of parameter %s, instruction %s was left empty: the parameter it "
                              "depends on is not set.\n",
                              parameterName.c_str(), instructionName.c_str()));
        }
        return;
    }
    CCodeBase* value = nullptr;
    switch (Integer(element, kTypeAttribute)) {
    case CodeTypeCall: value = ReadCallValue(element, type); break;
    case CodeTypeVariable: value = ReadVariableValue(element, type); break;
    case CodeTypeConstant: value = ReadConstantValue(element, type); break;
    case CodeTypeValue: value = ReadLiteralValue(element, type); break;
    default: Fail("Unknown code type.");
    }
    if (value != nullptr) {
        parameter.SetValue(value);
    }
}

CCodeBase* CDataFileReader::ReadCallValue(const Node& element, const CTypeInfo* type)
{
    const std::string_view name = RequireName(Require(element, kName, "Element 'Parameter'->'Name' expected."),
                                              "Text in 'Parameter'->'Name' expected.");
    const CCodeInfoBase* definition =
        FindInNamedModule(element, name, kParameterLookup("call"), [&](const CModule& module) -> const CCodeInfoBase* {
            return FindOwn(module.GetCalls(), name, type);
        });
    if (definition == nullptr) {
        for (const CCodeInfoBase* candidate : GetAllInstructions()) {
            if (candidate->GetName() == name && candidate->GetType() == type &&
                dynamic_cast<const CCallInfo*>(candidate) != nullptr) {
                definition = candidate;
                break;
            }
        }
        if (definition == nullptr) {
            Fail(StringPrintf("Unknown call %s of type %s.", std::string(name).c_str(), type->GetName().c_str()));
        }
    }
    NodeGuard call(definition->CreateCode().release());
    const Node parameters = Require(element, kParameters, "Element 'Parameter'->'Parameters' expected.");
    if (parameters.CountChildren(kParameter) != call->GetParameterCount()) {
        Fail("Invalid number of parameters in 'Parameter'->'Parameters'.");
    }
    std::size_t index = 0;
    for (Node p = parameters.Child(kParameter); !p.IsNull(); p = p.NextSibling(kParameter)) {
        ReadParameter(p, *call->GetParameter(index++));
    }
    return call.release();
}

CCodeBase* CDataFileReader::ReadVariableValue(const Node& element, const CTypeInfo* type)
{
    const std::string name = RequireText(Require(element, kName, "Element 'Parameter'->'Name' expected."),
                                         "Text in 'Parameter'->'Name' expected.");
    if (Integer(element, kTriggerVarAttribute) != 0) {
        const CCodeTrigger* trigger = nullptr;
        if (const auto it = m_allTriggers.find(name); it != m_allTriggers.end()) {
            trigger = it->second;
        } else if (m_fragment != nullptr) {
            // A trigger the fragment does not bring: the document's own of that name.
            if (const auto found = m_categories.FindTrigger(name)) {
                trigger = m_state.FindTrigger(found.entry->GetId());
            }
        }
        for (CTriggerVariable* variable : TriggerVariablesOf(trigger)) {
            if (variable->GetType() == type) {
                return variable;
            }
        }
        if (m_fragment != nullptr) {
            return nullptr; // left empty, so the instruction shows as incomplete
        }
        Fail("Unknown trigger/function or invalid type.");
    }
    CUserDefinedVariable* found = FindVariable(name);
    if (found == nullptr) {
        Fail(StringPrintf("Unknown variable '%s'.", name.c_str()));
    }
    // A parameter of a "Variable" type takes a variable of any type, as the
    // editor lets the user choose it; the file must be readable again.
    if (found->GetType() != type && (type->GetRealType() & RealTypeVariable) == 0) {
        Fail(StringPrintf("Invalid return type of variable '%s'.", name.c_str()));
    }
    return found;
}

// The local of the trigger being read, else the global, by the name written.
CUserDefinedVariable* CDataFileReader::FindVariable(const std::string& name)
{
    if (m_fragment != nullptr) {
        const auto it = m_fragmentLocals.find(name);
        if (it != m_fragmentLocals.end()) {
            return it->second;
        }
    } else if (m_trigger != nullptr) {
        for (const auto& local : m_trigger->GetLocals()) {
            if (local->GetName() == name) {
                return local.get();
            }
        }
    }
    if (m_fragment != nullptr) {
        const auto it = m_fragmentGlobals.find(name);
        return it != m_fragmentGlobals.end() ? it->second : nullptr;
    }
    for (const auto& global : m_state.GetGlobals()) {
        if (global->GetName() == name) {
            return global.get();
        }
    }
    return nullptr;
}

bool CDataFileReader::IsLocalIdentifier(const std::string& identifier)
{
    if (!m_localIdentifiers) {
        m_localIdentifiers.emplace();
        for (std::size_t i = 0; i < m_state.GetTriggerCount(); ++i) {
            for (const auto& local : m_state.GetTrigger(i)->GetLocals()) {
                m_localIdentifiers->insert(NormalizedName(local->GetName()));
            }
        }
    }
    return m_localIdentifiers->contains(identifier);
}

void CDataFileReader::AddFragmentLocal(CCodeTrigger& trigger, const std::string& name, const CTypeInfo* type)
{
    if (m_fragmentLocals.contains(name)) {
        Fail(StringPrintf("Local '%s' multiple times defined.", name.c_str()));
    }
    VariableList& locals = trigger.GetLocals();
    const std::string chosen = FirstFreeName(
        name, [&](const std::string& candidate) { return IsVariableNameTaken(m_state, &trigger, candidate, nullptr); });
    locals.push_back(std::make_unique<CUserDefinedVariable>(chosen, type));
    m_fragmentLocals.emplace(name, locals.back().get());
}

CCodeBase* CDataFileReader::ReadConstantValue(const Node& element, const CTypeInfo* type)
{
    const std::string_view name = RequireName(Require(element, kName, "Element 'Parameter'->'Name' expected."),
                                              "Text in 'Parameter'->'Name' expected.");
    const CConstant* constant =
        FindInNamedModule(element, name, kParameterLookup("constant"),
                          [&](const CModule& module) { return FindOwn(module.GetConstants(), name, type); });
    if (constant == nullptr) {
        constant = FindOwn(GetAllConstants(), name, type);
        if (constant == nullptr) {
            Fail(StringPrintf("Invalid constant %s.", std::string(name).c_str()));
        }
    }
    return const_cast<CConstant*>(constant);
}

CCodeBase* CDataFileReader::ReadLiteralValue(const Node& element, const CTypeInfo* type)
{
    const Node value = Require(element, kValue, "Element 'Parameter'->'Value' expected.");
    if (Integer(value, kBoolAttribute) != 0) {
        if (type->GetRealType() != RealTypeBoolean) {
            Fail("Boolean type expected.");
        }
        return new CBoolValue(type, Integer(value, kValAttribute) != 0);
    }
    std::string text = RequireText(value, "Text in 'Parameter'->'Value' expected.");
    if (type->GetRealType() == RealTypeNumber) {
        // A literal the script cannot hold as a number (nan, inf, beyond the
        // double range) would be written into it as it is, or as 0.
        double parsed = 0.0;
        if (!ParseLeadingFiniteDouble(text, parsed)) {
            const std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
            Fail(StringPrintf("Invalid number literal '%s' in trigger %s.", shown.c_str(), m_triggerName.c_str()));
        }
        auto* number = new CNumberValue(type);
        number->SetValue(parsed);
        return number;
    }
    if (type->GetRealType() == RealTypeString) {
        return new CStringValue(std::move(text), type);
    }
    Fail(StringPrintf("Invalid type definition %u.", static_cast<unsigned>(type->GetRealType())));
}

void CDataFileReader::ReadCategory(const Node& element)
{
    const Node nameElement = Require(element, kName, "Element 'Data'->'Categorization'->'Name' expected.");
    const std::string name = nameElement.FindJoinedText().value_or(std::string());
    if (name.empty()) {
        LogWrite("Invalid category name.\n");
        throw CDocumentException("Invalid category name.");
    }
    if (m_categories.HasCategory(name)) {
        Fail(StringPrintf("Category %s already exists.", name.c_str()));
    }
    auto category = std::make_unique<CCategory>(name, &m_categories);
    const Node triggers = Require(element, kTriggers, "Element 'Data'->'Categorization'->'Triggers' expected.");
    for (const Node& trigger : Children(triggers, kTrigger)) {
        const std::string triggerName =
            RequireText(trigger, "Text in 'Data'->'Categorization'->'Triggers'->'Trigger' expected.");
        const auto it = m_triggerNames.find(triggerName);
        if (it == m_triggerNames.end()) {
            // Taken by an earlier category, which named it already.
            if (m_allTriggers.contains(triggerName)) {
                Fail(StringPrintf("Trigger %s is listed in more than one category.", triggerName.c_str()));
            }
            Fail("Unknown trigger.");
        }
        const std::uint32_t id = it->second->GetId();
        m_triggerNames.erase(it);
        try {
            category->AddTrigger(triggerName, id);
        } catch (const CException&) {
            Fail(StringPrintf("Trigger %s already exist.", triggerName.c_str()));
        }
    }
    m_categories.AddCategory(std::move(category));
}

void CDataFileReader::ReadCategorization(const Node& root)
{
    LogWrite("Reading categorization.\n");
    const Node categorization = root.Child(kCategorization);
    if (categorization.IsNull()) {
        Warn("Warning: Element 'Categorization' is missing; could not read triggers.\n");
        if (!m_triggerNames.empty()) {
            Fail("Categorization is missing although triggers are included.");
        }
    } else {
        for (const Node& element : Children(categorization, kCategory)) {
            ReadCategory(element);
        }
        // Every trigger is named by its category; one without would have no name.
        if (!m_triggerNames.empty()) {
            std::string first = m_triggerNames.begin()->first;
            for (const auto& [name, trigger] : m_triggerNames) {
                if (m_state.IndexOfTrigger(trigger) < m_state.IndexOfTrigger(m_triggerNames.at(first))) {
                    first = name;
                }
            }
            Fail(StringPrintf("Trigger %s is not listed in any category.", first.c_str()));
        }
    }
    LogWrite("End reading categorization.\n");
}

void CDataFileReader::ReadFragment(std::string_view data, const SFragmentTarget& target, SFragmentRead& read)
{
    m_target = &target;
    m_fragment = &read;
    const Node root = Load(data);
    const std::string_view kind = root.GetAttribute(kFragmentAttribute).value_or(std::string_view());
    if (kind == "triggers") {
        read.kind = EFragmentKind::Triggers;
    } else if (kind == "category") {
        read.kind = EFragmentKind::Category;
    } else if (kind == "instruction") {
        read.kind = EFragmentKind::Instruction;
    } else {
        Fail("No triggers, category or instruction of this editor.");
    }
    if ((read.kind == EFragmentKind::Triggers && !target.hasCategory) ||
        (read.kind == EFragmentKind::Instruction && target.block == nullptr)) {
        throw CFragmentPlaceException("The fragment does not fit here.");
    }
    ReadModules(root);
    ReadGlobals(root);
    if (read.kind == EFragmentKind::Instruction) {
        ReadInstructionFragment(root);
        return;
    }
    ReadTriggers(root);
    if (read.kind == EFragmentKind::Category) {
        const Node category = Require(Require(root, kCategorization, "Element 'Data'->'Categorization' expected."),
                                      kCategory, "Element 'Data'->'Categorization'->'Category' expected.");
        read.categoryName = RequireText(Require(category, kName, "Element 'Data'->'Categorization'->'Name' expected."),
                                        "Invalid category name.");
        if (read.categoryName.empty()) {
            Fail("Invalid category name.");
        }
    }
}

void CDataFileReader::ReadInstructionFragment(const Node& root)
{
    CBlock& target = *m_target->block;
    m_trigger = target.GetTrigger();
    if (m_trigger == nullptr) {
        throw CFragmentPlaceException("The block belongs to no trigger.");
    }
    m_triggerName = m_trigger->GetName();
    const Node element = Require(Require(root, kTriggerData, "Element 'Data'->'TriggerData' expected."), kTrigger,
                                 "Element 'Data'->'TriggerData'->'Trigger' expected.");
    if (const Node variables = element.Child(kVariables); !variables.IsNull()) {
        for (const Node& variable : Children(variables, kVariable)) {
            const CTypeInfo* type = ReadVariableType(variable, true);
            const std::string name =
                RequireText(Require(variable, kName, "Element 'Variable'->'Name' expected."), "Text expected.");
            if (name.empty() || m_fragmentLocals.contains(name)) {
                Fail(StringPrintf("Local '%s' multiple times defined.", name.c_str()));
            }
            // Not under the name of a global, which it would hide.
            m_fragmentLocals.emplace(
                name, ReconcileVariable(m_trigger->GetLocals(), name, type, [this](const std::string& identifier) {
                    return HasIdentifier(m_state.GetGlobals(), identifier);
                }));
        }
    }
    const Node block =
        Require(Require(element, kBlocks, "Element 'Data'->'TriggerData'->'Trigger'->'Blocks' expected."), kBlock,
                "Element 'Block' expected.");
    const Node type = Require(block, kType, "Element 'Block'->'Type' expected.");
    const CTypeInfo* wanted = target.GetType();
    const std::string_view typeName = RequireName(Require(type, kName, "Element 'Block'->'Type'->'Name' expected."),
                                                  "Text in 'Block'->'Type'->'Name' expected.");
    const std::string_view moduleName =
        RequireName(Require(type, kModule, "Element 'Block'->'Type'->'Module' expected."),
                    "Text in 'Block'->'Type'->'Module' expected.");
    if (wanted == nullptr || typeName != wanted->GetName() ||
        moduleName != (wanted->GetModule() != nullptr ? wanted->GetModule()->GetName() : std::string())) {
        throw CFragmentPlaceException("The instruction belongs in a block of another type.");
    }
    const NodeGuard holder(target.GetBlockInfo()->CreateCode().release());
    // The fragment's block stands for the target, so its nesting counts on
    // from the target's: the file it is saved in must read back.
    m_depth = NestingOf(target) - 1;
    ReadBlock(block, *static_cast<CBlock*>(holder.get()));
    if (holder->GetChildCount() == 0) {
        Fail("An instruction expected in 'Block'->'Data'.");
    }
    while (holder->GetChildCount() > 0) {
        SFragmentRead::NodeHolder instruction{holder->GetChild(0), [](CCodeBase* node) { node->Release(nullptr); }};
        holder->DetachChild(0);
        m_fragment->instructions.push_back(std::move(instruction));
    }
}

SFragmentRead ReadFragment(CApplicationDocument& document, std::string_view xml, const SFragmentTarget& target)
{
    SFragmentRead read;
    CDataFileReader reader(document, "clipboard");
    reader.ReadFragment(xml, target, read);
    return read;
}

void CApplicationDocument::ReadDataFile(const std::string& path)
{
    std::string reason = "File could not be read.";
    std::optional<CFileText> text = CFileText::Read(path, &reason);
    if (!text) {
        LogPrintf("Loading file %s.\n", path.c_str());
        const std::string message =
            StringPrintf("Could not load file %s.\n Error message: %d:%s", path.c_str(), 1, reason.c_str());
        LogWrite(message);
        LogWrite("\n");
        throw CDocumentException(message);
    }
    if (GetState() == nullptr) {
        ResetState();
    }
    BRAMBLETON_ASSERT(GetState()->GetTriggerCount() == 0 && GetState()->GetGlobalCount() == 0);
    CDataFileReader reader(*this, path, [&text](const char* upTo) { text->ReleaseBefore(upTo); });
    reader.Read(text->View());
}

void CApplicationDocument::ReadDataFileFromMemory(std::string_view data, const std::string& pathForLog)
{
    if (GetState() == nullptr) {
        ResetState();
    }
    BRAMBLETON_ASSERT(GetState()->GetTriggerCount() == 0 && GetState()->GetGlobalCount() == 0);
    CDataFileReader reader(*this, pathForLog);
    reader.Read(data);
}

} // namespace bram
