#include "TestSupport.h"

#include "app/ApplicationCore.h"
#include "archive/ModuleArchive.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "localization/Localization.h"
#include "log/Diagnostics.h"

#include <cstdio>
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
                    Ini("[Localization]\nPath=Data\\Temp\nLanguage=de\n[Modules]\nPath=Modules\nMaxUnpackedMiB=5\n"));
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
    EXPECT_EQ(GetUnpackedSizeLimit(), 5u << 20);
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

// "Could not initialize program." alone left the user guessing; the reason
// follows it, also without a log (a front end watches the writes).
TEST_F(ApplicationCoreTest, AFailedStartUpSaysWhy)
{
    const std::string ini = m_dir / "brambleton.ini";
    std::string said;
    auto startUp = [&](const std::string& folder) {
        said.clear();
        CDiagnostics::Instance().SetObserver([&](std::string_view text) { said += text; });
        CApplicationCore app;
        CLoadingProgress progress;
        EXPECT_FALSE(app.InitInstance(folder, progress));
        app.ExitInstance();
        test::ResetProcessState();
        const auto at = said.find("Could not initialize program.\n");
        return at == std::string::npos ? said : said.substr(at + 30, said.find("Program is exiting") - at - 30);
    };
    EXPECT_EQ(startUp(m_dir / "gone"), "The program folder " + m_dir.Path() + "gone/ does not exist.\n");
    EXPECT_EQ(startUp(m_dir.Path()), "The settings file " + ini + " does not exist.\n");
    test::WriteFile(ini, Utf8ToUtf16LEBytes("[Data]\nPath=Data\n"));
    EXPECT_EQ(startUp(m_dir.Path()), "The settings file " + ini + " is not text.\n");
    test::WriteFile(ini, Ini(""));
    EXPECT_EQ(startUp(m_dir.Path()), "The setting Data/Path is empty in " + ini + ".\n");
    test::WriteFile(ini, "[Data]\nPath=Data\n[Modules]\nPath=Modules\n");
    EXPECT_EQ(startUp(m_dir.Path()), "The modules folder " + m_dir.Path() + "Modules/ does not exist.\n");
    std::remove(ini.c_str());
    const test::CFifo fifo(ini);
    EXPECT_EQ(startUp(m_dir.Path()), "The settings file " + ini + " is not a regular file.\n");
    EXPECT_FALSE(fifo.ReaderWaited()) << "each setting read refuses it at once";
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
