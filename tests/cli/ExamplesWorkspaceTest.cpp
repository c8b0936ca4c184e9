// The sample workspace that the build assembles: every text the program
// looks up exists in every language, and every module's declarations have
// their words in the module's own tables.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "app/ApplicationCore.h"
#include "archive/ModuleArchive.h"
#include "base/Text.h"
#include "code/Constant.h"
#include "localization/Localization.h"
#include "modules/Module.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/ParameterInfo.h"
#include "records/TypeInfo.h"
#include "settings/IniFile.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>

namespace bram {
namespace {

namespace fs = std::filesystem;

const std::string kWorkspace = std::string(BRAMBLETON_EXAMPLES_DIR) + "/";
const std::string kSources = std::string(BRAMBLETON_EXAMPLES_SOURCE_DIR) + "/";
const std::vector<std::string> kLanguages = {"en", "de"};

std::vector<std::string> ModuleNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kSources + "modules-src")) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Texts(const CXmlNode& from, std::string_view xpath)
{
    std::vector<std::string> texts;
    const CXmlNodeList list = from.SelectNodes(xpath);
    for (std::size_t i = 0; i < list.GetLength(); ++i) {
        texts.push_back(list.GetItem(i).GetText());
    }
    return texts;
}

// The category names that the modules give their instructions ("A|B" lists two).
std::set<std::string> ModuleCategories()
{
    std::set<std::string> categories;
    for (const std::string& module : ModuleNames()) {
        CXmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(kSources + "modules-src/" + module + "/Data/data.xml")) << module;
        for (const std::string& text : Texts(doc.GetRoot(), "/Module/Data/*/*/Categories")) {
            std::istringstream names(text);
            for (std::string name; std::getline(names, name, '|');) {
                categories.insert(name);
            }
        }
    }
    return categories;
}

// Finds a reference "File/Identifier" in the table file of that name (the
// program's "<Group>.xml", a module's "<group in lower case>.loc").
class CTables {
public:
    CTables(std::string folder, std::string extension, bool lowerCase)
        : m_folder(std::move(folder)), m_extension(std::move(extension)), m_lowerCase(lowerCase)
    {
    }

    const std::string* Find(const std::string& reference)
    {
        const std::size_t slash = reference.find('/');
        if (slash == std::string::npos) {
            return nullptr;
        }
        const std::string file = m_lowerCase ? ToLowerAscii(reference.substr(0, slash)) : reference.substr(0, slash);
        auto it = m_tables.find(file);
        if (it == m_tables.end()) {
            it = m_tables.emplace(file, CLocalizationTable()).first;
            EXPECT_TRUE(it->second.LoadFromFile(m_folder + file + m_extension)) << m_folder << file << m_extension;
        }
        return it->second.Find(reference.substr(slash + 1));
    }

private:
    std::string m_folder;
    std::string m_extension;
    bool m_lowerCase;
    std::map<std::string, CLocalizationTable> m_tables;
};

// A module's tables for a language.
CTables ModuleTables(const std::string& module, const std::string& language)
{
    return CTables(kSources + "modules-src/" + module + "/Localization/" + language + "/", ".loc", true);
}

TEST(ExamplesWorkspace, EveryProgramKeyHasATextInEveryLanguage)
{
    std::vector<std::string> keys;
    std::istringstream lines(test::DataFile("cli/program-keys.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && !line.starts_with('#')) {
            keys.push_back(line);
        }
    }
    for (const std::string& category : ModuleCategories()) {
        keys.push_back("Category/" + category);
    }
    // The file dialogs' descriptions are keys named by the settings.
    const CIniFile ini = CIniFile::Load(kWorkspace + "brambleton.ini");
    ASSERT_TRUE(ini.Find("Data", "Path").has_value()) << "the settings are in the workspace";
    for (const char* setting : {"DataFileExtName", "GenScriptFileExtName"}) {
        const std::string key = ini.GetString("FileExtensions", setting, "");
        ASSERT_NE(key.find('/'), std::string::npos) << setting;
        keys.push_back(key);
    }
    for (const std::string& language : kLanguages) {
        CTables tables(kWorkspace + "Localization/" + language + "/", ".xml", false);
        for (const std::string& key : keys) {
            EXPECT_NE(tables.Find(key), nullptr) << language << ": " << key;
        }
    }
}

