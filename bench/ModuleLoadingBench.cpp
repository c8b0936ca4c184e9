// Module loading against bare XML parsing: 50 generated modules with 5,000
// declarations in all, read from ".modl" files, against pugixml parsing the
// same module XML texts. Both run in the same process, one after the other,
// and both free what they made inside the timing; the loading should stay
// within three times the parsing.

#include "archive/ModuleArchive.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "modules/Module.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace {

using namespace bram;

constexpr int kModules = 50;
constexpr int kDeclarationsPerModule = 100; // 5,000 in all

std::string ModuleText(int index)
{
    const std::string id = std::to_string(index);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Module><Priority>" + std::to_string(index % 7) +
                      "</Priority><NeededModules>";
    if (index > 0) {
        xml += "<NeedsModule>m" + std::to_string(index - 1) + "</NeedsModule>";
    }
    xml += "</NeededModules><Data><Types>";
    // 10 types, 10 blocks, 20 constants, 20 structures, 40 calls.
    for (int i = 0; i < 10; ++i) {
        const char* real = i % 3 == 0 ? "Number" : (i % 3 == 1 ? "String" : "Boolean");
        xml += "<Type><Name>T" + id + "_" + std::to_string(i) + "</Name><RealType>" + real +
               "</RealType><CreationInstruction>local ![Parameter1]</CreationInstruction>";
        if (i % 3 == 1) {
            xml += "<Replacements><StartString>\"</StartString><EndString>\"</EndString><Replacement><What>\\</What>"
                   "<By>\\\\</By></Replacement></Replacements>";
        }
        xml += "</Type>";
    }
    xml += "</Types><Blocks>";
    for (int i = 0; i < 10; ++i) {
        xml += "<Block><Name>B" + id + "_" + std::to_string(i) +
               "</Name><StartInstruction><![CDATA[do]]></StartInstruction><EndInstruction>end</EndInstruction>"
               "<Separator><![CDATA[\n]]></Separator><StandardValue><![CDATA[]]></StandardValue><Type>T" +
               id + "_0</Type></Block>";
    }
    xml += "</Blocks><Constants>";
    for (int i = 0; i < 20; ++i) {
        xml += "<Constant><Name>C" + std::to_string(i) + "</Name><Value>" + std::to_string(i * 3) + "</Value><Type>T" +
               id + "_0</Type></Constant>";
    }
    const std::string parameters =
        "<Parameters><Parameter><Name>Value</Name><Type>T" + id +
        "_0</Type><OnlyVariables>false</OnlyVariables><MinValue>0</MinValue></Parameter><Parameter><Name>Mode</Name>"
        "<Values><Value><Name>Fast</Name><Value>1</Value></Value><Value><Name>Slow</Name><Value>2</Value></Value>"
        "</Values></Parameter><Parameter><Name>Same</Name><ReferenceTo>0</ReferenceTo></Parameter></Parameters>";
    xml += "</Constants><Structures>";
    for (int i = 0; i < 20; ++i) {
        xml += "<Structure><Name>S" + std::to_string(i) +
               "</Name><Description>Structure/S</Description><ShortDescription>Structure/SShort</ShortDescription>"
               "<Categories>Flow</Categories><RawInstruction>if ![Parameter1] then</RawInstruction><Type>T" +
               id + "_2</Type>" + parameters + "<Blocks><Block>B" + id + "_1</Block><Block><Name>B" + id +
               "_2</Name></Block></Blocks></Structure>";
    }
    xml += "</Structures><Calls>";
    for (int i = 0; i < 40; ++i) {
        xml += "<Call><Name>F" + std::to_string(i) +
               "</Name><Description>Call/F</Description><ShortDescription>Call/FShort</ShortDescription>"
               "<Categories>Math</Categories><RawInstruction>f(![Parameter1], ![Parameter2], "
               "![Parameter3])</RawInstruction><Type>T" +
               id + "_0</Type>" + parameters + "</Call>";
    }
    xml += "</Calls></Data><Scripts><Script>runtime.lua</Script></Scripts></Module>";
    return xml;
}

struct Workspace {
    std::string folder;
    std::vector<std::string> paths;
    std::vector<std::string> texts; // the module XML as stored: UTF-16LE with a byte order mark

    Workspace()
    {
        folder = (std::filesystem::temp_directory_path() / "brambleton-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        folder += "/";
        for (int i = 0; i < kModules; ++i) {
            const std::string text = "\xFF\xFE" + Utf8ToUtf16LEBytes(ModuleText(i));
            CModuleArchive archive;
            archive.AddFile("data\\data.xml", text.data(), static_cast<std::uint32_t>(text.size()));
            archive.AddFile("data\\scripts\\runtime.lua", "-- x\n", 5);
            const std::string path = folder + "m" + std::to_string(i) + ".modl";
            archive.Save(path);
            paths.push_back(path);
            texts.push_back(text);
        }
        SetModuleFolders(folder, folder);
    }
    ~Workspace() { std::filesystem::remove_all(folder); }
};

Workspace& TheWorkspace()
{
    static Workspace workspace;
    return workspace;
}

void ParseWithPugixml(benchmark::State& state)
{
    const Workspace& w = TheWorkspace();
    for (auto _ : state) {
        for (const std::string& text : w.texts) {
            pugi::xml_document doc;
            const auto result = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf16_le);
            benchmark::DoNotOptimize(result.status);
        }
    }
    state.counters["modules"] = kModules;
}

void LoadAllModules(benchmark::State& state)
{
    const Workspace& w = TheWorkspace();
    std::size_t declarations = 0;
    for (auto _ : state) {
        bram::LoadModules(w.paths, nullptr);
        declarations =
            GetAllTypes().size() + GetAllBlocks().size() + GetAllConstants().size() + GetAllInstructions().size();
        ReleaseAllModules();
    }
    if (declarations != static_cast<std::size_t>(kModules * kDeclarationsPerModule)) {
        state.SkipWithError("not every declaration was loaded");
    }
    state.counters["declarations"] = static_cast<double>(declarations);
}

BENCHMARK(ParseWithPugixml)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Apply(bench::WithSpread);
BENCHMARK(LoadAllModules)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Apply(bench::WithSpread);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithTargets(argc, argv, [](bench::CTargets& targets) {
        targets.Ratio("loading against parsing", "LoadAllModules", "ParseWithPugixml", 3);
    });
}
