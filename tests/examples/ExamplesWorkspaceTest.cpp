// The sample workspace that the build assembles: the languages have the same
// tables, every module archive holds its source tree, and the workspace
// starts in every language without a missing text.

#include "ModuleFixtures.h"
#include "TestDataFiles.h"
#include "app/ApplicationCore.h"
#include "archive/ModuleArchive.h"
#include "base/Text.h"
#include "code/Constant.h"
#include "localization/Localization.h"
#include "modules/Module.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"
#include "settings/IniFile.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

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

std::set<std::string> ModuleNames()
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(kSources + "modules-src")) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The string identifiers of a language's tables, by file.
std::map<std::string, std::set<std::string>> TableIds(const std::string& language)
{
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
}

TEST(ExamplesWorkspace, LanguagesHaveTheSameTablesAndTheDataFolderItsWords)
{
    const auto english = TableIds("en");
    EXPECT_FALSE(english.empty());
    EXPECT_EQ(TableIds("de"), english);

    const CIniFile ini = CIniFile::Load(kWorkspace + "brambleton.ini");
    ASSERT_TRUE(ini.Find("Data", "Path").has_value()) << "the settings are in the workspace";
    CLocalizationTable booleans;
    ASSERT_TRUE(booleans.LoadFromFile(kWorkspace + ini.GetString("Data", "Path", "") + "/" +
                                      ini.GetString("Data", "BooleanDefinition", "")));
    EXPECT_EQ(booleans.Lookup("True"), "true");
    EXPECT_EQ(booleans.Lookup("False"), "false");
    EXPECT_TRUE(fs::is_regular_file(kWorkspace + "license.txt"));
}

TEST(ExamplesWorkspace, EveryModuleArchiveHoldsItsSourceTreeWithTextsInUtf16)
{
    std::set<std::string> archives;
    for (const auto& entry : fs::directory_iterator(kWorkspace + "Modules")) {
        archives.insert(entry.path().stem().string());
    }
    EXPECT_EQ(archives, ModuleNames()) << "one archive per module source tree, nothing else";

    for (const std::string& module : ModuleNames()) {
        const CModuleArchive archive(kWorkspace + "Modules/" + module + ".modl");
        for (const auto& [file, original] : test::FilesBelow(kSources + "modules-src/" + module)) {
            const CArchiveNode* node = archive.Find(file);
            ASSERT_NE(node, nullptr) << module << ": " << file;
            EXPECT_EQ(node->IsDirectory(), original == "<dir>") << module << ": " << file;
            // Module XML and string tables are UTF-16LE in the archive.
            const bool text = file == "Data/data.xml" || file.ends_with(".loc");
            if (!node->IsDirectory()) {
                EXPECT_EQ(node->GetDataView(), text ? Utf8ToUtf16LEBytes(original) : original)
                    << module << ": " << file;
            }
        }
    }
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

// Every text the program and the modules look up is asked for; a missing one
// leaves its line in the log.
void LookUpEveryText(const CModule& module)
{
    std::vector<const CCodeInfoBase*> records(module.GetTypes().begin(), module.GetTypes().end());
    records.insert(records.end(), module.GetBlocks().begin(), module.GetBlocks().end());
    for (const CConstant* constant : module.GetConstants()) {
        (void)constant->GetText();
    }
    std::vector<const CInstructionInfo*> instructions(module.GetStructures().begin(), module.GetStructures().end());
    instructions.insert(instructions.end(), module.GetCalls().begin(), module.GetCalls().end());
    for (const CInstructionInfo* instruction : instructions) {
        records.push_back(instruction);
        // The sentence and the short text show every parameter once, in order.
        std::vector<int> expected(instruction->GetParameterCount());
        std::iota(expected.begin(), expected.end(), 1);
        EXPECT_EQ(Placeholders(instruction->GetRawInstruction()), expected) << instruction->GetName();
        EXPECT_EQ(Placeholders(instruction->GetLocalizedDescription()), expected) << instruction->GetName();
        EXPECT_EQ(Placeholders(instruction->GetLocalizedShortDescription()), expected) << instruction->GetName();
        for (unsigned p = 0; p < instruction->GetParameterCount(); ++p) {
            const CParameterInfo* parameter = instruction->GetParameter(p);
            records.push_back(parameter);
            for (const auto& [name, value] :
                 parameter->IsEnumerated() ? parameter->GetValues() : std::vector<CEnumValue>{}) {
                (void)module.Localize(name);
            }
        }
    }
    for (const CCodeInfoBase* record : records) {
        (void)record->GetLocalizedName();
        // "A|B" lists two categories, each a text of the program.
        std::istringstream categories(record->GetCategories());
        for (std::string category; std::getline(categories, category, '|');) {
            (void)GetLocalizedString("Category/" + category);
        }
    }
}

TEST(ExamplesWorkspace, StartsInEveryLanguageWithoutAMissingText)
{
    // The file dialogs' descriptions are keys named by the settings.
    const std::string ini = test::ReadFile(kWorkspace + "brambleton.ini");
    const CIniFile settings = CIniFile::Parse(ini);
    std::vector<std::string> programKeys = {settings.GetString("FileExtensions", "DataFileExtName", ""),
                                            settings.GetString("FileExtensions", "GenScriptFileExtName", "")};
    std::istringstream lines(test::DataFile("examples/program-keys.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && !line.starts_with('#')) {
            programKeys.push_back(line);
        }
    }
    for (const std::string language : {"en", "de"}) {
        SCOPED_TRACE(language);
        // A copy of the workspace in that language, logging into itself.
        test::CTempDir dir;
        const std::string workspace = dir / "workspace/";
        fs::copy(kWorkspace, workspace, fs::copy_options::recursive);
        std::string copiedIni = ini;
        ReplaceAll(copiedIni, "Language=en", "Language=" + language);
        ReplaceAll(copiedIni, "%TEMP%", dir.Path() + "temp");
        ReplaceAll(copiedIni, "%AppData%", dir.Path() + "appdata");
        test::WriteFile(workspace + "brambleton.ini", copiedIni);

        test::ResetProcessState();
        CApplicationCore app;
        CLoadingProgress progress;
        ASSERT_TRUE(app.InitInstance(workspace, progress));
        ASSERT_EQ(GetModuleCount(), ModuleNames().size());
        for (unsigned m = 0; m < GetModuleCount(); ++m) {
            LookUpEveryText(*GetModule(m));
        }
        for (const std::string& key : programKeys) {
            ASSERT_NE(key.find('/'), std::string::npos) << key;
            (void)GetLocalizedString(key);
        }
        app.ExitInstance();
        test::ResetProcessState();
        const std::string log = test::ReadLog(dir / "temp/brambleton/Log.log");
        EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
        EXPECT_EQ(log.find(" not found."), std::string::npos) << log;
        EXPECT_EQ(log.find("NOTICE"), std::string::npos) << log;
    }
}

} // namespace
} // namespace bram
