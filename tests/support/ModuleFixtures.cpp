#include "ModuleFixtures.h"

#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"

#include <filesystem>

namespace bram::test {

std::string ModuleXml(const ModuleSource& source)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Module>";
    if (!source.priority.empty()) {
        xml += "<Priority>" + source.priority + "</Priority>";
    }
    xml += "<NeededModules>";
    for (const std::string& need : source.needs) {
        xml += "<NeedsModule>" + need + "</NeedsModule>";
    }
    xml += "</NeededModules><Data><Types>" + source.types + "</Types><Blocks>" + source.blocks +
           "</Blocks><Constants>" + source.constants + "</Constants><Structures>" + source.structures +
           "</Structures><Calls>" + source.calls + "</Calls></Data><Scripts>" + source.scripts + "</Scripts></Module>";
    return xml;
}

std::string StandardTypes() { return DataFile("modules/standard-types.xml"); }

std::string StringTableXml(const std::map<std::string, std::string>& entries)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<stringtable>";
    for (const auto& [id, text] : entries) {
        xml += "<string id=\"" + id + "\">" + text + "</string>";
    }
    return xml + "</stringtable>";
}

std::string Utf16(const std::string& utf8, bool bom) { return (bom ? "\xFF\xFE" : "") + Utf8ToUtf16LEBytes(utf8); }

void WriteModuleArchive(const std::string& path, const std::string& xml,
                        const std::map<std::string, std::string>& files, bool bom)
{
    CModuleArchive archive;
    const std::string data = Utf16(xml, bom);
    archive.AddFile("Data\\data.xml", data.data(), static_cast<std::uint32_t>(data.size()));
    for (const auto& [name, bytes] : files) {
        archive.AddFile(name, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    PrepareFoldersForPath(path);
    archive.Save(path);
}

std::string FunctionDefinitionXml() { return DataFile("workspace/FunctionDefinition.xml"); }

std::string ScriptCreationXml() { return DataFile("workspace/ScriptCreation.xml"); }

void WriteWorkspace(const std::string& folder)
{
    const std::string root = folder.ends_with('/') ? folder : folder + "/";
    WriteFile(root + "brambleton.ini",
              DataFile("workspace/brambleton.ini") + "[User]\nUserDataDirectory=" + root + "user\n");
    WriteFile(root + "Data/FunctionDefinition.xml", FunctionDefinitionXml());
    WriteFile(root + "Data/ScriptCreation.xml", ScriptCreationXml());
    WriteModuleArchive(root + "Modules/base.modl", DataFile("workspace/base.xml"),
                       {{"Data/Scripts/runtime.lua", "-- runtime\n"},
                        {"Localization/en/type.loc", Utf16(StringTableXml({{"Num", "Number"}}))}});
    WriteModuleArchive(root + "Modules/flow.modl", DataFile("workspace/flow.xml"));
}

std::string SampleBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>("module data "[i % 12] + (i / 4096) % 3 + (i / 65536) * 7);
    }
    return bytes;
}

std::map<std::string, std::string> FilesBelow(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string relative = std::filesystem::relative(entry.path(), folder).generic_string();
        files[relative] = entry.is_regular_file() ? ReadFile(entry.path().string()) : "<dir>";
    }
    return files;
}

std::string ModuleErrorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const CModuleException& e) {
        return e.GetErrorMessage();
    }
    return {};
}

} // namespace bram::test
