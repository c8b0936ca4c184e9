// Start-up with modules and generation settings: the order, the values, and
// the guard around a failure.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "app/ApplicationCore.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"
#include "records/TypeInfo.h"

#include <gtest/gtest.h>
#include <sstream>

namespace bram {
namespace {

class MainDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WriteWorkspace(m_dir.Path());
        // Log into the workspace so each test can read what start-up wrote.
        std::string ini = test::ReadFile(m_dir / "brambleton.ini");
        test::WriteFile(m_dir / "brambleton.ini", ini + "[Logging]\nDoLogging=1\nLogPath=Log.log\n");
    }
    void TearDown() override { test::ResetProcessState(); }

    std::string Log() { return test::ReadLog(m_dir / "Log.log"); }

    test::CTempDir m_dir;
};

TEST_F(MainDataTest, LoadsModulesAndSettingsAndReleasesThemAtShutDown)
{
    CApplicationCore app;
    CLoadingProgress progress;
    ASSERT_TRUE(app.InitInstance(m_dir.Path(), progress));
    ASSERT_EQ(GetModuleCount(), 2u);
    EXPECT_EQ(GetModule(0)->GetName(), "flow");
    EXPECT_EQ(GetModule(1)->GetName(), "base");
    EXPECT_EQ(GetModule(0)->GetNeededModules().front(), GetModule(1));
    const CGenerationSettings& settings = CGenerationSettings::Instance();
    EXPECT_EQ(settings.GetTriggerDefinitions().triggerPrefix, "T_");
    EXPECT_EQ(settings.GetFunctionBlocks().size(), 2u);
    EXPECT_EQ(settings.GetVariablePrefix(), "v_");
    ASSERT_NE(settings.GetCommentType(), nullptr);
    EXPECT_EQ(settings.GetCommentType()->GetModule(), GetModule(1));
    app.ExitInstance();
    EXPECT_EQ(GetModuleCount(), 0u);
    EXPECT_EQ(GetAllTypes().size(), 0u);
    EXPECT_EQ(settings.GetCommentType(), nullptr);
    EXPECT_FALSE(settings.HasTriggerDefinitions());
    std::string order;
    std::istringstream log(Log());
    for (std::string line; std::getline(log, line);) {
        if (line.starts_with("Loading module") || line.starts_with("Reading data")) {
            order += line + "\n";
        }
    }
    EXPECT_EQ(order, "Loading module base.\nLoading module flow.\nReading data of module base.\n"
                     "Reading data of module flow.\n")
        << "found sorted by name, read in turn, then sorted by priority";
}

TEST_F(MainDataTest, FailuresAreLoggedAndReleaseTheModules)
{
    struct {
        const char* file;
        std::string content;
        std::string logged;
        bool modulesKept; // until shut-down
    } cases[] = {
        {"Modules/broken.modl", "garbage", "A module exception occured. Error message: Header expected (modl)\n.", true},
        {"Data/FunctionDefinition.xml", "<FunctionDefinition/>",
         "Loading Verification failed.\nError message: Element 'FunctionDefinition'->'TriggerPrefix' expected.\n",
         false},
        {"Data/ScriptCreation.xml", "<ScriptCreation", "Failed to open file ", false},
    };
    for (const auto& c : cases) {
        test::CTempDir dir;
        test::WriteWorkspace(dir.Path());
        test::WriteFile(dir / "brambleton.ini", test::ReadFile(dir / "brambleton.ini") + "[Logging]\nDoLogging=1\nLogPath=Log.log\n");
        test::WriteFile(dir / c.file, c.content);
        CApplicationCore app;
        CLoadingProgress progress;
        EXPECT_FALSE(app.InitInstance(dir.Path(), progress)) << c.file;
        EXPECT_EQ(GetModuleCount() > 0, c.modulesKept) << c.file;
        app.ExitInstance();
        EXPECT_EQ(GetModuleCount(), 0u);
        const std::string log = test::ReadLog(dir / "Log.log");
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_TRUE(log.ends_with("Could not initialize program.\nProgram is exiting correctly.\n")) << log;
        test::ResetProcessState();
    }
}

TEST_F(MainDataTest, WithoutModulesNoFunctionBlockMatches)
{
    std::remove((m_dir / "Modules/base.modl").c_str());
    std::remove((m_dir / "Modules/flow.modl").c_str());
    CApplicationCore app;
    CLoadingProgress progress;
    EXPECT_FALSE(app.InitInstance(m_dir.Path(), progress));
    app.ExitInstance();
    EXPECT_NE(Log().find("Error message: Invalid block name in 'FunctionDefinition'->'FunctionBlocks'->'Block.\n"),
              std::string::npos);
}

} // namespace
} // namespace bram
