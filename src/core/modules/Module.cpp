#include "modules/Module.h"

#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "code/Constant.h"
#include "localization/Localization.h"
#include "log/Log.h"
#include "modules/ModuleReader.h"
#include "progress/LoadingProgress.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"
#include "xml/XmlDocument.h"
#include "xml/XmlIndex.h"

#include <algorithm>
#include <limits>

namespace bram {

namespace {

constexpr char kDataPath[] = "data\\data.xml";
constexpr char kScriptsPath[] = "data\\scripts\\";
constexpr char kLocalizationPath[] = "localization";
// A needed module is read inside the reading of the module that needs it; a
// longer chain is refused before the stack could run out.
constexpr int kMaxNeedsDepth = 100;

struct ModuleRegistry {
    std::string programFolder;
    std::string modulesFolder;
    // Every module ever created, also those still being read and those whose
    // loading failed: records they added to the lists stay valid until all
    // modules are released together.
    std::vector<std::unique_ptr<CModule>> owned;
    std::vector<CModule*> modules;
    std::vector<const CConstant*> constants;
    int readingDepth = 0; // modules whose data is being read, one inside the other
};

ModuleRegistry& Registry()
{
    static ModuleRegistry registry;
    return registry;
}

bool HasSeparator(std::string_view text) { return text.find_first_of("\\/") != std::string_view::npos; }

bool IsArchivePath(std::string_view nameOrPath)
{
    return HasSeparator(nameOrPath) || EndsWith(ToLowerAscii(nameOrPath), ".modl");
}

// The module name a NeedsModule text or a create argument stands for.
std::string ModuleNameOf(std::string_view nameOrPath)
{
    return IsArchivePath(nameOrPath) ? ModuleNameFromPath(nameOrPath) : std::string(nameOrPath);
}

CModule* FindKnownModule(std::string_view name)
{
    for (const auto& module : Registry().owned) {
        if (module->GetName() == name) {
            return module.get();
        }
    }
    return nullptr;
}

// The loading box texts and task around reading another module, so that
// the module that needs it goes on showing its own progress.
class CProgressScope {
public:
    explicit CProgressScope(CLoadingProgress* progress) : m_progress(progress)
    {
        if (m_progress != nullptr) {
            m_stage = m_progress->GetStageText();
            m_detail = m_progress->GetDetailText();
            m_task = m_progress->GetCurrentTask();
        }
    }
    ~CProgressScope()
    {
        if (m_progress != nullptr) {
            m_progress->SetStageText(m_stage);
            m_progress->SetDetailText(m_detail);
            m_progress->SelectTask(m_task);
        }
    }
    CProgressScope(const CProgressScope&) = delete;
    CProgressScope& operator=(const CProgressScope&) = delete;

private:
    CLoadingProgress* m_progress;
    std::string m_stage;
    std::string m_detail;
    int m_task = -1;
};

// The owner keeps the declaration; every list gets a pointer to it.
template <typename Owned, typename Record, typename... Lists>
void Keep(std::vector<std::unique_ptr<Owned>>& owner, std::unique_ptr<Record> record, Lists&... lists)
{
    const Record* raw = record.get();
    owner.push_back(std::move(record));
    (lists.push_back(raw), ...);
}

CModule* CreateRegistered(std::unique_ptr<CModule> module)
{
    Registry().owned.push_back(std::move(module));
    return Registry().owned.back().get();
}

} // namespace

void CModuleStringTable::Load(std::string_view utf16Bytes)
{
    CXmlDocument doc;
    if (!doc.LoadUtf16LE(utf16Bytes)) {
        return;
    }
    const CXmlNode root = doc.GetDocumentElement();
    if (root.IsNull() || root.GetName() != "stringtable") {
        return;
    }
    const std::vector<CXmlNode> strings = root.Children("string");
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const CXmlNode entry = strings[i];
        const auto id = entry.GetAttribute("id");
        auto text = entry.FindText();
        if (id && text) {
            m_entries[*id] = std::move(*text);
        }
    }
}

const std::string* CModuleStringTable::Find(const std::string& id) const
{
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &it->second;
}

CModule::CModule(std::string name, std::string archivePath)
    : m_name(std::move(name)), m_archivePath(std::move(archivePath))
{
}

CModule::~CModule() = default;

std::string ModuleNameFromPath(std::string_view path)
{
    std::string name = FileNamePart(path);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) {
        name.resize(dot);
    }
    return name;
}

