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
    xml += "</NeededModules><Data><Types>" + source.types + "</Types><Blocks>" + source.blocks + "</Blocks><Constants>" +
           source.constants + "</Constants><Structures>" + source.structures + "</Structures><Calls>" + source.calls +
           "</Calls></Data><Scripts>" + source.scripts + "</Scripts></Module>";
    return xml;
}

std::string StandardTypes()
{
    return "<Type><Name>Bool</Name><RealType>Boolean</RealType><CreationInstruction/></Type>"
           "<Type><Name>Num</Name><RealType>Number</RealType><CreationInstruction/></Type>"
           "<Type><Name>Str</Name><RealType>String</RealType><CreationInstruction/>"
           "<Replacements><StartString>\"</StartString><EndString>\"</EndString></Replacements></Type>"
           "<Type><Name>Trig</Name><RealType>Trigger</RealType><CreationInstruction/></Type>"
           "<Type><Name>Func</Name><RealType>Function</RealType><CreationInstruction/></Type>";
}

std::string StringTableXml(const std::map<std::string, std::string>& entries)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<stringtable>";
    for (const auto& [id, text] : entries) {
        xml += "<string id=\"" + id + "\">" + text + "</string>";
    }
    return xml + "</stringtable>";
}

std::string Utf16(const std::string& utf8, bool bom) { return (bom ? "\xFF\xFE" : "") + Utf8ToUtf16LEBytes(utf8); }

void WriteModuleArchive(const std::string& path, const std::string& xml, const std::map<std::string, std::string>& files,
                        bool bom)
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

std::string FunctionDefinitionXml()
{
    return "<?xml version=\"1.0\"?>\n<FunctionDefinition><TriggerPrefix>T_</TriggerPrefix>"
           "<FunctionPrefix>F_</FunctionPrefix><TriggerDefinition>![Parameter1] = Trigger()</TriggerDefinition>"
           "<FunctionDefinition>function ![Parameter1]()</FunctionDefinition>"
           "<TriggerDisabledAtBeginning>![Parameter1]:Disable()</TriggerDisabledAtBeginning>"
           "<AddLocalsBeforeIndex>2</AddLocalsBeforeIndex>"
           "<FunctionBlocks><Block>Events</Block><Block>Actions</Block></FunctionBlocks></FunctionDefinition>";
}

std::string ScriptCreationXml()
{
    return "<?xml version=\"1.0\"?>\n<ScriptCreation><CommentUseType>Str</CommentUseType>"
           "<GenScriptUseType>Str</GenScriptUseType><GlobalDeclaration>![Parameter1]</GlobalDeclaration>"
           "<LocalDeclaration><![CDATA[local ![Parameter1]]]></LocalDeclaration>"
           "<VariablePrefix>v_</VariablePrefix></ScriptCreation>";
}

void WriteWorkspace(const std::string& folder)
{
    const std::string root = folder.ends_with('/') ? folder : folder + "/";
    WriteFile(root + "brambleton.ini", "[Modules]\nPath=Modules\n[Data]\nPath=Data\nFunctionDefinition=FunctionDefinition.xml\n"
                                       "[ScriptCreation]\nDefinitions=Data\\ScriptCreation.xml\n"
                                       "[Localization]\nPath=Localization\nLanguage=en\n"
                                       "[User]\nUserDataDirectory=" + root + "user\n");
    WriteFile(root + "Data/FunctionDefinition.xml", FunctionDefinitionXml());
    WriteFile(root + "Data/ScriptCreation.xml", ScriptCreationXml());

    ModuleSource base;
    base.priority = "1";
    base.types = StandardTypes();
    base.blocks = "<Block><Name>Events</Name><StartInstruction><![CDATA[]]></StartInstruction><EndInstruction><![CDATA[]]></EndInstruction><Separator><![CDATA[\n]]></Separator>"
                  "<StandardValue><![CDATA[]]></StandardValue><Type>Trig</Type></Block>"
                  "<Block><Name>Actions</Name><StartInstruction><![CDATA[]]></StartInstruction>"
                  "<EndInstruction><![CDATA[]]></EndInstruction><Separator><![CDATA[\n]]></Separator>"
                  "<StandardValue><![CDATA[]]></StandardValue><Type>Func</Type></Block>";
    base.constants = "<Constant><Name>Pi</Name><Value>math.pi</Value><Type>Num</Type></Constant>";
    base.scripts = "<Script>runtime.lua</Script>";
    WriteModuleArchive(root + "Modules/base.modl", ModuleXml(base),
                       {{"Data/Scripts/runtime.lua", "-- runtime\n"},
                        {"Localization/en/type.loc", Utf16(StringTableXml({{"Num", "Number"}}))}});

    const std::string parameter = "<Parameter><Name>Value</Name><Type>Num</Type><OnlyVariables>false</OnlyVariables></Parameter>";
    ModuleSource flow;
    flow.priority = "5";
    flow.needs = {"base"};
    flow.structures = "<Structure><Name>If</Name><Description>If</Description><Categories>Flow</Categories>"
                      "<RawInstruction>if ![Parameter1] then</RawInstruction><Type>Func</Type><Parameters><Parameter>"
                      "<Name>C</Name><Type>Bool</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters>"
                      "<Blocks><Block>Actions</Block></Blocks></Structure>";
    flow.calls = "<Call><Name>Print</Name><Description>Print</Description><ShortDescription>Print</ShortDescription>"
                 "<Categories>Output</Categories><RawInstruction>print(![Parameter1])</RawInstruction><Type>Func</Type>"
                 "<Parameters>" + parameter + "</Parameters></Call>"
                 "<Call><Name>Add</Name><Description>Add</Description><ShortDescription>Add</ShortDescription>"
                 "<Categories>Math</Categories><RawInstruction>![Parameter1] + ![Parameter2]</RawInstruction>"
                 "<Type>Num</Type><Parameters>" + parameter + parameter + "</Parameters></Call>";
    WriteModuleArchive(root + "Modules/flow.modl", ModuleXml(flow));
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
