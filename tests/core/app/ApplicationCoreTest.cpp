#include "TestSupport.h"

#include "app/ApplicationCore.h"
#include "base/Paths.h"
#include "localization/Localization.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

class ApplicationCoreTest : public ::testing::Test {
protected:
    void TearDown() override { test::ResetProcessState(); }
    std::string Ini(const std::string& extra)
    {
        return "[Logging]\nDoLogging=1\nLogPath=logs\\Log.log\n[User]\nUserDataDirectory=" + m_dir.Path() + "user\n" +
               extra;
    }
    test::CTempDir m_dir;
};

TEST_F(ApplicationCoreTest, StartsWithoutMainDataAndShutsDownInOrder)
{
    test::WriteFile(m_dir / "brambleton.ini",
                    Ini("[Localization]\nPath=Data\\Temp\nLanguage=de\n[Modules]\nPath=Modules\n"));
    test::WriteFile(m_dir / "Modules/b.modl", std::string(700, 'x'));
    test::WriteFile(m_dir / "Modules/a.v2.modl", std::string(300, 'x'));
    test::WriteFile(m_dir / "Modules/readme.txt", "not a module");
    CApplicationCore app;
    CLoadingProgress progress;
    CStartupOptions options;
    options.loadMainData = false;
    ASSERT_TRUE(app.InitInstance(m_dir.Path(), progress, options));
    EXPECT_EQ(app.GetProgramFolder(), m_dir.Path());
    EXPECT_EQ(app.GetModulesFolder(), m_dir.Path() + "Modules/");
    EXPECT_EQ(CApplicationCore::ListModuleFiles(app.GetModulesFolder()),
              (std::vector<std::string>{"a.v2.modl", "b.modl"}));
    EXPECT_EQ(progress.TaskCount(), 6) << "two fixed, two modules, two fixed; no definition files exist";
    EXPECT_EQ(GetLanguage(), "de");
    EXPECT_EQ(GetLocalizationPath(), m_dir.Path() + "Data/Temp/");
    EXPECT_TRUE(FolderExists(m_dir / "user"));
    EXPECT_EQ(progress.GetDetailText(), "CreateMainWindow") << "missing tables show the identifier";
    app.ExitInstance();
    app.ExitInstance();

    const std::string log = test::ReadLog(m_dir / "logs/Log.log");
    EXPECT_NE(log.find("Localization path is: Data\\Temp.\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("Program is exiting correctly.\n"));
    EXPECT_EQ(log.find("Program is exiting correctly.\n"), log.rfind("Program is exiting correctly.\n"))
        << "shut-down runs once";
}

TEST_F(ApplicationCoreTest, EmptyDataPathStopsStartUp)
{
    test::WriteFile(m_dir / "brambleton.ini", Ini(""));
    CApplicationCore app;
    CLoadingProgress progress;
    EXPECT_FALSE(app.InitInstance(m_dir.Path(), progress));
    app.ExitInstance();
    const std::string log = test::ReadLog(m_dir / "logs/Log.log");
    EXPECT_TRUE(log.ends_with("Localization path is: Data\\Temp.\nCould not initialize program.\n"
                              "Program is exiting correctly.\n"))
        << log;
}

TEST_F(ApplicationCoreTest, WithoutSettingsFileEverythingIsDefaultAndNoLogIsWritten)
{
    CApplicationCore app;
    CLoadingProgress progress;
    EXPECT_FALSE(app.InitInstance(m_dir.Path(), progress));
    app.ExitInstance();
    EXPECT_FALSE(FileExists(m_dir / "Log.log"));
    EXPECT_EQ(progress.TaskCount(), 4);
    EXPECT_EQ(GetLanguage(), "en");
}

} // namespace
} // namespace bram