CModule* CModule::Create(const std::string& nameOrPath, CLoadingProgress* progress, bool readDataNow)
{
    const ModuleRegistry& reg = Registry();
    std::string archivePath;
    if (IsArchivePath(nameOrPath)) {
        archivePath =
            HasSeparator(nameOrPath) ? ResolveFrom(reg.programFolder, nameOrPath) : reg.modulesFolder + nameOrPath;
    } else {
        archivePath = reg.modulesFolder + nameOrPath + ".modl";
    }
    // Known before its data is read, so that a needed-module cycle comes
    // back to it instead of opening it again.
    CModule* module = CreateRegistered(std::unique_ptr<CModule>(new CModule(ModuleNameOf(nameOrPath), archivePath)));
    if (progress != nullptr) {
        progress->SetDetailText(GetLocalizedString("Loading/LoadingModuleArchive"));
        progress->SelectTask(archivePath);
    }
    module->m_archive = std::make_unique<CModuleArchive>(archivePath);
    if (readDataNow) {
        module->ReadData(progress);
    }
    module->ReadLocalizationTables();
    if (progress != nullptr) {
        progress->SetTaskProgress(0.2);
    }
    return module;
}

CModule* CModule::CreateFromXml(const std::string& name, std::string_view xmlUtf8)
{
    CModule* module = CreateRegistered(std::unique_ptr<CModule>(new CModule(name, std::string())));
    module->m_archive = std::make_unique<CModuleArchive>();
    const std::string bytes = "\xFF\xFE" + Utf8ToUtf16LEBytes(xmlUtf8);
    module->m_archive->AddFile(kDataPath, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return module;
}

void CModule::ReadLocalizationTables()
{
    CArchiveNode* folder = m_archive->Find(kLocalizationPath);
    if (folder == nullptr || !folder->IsDirectory()) {
        return;
    }
    for (CArchiveNode* languageDir = folder->GetFirstChild(); languageDir != nullptr;
         languageDir = languageDir->GetNextSibling()) {
        if (!languageDir->IsDirectory()) {
            continue;
        }
        const std::string language = FileNamePart(languageDir->GetName());
        for (CArchiveNode* file = languageDir->GetFirstChild(); file != nullptr; file = file->GetNextSibling()) {
            const std::string fileName = FileNamePart(file->GetName());
            const auto dot = fileName.rfind('.');
            if (file->IsDirectory() || dot == std::string::npos || fileName.substr(dot) != ".loc") {
                continue;
            }
            auto table = std::make_unique<CModuleStringTable>(fileName.substr(0, dot), language);
            table->Load(file->GetDataView());
            m_stringTables.push_back(std::move(table));
        }
    }
    m_archive->DestroyDirectory(kLocalizationPath);
}

void CModule::ReadData(CLoadingProgress* progress)
{
    if (m_loaded) {
        return;
    }
    if (progress != nullptr) {
        progress->SetStageText(GetLocalizedString("Loading/LoadingModule") + m_name);
        progress->SelectTask(m_archivePath);
    }
    LogPrintf("Reading data of module %s.\n", m_name.c_str());
    const CArchiveNode* data = m_archive->Find(kDataPath);
    if (data == nullptr || data->IsDirectory()) {
        return;
    }
    int& depth = Registry().readingDepth;
    if (depth >= kMaxNeedsDepth) {
        throw CModuleException(StringPrintf("Module %s is needed through a chain of more than %d modules.",
                                            m_name.c_str(), kMaxNeedsDepth));
    }
    m_loaded = true;
    if (progress != nullptr) {
        progress->SetDetailText(GetLocalizedString("Loading/LoadingXML"));
    }
    struct CReading {
        CModule& module;
        int& depth;
        CReading(CModule& m, int& d) : module(m), depth(d)
        {
            module.m_reading = true;
            ++depth;
        }
        ~CReading()
        {
            module.m_reading = false;
            --depth;
        }
        CReading(const CReading&) = delete;
        CReading& operator=(const CReading&) = delete;
    } reading(*this, depth);
    ReadXml(data->GetDataView(), progress);
    m_archive->RemoveFile(kDataPath);
    if (progress != nullptr) {
        progress->FinishTask();
    }
}

void CModule::ReadXml(std::string_view utf16Bytes, CLoadingProgress* progress)
{
    CXmlIndex index(ModuleXmlNames(), std::numeric_limits<int>::max());
    CXmlParseError error;
    if (!index.LoadUtf16LE(utf16Bytes, &error)) {
        LogPrintf("XML error in line %d: %s\n", error.line, error.reason.c_str());
        throw CModuleException("Could not load main module data.");
    }
    CXmlIndexNode root = index.GetDocumentElement();
    if (!root.IsNull() && root.GetNameId() != kXmlModule) {
        root = CXmlIndexNode();
    }
    CModuleReader reader(*this, progress);
    try {
        if (!root.IsNull()) {
            if (const CXmlIndexNode priority = root.Child(kXmlPriority); !priority.IsNull()) {
                if (const auto text = priority.FindTextView()) {
                    m_priority = static_cast<std::int32_t>(ParseLeadingInteger(*text));
                }
            }
        }
        if (progress != nullptr) {
            progress->SetTaskProgress(0.25);
        }
        ReadNeededModules(root.IsNull() ? CXmlIndexNode() : root.Child(kXmlNeededModules), progress);
        const CXmlIndexNode data = root.Child(kXmlData);
        if (data.IsNull()) {
            throw CModuleException("Element 'Module'->'Data' expected.");
        }
        reader.ReadTypes(data.Child(kXmlTypes));
        reader.ReadBlocks(data.Child(kXmlBlocks));
        reader.ReadConstants(data.Child(kXmlConstants));
        reader.ReadStructures(data.Child(kXmlStructures));
        reader.ReadCalls(data.Child(kXmlCalls));
        reader.ReadScripts(root.Child(kXmlScripts));
    } catch (const CXmlNullNodeException&) {
        // A path the readers guard everywhere; keep any slip a module error.
        throw CModuleException("Invalid module data.");
    }
}

void CModule::ReadNeededModules(const CXmlIndexNode& element, CLoadingProgress* progress)
{
    if (element.IsNull()) {
        throw CModuleException("Element 'Module'->'NeededModules' expected.");
    }
    if (progress != nullptr) {
        progress->SetDetailText(GetLocalizedString("Loading/LoadingNeededModules"));
    }
    std::vector<CXmlIndexNode> needs;
    for (CXmlIndexNode need = element.Child(kXmlNeedsModule); !need.IsNull();
         need = need.NextSibling(kXmlNeedsModule)) {
        needs.push_back(need);
    }
    const std::size_t n = needs.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (progress != nullptr) {
            progress->SetTaskProgress(0.25 + 0.05 * static_cast<double>(i) / static_cast<double>(n));
        }
        const auto view = needs[i].FindTextView();
        const auto text = view ? std::optional<std::string>(std::string(*view)) : std::nullopt;
        if (!text) {
            throw CModuleException("Text in or Element 'Module'->'NeededModules'->'NeedsModule' expected.");
        }
        const std::string name = ModuleNameOf(*text);
        const bool alreadyNeeded = std::any_of(m_neededModules.begin(), m_neededModules.end(),
                                               [&](const CModule* m) { return m->GetName() == name; });
        if (name == m_name || alreadyNeeded) {
            continue;
        }
        if (FindKnownModule(name) == nullptr) {
            CModule* created = nullptr;
            {
                CProgressScope scope(progress);
                created = Create(*text, progress, true);
            }
            AddModule(created);
            NeedModule(created);
            continue;
        }
        for (const auto& known : Registry().owned) {
            if (known->GetName() != name) {
                continue;
            }
            if (!known->IsLoaded()) {
                CProgressScope scope(progress);
                known->ReadData(progress);
            } else if (known->m_reading) {
                // Its declarations come after its needs, so none is there yet.
                LogPrintf("Modules %s and %s need each other; %s cannot use what %s declares.\n", m_name.c_str(),
                          name.c_str(), m_name.c_str(), name.c_str());
            }
            NeedModule(known.get());
        }
    }
}

