// Modules read from real ".modl" files packed from tests/data/modules/loading:
// needed modules, order, string tables, scripts and progress.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "code/Constant.h"
#include "localization/Localization.h"
#include "log/Diagnostics.h"
#include "modules/Module.h"
#include "progress/LoadingProgress.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace bram {
namespace {

class ModuleLoadingTest : public ::testing::Test {
protected:
    void SetUp() override { SetModuleFolders(m_dir.Path(), m_dir / "Modules/"); }
    void TearDown() override { test::ResetProcessState(); }

    // Packs tests/data/modules/loading/<file>.xml as Modules/<name>.modl.
    std::string Write(const std::string& name, const std::string& file,
                      const std::map<std::string, std::string>& files = {})
    {
        const std::string path = m_dir / ("Modules/" + name + ".modl");
        test::WriteModuleArchive(path, test::DataFile("modules/loading/" + file + ".xml"), files);
        return path;
    }

    static std::vector<std::string> Names(const std::vector<CModule*>& modules)
    {
        std::vector<std::string> names;
        for (const CModule* m : modules) {
            names.push_back(m->GetName());
        }
        return names;
    }

    static std::vector<std::string> LoadedOrder()
    {
        std::vector<CModule*> modules;
        for (unsigned i = 0; i < GetModuleCount(); ++i) {
            modules.push_back(GetModule(i));
        }
        return Names(modules);
    }