TEST(ExamplesWorkspace, LanguagesHaveTheSameTables)
{
    auto identifiers = [](const std::string& language) {
        std::map<std::string, std::set<std::string>> result;
        for (const auto& entry : fs::directory_iterator(kWorkspace + "Localization/" + language)) {
            CXmlDocument doc;
            EXPECT_TRUE(doc.LoadFile(entry.path().string())) << entry.path();
            std::set<std::string>& ids = result[entry.path().filename().string()];
            const CXmlNodeList strings = doc.GetRoot().SelectNodes("/stringtable/string");
            for (std::size_t i = 0; i < strings.GetLength(); ++i) {
                ids.insert(strings.GetItem(i).GetAttribute("id").value_or(""));
            }
        }
        return result;
    };
    const auto english = identifiers("en");
    EXPECT_EQ(english.size(), 13u) << "one table per group";
    for (const std::string& language : kLanguages) {
        const auto tables = identifiers(language);
        EXPECT_EQ(tables.size(), english.size()) << language;
        for (const auto& [file, ids] : english) {
            const auto it = tables.find(file);
            ASSERT_NE(it, tables.end()) << language << ": " << file;
            EXPECT_EQ(it->second, ids) << language << ": " << file;
        }
    }
}

// (The generation settings files of the data folder are read by every start-up below.)
TEST(ExamplesWorkspace, BooleanWordsAndLicenseAreThere)
{
    const CIniFile ini = CIniFile::Load(kWorkspace + "brambleton.ini");
    ASSERT_TRUE(ini.Find("Data", "Path").has_value()) << "the settings are in the workspace";
    const std::string data = kWorkspace + ini.GetString("Data", "Path", "") + "/";
    CLocalizationTable booleans;
    ASSERT_TRUE(booleans.LoadFromFile(data + ini.GetString("Data", "BooleanDefinition", "BoolDef.xml")));
    EXPECT_EQ(booleans.Lookup("True"), "true");
    EXPECT_EQ(booleans.Lookup("False"), "false");
    EXPECT_TRUE(fs::is_regular_file(kWorkspace + "license.txt"));
}

// Placeholder numbers in the order they occur.
std::vector<int> Placeholders(const std::string& text)
{
    static const std::regex pattern(R"(!\[Parameter(\d+)\])");
    std::vector<int> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stoi((*it)[1]));
    }
    return numbers;
}

// That every declaration's words are in its module's tables is checked on the
// loaded modules below.
TEST(ExamplesWorkspace, ModuleInstructionTextsShowEveryParameterOnceInOrder)
{
    for (const std::string& module : ModuleNames()) {
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(kSources + "modules-src/" + module + "/Data/data.xml")) << module;
        const CXmlNode data = doc.GetRoot().SelectSingleNode("/Module/Data");
        ASSERT_FALSE(data.IsNull()) << module;
        for (const std::string& language : kLanguages) {
            CTables tables = ModuleTables(module, language);
            // Instructions: the sentence and the short text show every parameter once, in order.
            for (const char* xpath : {"Structures/Structure", "Calls/Call"}) {
                const CXmlNodeList list = data.SelectNodes(xpath);
                for (std::size_t i = 0; i < list.GetLength(); ++i) {
                    const CXmlNode instruction = list.GetItem(i);
                    const std::string name = instruction.Child("Name").GetText();
                    std::vector<int> expected(instruction.SelectNodes("Parameters/Parameter").GetLength());
                    std::iota(expected.begin(), expected.end(), 1);
                    EXPECT_EQ(Placeholders(instruction.Child("RawInstruction").GetText()), expected) << name;
                    for (const char* element : {"Description", "ShortDescription"}) {
                        const std::string* text = tables.Find(instruction.Child(element).GetText());
                        ASSERT_NE(text, nullptr) << module << " " << language << ": " << name << " " << element;
                        EXPECT_EQ(Placeholders(*text), expected) << language << ": " << *text;
                    }
                }
            }
        }
    }
}