void CModule::NeedModule(CModule* needed)
{
    m_neededModules.push_back(needed);
    m_visibleTypes.insert(m_visibleTypes.end(), needed->m_visibleTypes.begin(), needed->m_visibleTypes.end());
    m_visibleBlocks.insert(m_visibleBlocks.end(), needed->m_visibleBlocks.begin(), needed->m_visibleBlocks.end());
    m_visibleStructures.insert(m_visibleStructures.end(), needed->m_visibleStructures.begin(),
                               needed->m_visibleStructures.end());
}

std::string CModule::Localize(const std::string& reference) const
{
    const auto slash = reference.find('/');
    if (slash == std::string::npos) {
        return reference;
    }
    const std::string file = reference.substr(0, slash);
    const std::string key = reference.substr(slash + 1);
    const std::string& language = GetLanguage();
    for (const auto& table : m_stringTables) {
        if (table->GetLanguage() != language || !EqualsNoCase(table->GetName(), file)) {
            continue;
        }
        if (const std::string* text = table->Find(key)) {
            return *text;
        }
        LogPrintf("Could not find key %s in localization file %s of a module.\n", key.c_str(),
                  table->GetName().c_str());
        return GetLocalizedString(reference);
    }
    LogPrintf("Could not find localization file %s in module %s.\n", file.c_str(), m_name.c_str());
    return reference;
}