    test::CTempDir m_dir;
};

TEST_F(ModuleLoadingTest, NeededModulesAreTransitiveOnceEachAndSortedByPriority)
{
    const std::vector<std::string> paths = {Write("a", "a"), Write("b", "b"), Write("c", "c")};
    Write("d", "d"); // not in the list given: found when b needs it

    LoadModules(paths, nullptr);

    EXPECT_EQ(LoadedOrder(), (std::vector<std::string>{"b", "a", "c", "d"}))
        << "highest priority first, ties in load order";
    const CModule* ma = FindModule("a");
    ASSERT_NE(ma, nullptr);
    EXPECT_EQ(Names(ma->GetNeededModules()), (std::vector<std::string>{"b", "c"}));
    const CModule* mb = FindModule("b");
    const CModule* md = FindModule("d");
    ASSERT_EQ(ma->GetBlocks().size(), 4u);
    EXPECT_EQ(ma->GetBlocks()[0]->GetType(), ma->GetTypes()[0]);
    EXPECT_EQ(ma->GetBlocks()[1]->GetType(), mb->GetTypes()[0]);
    EXPECT_EQ(ma->GetBlocks()[2]->GetType(), md->GetTypes()[0]);
    EXPECT_EQ(ma->GetBlocks()[3]->GetType(), md->GetTypes()[0]);
    EXPECT_EQ(ma->GetVisibleTypes().size(), 3u) << "d's Deep and b's Num through b, then a's own";
    EXPECT_EQ(GetAllTypes().size(), 3u);
}

TEST_F(ModuleLoadingTest, NeededModuleCycleLoadsBothAndNamesThem)
{
    std::string log;
    CDiagnostics::Instance().SetObserver([&](std::string_view text) { log += text; });
    LoadModules({Write("x", "x"), Write("y", "y")}, nullptr);
    EXPECT_NE(log.find("Modules y and x need each other; y cannot use what x declares.\n"), std::string::npos) << log;
    const CModule* mx = FindModule("x");
    const CModule* my = FindModule("y");
    ASSERT_EQ(GetModuleCount(), 2u);
    EXPECT_EQ(Names(mx->GetNeededModules()), (std::vector<std::string>{"y"}));
    EXPECT_EQ(Names(my->GetNeededModules()), (std::vector<std::string>{"x"}));
    EXPECT_EQ(my->GetVisibleTypes().size(), 1u) << "x had declared nothing yet when y was read";
    EXPECT_EQ(mx->GetVisibleTypes().size(), 2u);
    EXPECT_EQ(my->GetBlocks().size(), 1u);
}

TEST_F(ModuleLoadingTest, CycleBetweenModulesOutsideTheListEnds)
{
    test::WriteModuleArchive(m_dir / "Other/x.modl", test::DataFile("modules/loading/outside-x.xml"));
    test::WriteModuleArchive(m_dir / "Other/y.modl", test::DataFile("modules/loading/outside-y.xml"));
    LoadModules({Write("root", "outside-root")}, nullptr);
    EXPECT_EQ(LoadedOrder(), (std::vector<std::string>{"root", "y", "x"}));
}

// Each module of a chain is read inside the one that needs it; a chain far
// longer than any real one (10,000 overflowed the stack) is refused.
TEST_F(ModuleLoadingTest, AChainOfNeededModulesHasALimit)
{
    const int length = 101;
    for (int i = 0; i < length; ++i) {
        test::ModuleSource source;
        if (i + 1 < length) {
            source.needs = {"m" + std::to_string(i + 1)};
        }
        test::WriteModuleArchive(m_dir / ("Modules/m" + std::to_string(i) + ".modl"), test::ModuleXml(source));
    }
    LoadModules({m_dir / "Modules/m1.modl"}, nullptr);
    EXPECT_EQ(GetModuleCount(), 100u);
    ReleaseAllModules();
    EXPECT_EQ(test::ModuleErrorOf([&] { LoadModules({m_dir / "Modules/m0.modl"}, nullptr); }),
              "Module m100 is needed through a chain of more than 100 modules.");
}

TEST_F(ModuleLoadingTest, FailuresOfNeededModulesAndArchives)
{
    const std::string path = Write("a", "needs-missing");
    test::WriteFile(m_dir / "Modules/broken.modl", "not an archive");
    EXPECT_EQ(test::ModuleErrorOf([&] { LoadModules({path}, nullptr); }), "Could not open archive file.");
    ReleaseAllModules();
    EXPECT_EQ(test::ModuleErrorOf([&] { LoadModules({m_dir / "Modules/broken.modl"}, nullptr); }),
              "Header expected (modl)");
    EXPECT_THROW(GetModule(GetModuleCount()), CModuleException);
}

TEST_F(ModuleLoadingTest, NamesComeFromFileNamesAndDataIsOptional)
{
    CModuleArchive empty;
    test::WriteFile(m_dir / "Modules/readme.txt", "");
    empty.Save(m_dir / "Modules/empty.modl");
    const std::string path = m_dir / "Modules/lib.v2.modl";
    test::WriteModuleArchive(path, test::DataFile("modules/loading/one-type.xml"), {}, false);
    LoadModules({m_dir / "Modules/empty.modl", path}, nullptr);
    ASSERT_EQ(LoadedOrder(), (std::vector<std::string>{"empty", "lib.v2"}));
    EXPECT_FALSE(GetModule(0)->IsLoaded());
    EXPECT_TRUE(GetModule(1)->IsLoaded());
    EXPECT_EQ(GetModule(1)->GetTypes().size(), 1u) << "module XML without a byte order mark";
    EXPECT_FALSE(GetModule(1)->GetArchive().Exists("Data\\data.xml")) << "consumed";
}

TEST_F(ModuleLoadingTest, StringTablesLocalizeNamesWithFallBacks)
{
    test::WriteFile(m_dir / "Loc/en/Type.xml", test::StringTableXml({{"Missing", "Program text"}}));
    SetLocalizationPath(m_dir / "Loc");
    SetLanguage("en");
    const std::map<std::string, std::string> files = {
        {"Localization/en/type.loc", test::Utf16(test::StringTableXml({{"Num", "Number"}}))},
        {"Localization/en/call.loc", test::Utf16(test::StringTableXml({{"print", "Print a value"}}), false)},
        {"Localization/en/readme.txt", "not a table"},
        {"Localization/de/type.loc", test::Utf16(test::StringTableXml({{"Num", "Zahl"}}))},
        {"Data/Scripts/runtime.lua", "-- runtime\n"},
    };
    std::vector<std::string> log;
    CDiagnostics::Instance().SetObserver([&](std::string_view text) { log.emplace_back(text); });
    LoadModules({Write("M", "localized", files)}, nullptr);
    const CModule* m = GetModule(0);

    EXPECT_EQ(m->GetStringTables().size(), 3u) << "one per .loc file";
    EXPECT_FALSE(m->GetArchive().Exists("Localization")) << "the whole folder is consumed";
    EXPECT_EQ(m->GetTypes()[0]->GetLocalizedName(), "Number");
    EXPECT_EQ(m->GetTypes()[1]->GetLocalizedName(), "Program text") << "missing key: the program's table";
    EXPECT_EQ(log.back(), "Could not find key Missing in localization file type of a module.\n");
    EXPECT_EQ(m->GetBlocks()[0]->GetLocalizedName(), "Block/Actions") << "no table: the reference";
    EXPECT_EQ(log.back(), "Could not find localization file Block in module M.\n");
    EXPECT_EQ(m->GetBlocks()[0]->GetLocalizedDescription(), "Block/Actions");
    EXPECT_EQ(m->GetCalls()[0]->GetLocalizedDescription(), "Print a value") << "table without byte order mark";
    EXPECT_EQ(m->GetCalls()[0]->GetLocalizedShortDescription(), "Plain text") << "no '/': the text itself";
    SetLanguage("de");
    EXPECT_EQ(m->GetTypes()[0]->GetLocalizedName(), "Zahl");
    EXPECT_EQ(m->GetCalls()[0]->GetLocalizedDescription(), "call/print") << "no German call table";
    CDiagnostics::Instance().SetObserver(nullptr);

    EXPECT_EQ(m->GetScriptData(0), "-- runtime\n");
    EXPECT_EQ(test::ModuleErrorOf([&] { (void)m->GetScriptData(1); }), "No script data.");
    EXPECT_EQ(test::ModuleErrorOf([&] { (void)m->GetScriptData(2); }), "Invalid index.");
    EXPECT_THROW((void)m->GetScriptName(2), CModuleException);
}

// The bar's steps themselves are the loader's own choice.
TEST_F(ModuleLoadingTest, ProgressRisesToTheEndUnderTheModulesStageText)
{
    test::CProgressRecorder recorder;
    const std::string path = Write("M", "two-types");
    CLoadingProgress progress;
    progress.AddFileTask(path);
    progress.SetDisplay(&recorder);
    LoadModules({path}, &progress);
    EXPECT_TRUE(std::is_sorted(recorder.positions.begin(), recorder.positions.end()));
    EXPECT_GT(recorder.positions.size(), 5u) << "the bar moves while the sections are read";
    EXPECT_EQ(recorder.positions.back(), 1000);
    EXPECT_EQ(recorder.stages, (std::vector<std::string>{"LoadingModuleM", "LoadingModuleM"}));
}

} // namespace
} // namespace bram
