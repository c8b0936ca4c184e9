#include "ModuleFixtures.h"

#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Paths.h"
#include "base/Text.h"

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

} // namespace bram::test
