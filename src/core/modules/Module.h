#pragma once
// Modules: one ".modl" archive each, declaring types, blocks, constants,
// structures, calls, scripts and the string tables for their texts; and the
// process-wide lists that make every module's declarations available.
//
// Lifetime: modules are created and read at start-up and live until
// ReleaseAllModules at shut-down; records and constants are owned by their
// module, the global lists only point to them. Nothing here is thread-safe;
// everything runs on the one thread that drives start-up.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/Definitions.h"
#include "records/ModuleBase.h"

namespace bram {

class CLoadingProgress;
class CModuleArchive;
class CXmlIndexNode;
class CTypeInfo;
class CBlockInfo;
class CStructureInfo;
class CCallInfo;
class CCodeInfoBase;
class CConstant;

// A ".loc" string table of a module, for one language.
class CModuleStringTable {
public:
    CModuleStringTable(std::string name, std::string language)
        : m_name(std::move(name)), m_language(std::move(language))
    {
    }
    // Reads UTF-16LE table text; text that does not parse leaves the table empty.
    void Load(std::string_view utf16Bytes);

    const std::string& GetName() const { return m_name; }
    const std::string& GetLanguage() const { return m_language; }
    const std::string* Find(const std::string& id) const;
    std::size_t GetEntryCount() const { return m_entries.size(); }

private:
    std::string m_name;
    std::string m_language;
    std::map<std::string, std::string, std::less<>> m_entries;
};

class CModule : public CModuleBase {
public:
    ~CModule() override;
    CModule(const CModule&) = delete;
    CModule& operator=(const CModule&) = delete;

    // Reads "Data\data.xml" once; a module without it stays unloaded.
    void ReadData(CLoadingProgress* progress);

    const std::string& GetName() const override { return m_name; }
    std::int32_t GetPriority() const { return m_priority; }
    bool IsLoaded() const { return m_loaded; }
    CModuleArchive& GetArchive() const { return *m_archive; }
    const std::string& GetArchivePath() const { return m_archivePath; }

    // The module's text for a "file/key" reference; a text without "/" is
    // returned as it is.
    std::string Localize(const std::string& reference) const override;

    const std::vector<const CTypeInfo*>& GetTypes() const { return m_ownTypes; }
    const std::vector<const CBlockInfo*>& GetBlocks() const { return m_ownBlocks; }
    const std::vector<const CStructureInfo*>& GetStructures() const { return m_ownStructures; }
    const std::vector<const CCallInfo*>& GetCalls() const { return m_ownCalls; }
    const std::vector<const CConstant*>& GetConstants() const { return m_ownConstants; }
    // Own declarations followed by those of every needed module.
    const std::vector<const CTypeInfo*>& GetVisibleTypes() const { return m_visibleTypes; }
    const std::vector<const CBlockInfo*>& GetVisibleBlocks() const { return m_visibleBlocks; }
    const std::vector<const CStructureInfo*>& GetVisibleStructures() const { return m_visibleStructures; }
    const std::vector<CModule*>& GetNeededModules() const { return m_neededModules; }
    const std::vector<std::unique_ptr<CModuleStringTable>>& GetStringTables() const { return m_stringTables; }

    unsigned GetScriptCount() const { return static_cast<unsigned>(m_scriptNames.size()); }
    // Both throw CModuleException "Invalid index." for an index past the end.
    const std::string& GetScriptName(unsigned index) const;
    // The script file's bytes; "No script data." when it is missing.
    std::string_view GetScriptData(unsigned index) const;

private:
    friend class CModuleReader;

    CModule(std::string name, std::string archivePath);
    static CModule* Create(const std::string& nameOrPath, CLoadingProgress* progress, bool readDataNow);
    static CModule* CreateFromXml(const std::string& name, std::string_view xmlUtf8);
    friend CModule* CreateModule(const std::string&, CLoadingProgress*, bool);
    friend CModule* CreateModuleFromXml(const std::string&, std::string_view);
    void ReadLocalizationTables();
    void ReadXml(std::string_view utf16Bytes, CLoadingProgress* progress);
    void ReadNeededModules(const CXmlIndexNode& element, CLoadingProgress* progress);
    void NeedModule(CModule* needed);
    // Each declaration joins the own, the visible and the global list at once.
    void AddType(std::unique_ptr<CTypeInfo> type);
    void AddBlock(std::unique_ptr<CBlockInfo> block);
    void AddConstant(std::unique_ptr<CConstant> constant);
    void AddStructure(std::unique_ptr<CStructureInfo> structure);
    void AddCall(std::unique_ptr<CCallInfo> call);
    void AddScriptName(std::string name) { m_scriptNames.push_back(std::move(name)); }

    std::string m_name;
    std::string m_archivePath;
    bool m_loaded = false;
    bool m_reading = false; // its data is being read: a module it needs that needs it back is a cycle
    std::int32_t m_priority = 0;
    std::unique_ptr<CModuleArchive> m_archive;

    std::vector<std::unique_ptr<CCodeInfoBase>> m_records;
    std::vector<std::unique_ptr<CConstant>> m_constants;
    std::vector<const CTypeInfo*> m_ownTypes;
    std::vector<const CBlockInfo*> m_ownBlocks;
    std::vector<const CStructureInfo*> m_ownStructures;
    std::vector<const CCallInfo*> m_ownCalls;
    std::vector<const CConstant*> m_ownConstants;
    std::vector<const CTypeInfo*> m_visibleTypes;
    std::vector<const CBlockInfo*> m_visibleBlocks;
    std::vector<const CStructureInfo*> m_visibleStructures;
    std::vector<CModule*> m_neededModules;
    std::vector<std::unique_ptr<CModuleStringTable>> m_stringTables;
    std::vector<std::string> m_scriptNames;
};

// Where modules come from, set by start-up: a module named without a path
// is the file name + ".modl" in the modules folder (with a trailing
// separator); a relative archive path is taken from the program folder.
void SetModuleFolders(const std::string& programFolder, const std::string& modulesFolder);
const std::string& GetModulesFolder();

// Opens a module and reads its string tables; with readDataNow also its
// module XML. The argument is a module name, a ".modl" file name in the
// modules folder, or an archive path. The module is kept (also when reading
// fails) until ReleaseAllModules, but not added to the module list.
// Throws CModuleException.
CModule* CreateModule(const std::string& nameOrPath, CLoadingProgress* progress, bool readDataNow);
// A module whose archive holds only the given module XML, added to the
// module list and read; for tools and tests without a ".modl" file.
CModule* CreateModuleFromXml(const std::string& name, std::string_view xmlUtf8);

// The global lists, in load order (the module list in priority order once
// sorted). The module list owns its modules.
unsigned GetModuleCount();
// Throws CModuleException "Invalid index." for an index past the end.
CModule* GetModule(unsigned index);
// Appends a created module to the global module list.
CModule* AddModule(CModule* module);
// The first module of that name, or null.
CModule* FindModule(std::string_view name);
// Structures and calls together, in load order.
const std::vector<const CConstant*>& GetAllConstants();

// Creates a module for every archive path (in the order given), reads each
// with the modules it needs, then sorts the list by priority.
void LoadModules(const std::vector<std::string>& archivePaths, CLoadingProgress* progress);
// Highest priority first; equal priorities keep their load order.
void SortModulesByPriority();
// Destroys every module with its records, tables and archive, and empties
// the global lists.
void ReleaseAllModules();

// The module name an archive path or file name stands for: the file name
// without its last extension.
std::string ModuleNameFromPath(std::string_view path);

} // namespace bram