const std::string& CModule::GetScriptName(unsigned index) const
{
    if (index >= m_scriptNames.size()) {
        throw CModuleException("Invalid index.");
    }
    return m_scriptNames[index];
}

std::string_view CModule::GetScriptData(unsigned index) const
{
    const CArchiveNode* node = m_archive->Find(kScriptsPath + GetScriptName(index));
    if (node == nullptr || node->IsDirectory()) {
        throw CModuleException("No script data.");
    }
    return node->GetDataView();
}

void SetModuleFolders(const std::string& programFolder, const std::string& modulesFolder)
{
    Registry().programFolder = programFolder;
    Registry().modulesFolder = modulesFolder;
}

const std::string& GetModulesFolder() { return Registry().modulesFolder; }

unsigned GetModuleCount() { return static_cast<unsigned>(Registry().modules.size()); }

CModule* GetModule(unsigned index)
{
    if (index >= Registry().modules.size()) {
        throw CModuleException("Invalid index.");
    }
    return Registry().modules[index];
}

CModule* AddModule(CModule* module)
{
    Registry().modules.push_back(module);
    return module;
}

CModule* CreateModule(const std::string& nameOrPath, CLoadingProgress* progress, bool readDataNow)
{
    return CModule::Create(nameOrPath, progress, readDataNow);
}

CModule* CreateModuleFromXml(const std::string& name, std::string_view xmlUtf8)
{
    CModule* module = AddModule(CModule::CreateFromXml(name, xmlUtf8));
    module->ReadData(nullptr);
    return module;
}

CModule* FindModule(std::string_view name)
{
    for (CModule* module : Registry().modules) {
        if (module->GetName() == name) {
            return module;
        }
    }
    return nullptr;
}

const std::vector<const CConstant*>& GetAllConstants() { return Registry().constants; }

void CModule::AddType(std::unique_ptr<CTypeInfo> type)
{
    Keep(m_records, std::move(type), m_ownTypes, m_visibleTypes, MutableTypeList());
}

void CModule::AddBlock(std::unique_ptr<CBlockInfo> block)
{
    Keep(m_records, std::move(block), m_ownBlocks, m_visibleBlocks, MutableBlockList());
}

void CModule::AddConstant(std::unique_ptr<CConstant> constant)
{
    Keep(m_constants, std::move(constant), m_ownConstants, Registry().constants);
}

void CModule::AddStructure(std::unique_ptr<CStructureInfo> structure)
{
    Keep(m_records, std::move(structure), m_ownStructures, m_visibleStructures, MutableInstructionList());
}

void CModule::AddCall(std::unique_ptr<CCallInfo> call)
{
    Keep(m_records, std::move(call), m_ownCalls, MutableInstructionList());
}

void LoadModules(const std::vector<std::string>& archivePaths, CLoadingProgress* progress)
{
    for (const std::string& path : archivePaths) {
        const std::string name = ModuleNameFromPath(path);
        if (progress != nullptr) {
            progress->SetStageText(GetLocalizedString("Loading/LoadingModule") + name);
        }
        LogPrintf("Loading module %s.\n", name.c_str());
        AddModule(CreateModule(path, progress, false));
    }
    // Reading a module may append the modules it needs; they are read too.
    for (std::size_t i = 0; i < Registry().modules.size(); ++i) {
        Registry().modules[i]->ReadData(progress);
    }
    SortModulesByPriority();
}

void SortModulesByPriority()
{
    auto& modules = Registry().modules;
    std::stable_sort(modules.begin(), modules.end(),
                     [](const CModule* a, const CModule* b) { return a->GetPriority() > b->GetPriority(); });
}

void ReleaseAllModules()
{
    ModuleRegistry& reg = Registry();
    MutableTypeList().clear();
    MutableBlockList().clear();
    MutableInstructionList().clear();
    reg.constants.clear();
    reg.modules.clear();
    // Later modules may point into earlier ones; destroy in reverse order.
    while (!reg.owned.empty()) {
        reg.owned.pop_back();
    }
}

} // namespace bram
