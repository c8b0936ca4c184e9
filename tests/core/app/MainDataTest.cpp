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
#include <sys/stat.h>

namespace bram {
namespace {

// The test workspace, logging into itself so each test can read what
// start-up wrote.
void WriteLoggingWorkspace(const test::CTempDir& dir)
{
    test::WriteWorkspace(dir.Path());
    test::WriteFile(dir / "brambleton.ini",
                    test::ReadFile(dir / "brambleton.ini") + "[Logging]\nDoLogging=1\nLogPath=Log.log\n");
}

class MainDataTest : public ::testing::Test {
protected:
    void SetUp() override { WriteLoggingWorkspace(m_dir); }
    void TearDown() override { test::ResetProcessState(); }

    test::CTempDir m_dir;
};

TEST_F(MainDataTest, LoadsModulesAndSettingsAndReleasesThemAtShutDown)
{
    // Names of modules that are no file are passed over, and the log says so.
    ASSERT_EQ(::mkfifo((m_dir / "Modules/pipe.modl").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((m_dir / "Modules/folder.modl").c_str(), 0700), 0);
    CApplicationCore app;
    CLoadingProgress progress;
    ASSERT_TRUE(app.InitInstance(m_dir.Path(), progress));
    ASSERT_EQ(GetModuleCount(), 2u);
    EXPECT_EQ(GetModule(0)->GetName(), "flow");
    EXPECT_EQ(GetModule(1)->GetName(), "base");
    EXPECT_EQ(GetModule(0)->GetNeededModules().front(), GetModule(1));
    // The values themselves: GenerationSettingsTest.ValuesReachTheirHoldersOnce.
    const CGenerationSettings& settings = CGenerationSettings::Instance();
    EXPECT_TRUE(settings.HasTriggerDefinitions());
    ASSERT_NE(settings.GetCommentType(), nullptr);
    EXPECT_EQ(settings.GetCommentType()->GetModule(), GetModule(1));
    app.ExitInstance();
    EXPECT_EQ(GetModuleCount(), 0u);
    EXPECT_EQ(GetAllTypes().size(), 0u);
    EXPECT_EQ(settings.GetCommentType(), nullptr);
    EXPECT_FALSE(settings.HasTriggerDefinitions());
    std::string order;
    std::istringstream log(test::ReadLog(m_dir / "Log.log"));
    for (std::string line; std::getline(log, line);) {
        if (line.starts_with("Loading module") || line.starts_with("Reading data")) {
            order += line + "\n";
        }
    }
    EXPECT_EQ(order, "Loading module base.\nLoading module flow.\nReading data of module base.\n"
                     "Reading data of module flow.\n")
        << "found sorted by name, read in turn, then sorted by priority";
    const std::string text = test::ReadLog(m_dir / "Log.log");
    for (const char* name : {"folder.modl", "pipe.modl"}) {
        EXPECT_NE(text.find("Skipping " + m_dir.Path() + "Modules/" + name + ": it is not a regular file.\n"),
                  std::string::npos)
            << text;
    }
}

TEST_F(MainDataTest, FailuresAreLoggedAndReleaseTheModules)
{
    for (const test::FieldCase& c : test::FieldCases("app/start-up-failures.txt")) {
        SCOPED_TRACE(c.name);
        test::CTempDir dir;
        WriteLoggingWorkspace(dir);
        if (c.Has("file")) {
            test::WriteFile(dir / c["file"], c["content"]);
        } else {
            std::remove((dir / "Modules/base.modl").c_str());
            std::remove((dir / "Modules/flow.modl").c_str());
        }
        CApplicationCore app;
        CLoadingProgress progress;
        EXPECT_FALSE(app.InitInstance(dir.Path(), progress));
        EXPECT_EQ(GetModuleCount() > 0, c["kept"] == "1");
        app.ExitInstance();
        EXPECT_EQ(GetModuleCount(), 0u);
        const std::string log = test::ReadLog(dir / "Log.log");
        EXPECT_NE(log.find(c["logged"]), std::string::npos) << log;
        EXPECT_TRUE(log.ends_with("Could not initialize program.\nProgram is exiting correctly.\n")) << log;
        test::ResetProcessState();
    }
}

} // namespace
} // namespace bram