std::string Cli(const std::string& args, const std::string& workspace = kWorkspace)
{
    return std::string("'") + BRAMBLETON_CLI_PATH + "' --workdir '" + workspace + "' " + args;
}

TEST(ExamplesWorkspace, EveryModuleArchiveHoldsItsSourceTreeWithTextsInUtf16)
{
    std::set<std::string> archives;
    for (const auto& entry : fs::directory_iterator(kWorkspace + "Modules")) {
        archives.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (const std::string& module : ModuleNames()) {
        expected.insert(module + ".modl");
    }
    EXPECT_EQ(archives, expected) << "one archive per module source tree, nothing else";

    for (const std::string& module : ModuleNames()) {
        const std::string source = kSources + "modules-src/" + module + "/";
        const std::string path = kWorkspace + "Modules/" + module + ".modl";
        const auto listing = test::RunCommand(Cli("archive list '" + path + "'"));
        ASSERT_EQ(listing.status, 0) << listing.err;

        const CModuleArchive archive(path);
        for (const auto& [file, original] : test::FilesBelow(source)) {
            if (original == "<dir>") {
                continue;
            }
            const std::string name = CModuleArchive::NormalizePath(file);
            const CArchiveNode* node = archive.Find(name);
            ASSERT_NE(node, nullptr) << module << ": " << file;
            ASSERT_FALSE(node->IsDirectory()) << module << ": " << file;
            EXPECT_NE(listing.out.find(" " + name + "\n"), std::string::npos) << listing.out;
            const bool text = file == "Data/data.xml" || file.ends_with(".loc");
            if (text) {
                // Module XML and string tables are UTF-16LE in the archive.
                EXPECT_EQ(std::string(node->GetDataView()), Utf8ToUtf16LEBytes(original)) << module << ": " << file;
                CXmlDocument doc;
                EXPECT_TRUE(doc.LoadMemory(node->GetDataView())) << module << ": " << file;
            } else {
                EXPECT_EQ(std::string(node->GetDataView()), original) << module << ": " << file;
            }
        }
        EXPECT_NE(archive.Find("data\\data.xml"), nullptr) << module;
    }
}

// The line the modules command prints for a module, from its source XML.
std::string ModuleLine(const std::string& module, int& priority)
{
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(kSources + "modules-src/" + module + "/Data/data.xml")) << module;
    const CXmlNode root = doc.GetRoot();
    priority = std::stoi(root.SelectSingleNode("/Module/Priority").GetText());
    auto count = [&](const char* xpath) { return std::to_string(root.SelectNodes(xpath).GetLength()); };
    return module + "\t" + std::to_string(priority) + "\ttypes=" + count("/Module/Data/Types/Type") +
           " blocks=" + count("/Module/Data/Blocks/Block") + " constants=" + count("/Module/Data/Constants/Constant") +
           " structures=" + count("/Module/Data/Structures/Structure") + " calls=" + count("/Module/Data/Calls/Call") +
           " scripts=" + count("/Module/Scripts/Script") + "\n";
}

TEST(ExamplesWorkspace, TheModulesCommandLoadsEverySampleModuleInPriorityOrder)
{
    std::vector<std::pair<int, std::string>> lines;
    for (const std::string& module : ModuleNames()) {
        int priority = 0;
        std::string line = ModuleLine(module, priority);
        lines.emplace_back(priority, std::move(line));
    }
    std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string expected;
    for (const auto& [priority, line] : lines) {
        expected += line;
    }
    test::CTempDir temp; // the workspace logs below %TEMP%
    const auto result = test::RunCommand("TEMP='" + temp.Path() + "' AppData='" + temp.Path() + "' " + Cli("modules"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, expected);
    const std::string log = test::ReadLog(temp / "brambleton/Log.log");
    EXPECT_EQ(log.find("Key "), std::string::npos) << "no text is missing:\n" << log;
    EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
}

// A copy of the assembled workspace in another language, logging into itself.
std::string CopyWorkspace(const test::CTempDir& dir, const std::string& language)
{
    const std::string copy = dir / "workspace";
    fs::copy(kWorkspace, copy, fs::copy_options::recursive);
    std::string ini = test::ReadFile(kWorkspace + "brambleton.ini");
    ReplaceAll(ini, "Language=en", "Language=" + language);
    ReplaceAll(ini, "%TEMP%", dir.Path() + "temp");
    ReplaceAll(ini, "%AppData%", dir.Path() + "appdata");
    test::WriteFile(copy + "/brambleton.ini", ini);
    return copy + "/";
}

TEST(ExamplesWorkspace, LoadedDeclarationsShowTheWordsOfTheirModuleTablesInEveryLanguage)
{
    for (const std::string& language : kLanguages) {
        SCOPED_TRACE(language);
        test::CTempDir dir;
        const std::string workspace = CopyWorkspace(dir, language);
        test::ResetProcessState();
        CApplicationCore app;
        CLoadingProgress progress;
        ASSERT_TRUE(app.InitInstance(workspace, progress));
        ASSERT_EQ(GetModuleCount(), ModuleNames().size());
        std::size_t checked = 0;
        for (unsigned m = 0; m < GetModuleCount(); ++m) {
            const CModule* module = GetModule(m);
            CTables tables = ModuleTables(module->GetName(), language);
            // The text the module's table holds for a declaration's reference.
            auto expect = [&](const std::string& shown, const std::string& reference) {
                const std::string* text = tables.Find(reference);
                ASSERT_NE(text, nullptr) << module->GetName() << ": " << reference;
                EXPECT_EQ(shown, *text) << module->GetName() << ": " << reference;
                ++checked;
            };
            auto expectName = [&](const CCodeInfoBase& record) {
                expect(record.GetLocalizedName(), record.GetNamespace() + "/" + record.GetName());
            };
            for (const CTypeInfo* type : module->GetTypes()) {
                expectName(*type);
            }
            for (const CBlockInfo* block : module->GetBlocks()) {
                expectName(*block);
            }
            for (const CConstant* constant : module->GetConstants()) {
                expect(constant->GetText(), constant->GetNamespace() + "/" + constant->GetName());
            }
            std::vector<const CInstructionInfo*> instructions(module->GetStructures().begin(),
                                                              module->GetStructures().end());
            instructions.insert(instructions.end(), module->GetCalls().begin(), module->GetCalls().end());
            for (const CInstructionInfo* instruction : instructions) {
                expectName(*instruction);
                expect(instruction->GetLocalizedDescription(), instruction->GetDescription());
                expect(instruction->GetLocalizedShortDescription(), instruction->GetShortDescription());
                for (unsigned p = 0; p < instruction->GetParameterCount(); ++p) {
                    const CParameterInfo* parameter = instruction->GetParameter(p);
                    expectName(*parameter);
                    if (parameter->IsEnumerated()) {
                        for (const auto& [name, value] : parameter->GetValues()) {
                            expect(module->Localize(name), name);
                        }
                    }
                }
            }
        }
        EXPECT_GT(checked, 100u);
        app.ExitInstance();
        test::ResetProcessState();
        const std::string log = test::ReadLog(dir / "temp/brambleton/Log.log");
        EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
        EXPECT_EQ(log.find("NOTICE"), std::string::npos) << log;
    }
}

TEST(ExamplesWorkspace, ABrokenModuleInACopyOfTheWorkspaceFailsTheStartUpWithItsMessage)
{
    test::CTempDir dir;
    const std::string workspace = CopyWorkspace(dir, "en");
    // The module standard without its script list, packed the way the build packs it.
    const std::string tree = dir / "standard";
    fs::copy(kSources + "modules-src/standard", tree, fs::copy_options::recursive);
    std::string xml = test::ReadFile(tree + "/Data/data.xml");
    const std::size_t from = xml.find("<Scripts>");
    const std::size_t to = xml.find("</Scripts>");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    xml.erase(from, to + std::string_view("</Scripts>").size() - from);
    test::WriteFile(tree + "/Data/data.xml", Utf8ToUtf16LEBytes(xml));
    const auto pack = test::RunCommand(Cli("archive pack '" + tree + "' '" + workspace + "Modules/standard.modl'"));
    ASSERT_EQ(pack.status, 0) << pack.err;

    const auto result = test::RunCommand(Cli("modules", workspace));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Element 'Module'->'Scripts' expected."), std::string::npos) << result.err;
}

} // namespace
} // namespace bram
