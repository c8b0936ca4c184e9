#include "ModuleFixtures.h"
#include "TestSupport.h"

#include "base/Paths.h"
#include "settings/ApplicationBase.h"
#include "settings/Environment.h"
#include "settings/IniFile.h"
#include "settings/UserData.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {
namespace {

using test::CTempDir;
using test::WriteFile;

// Sets (nullptr: removes) an environment variable and restores it when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name.c_str(), m_old->c_str(), 1) : ::unsetenv(m_name.c_str()); }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

TEST(IniFileTest, NamesIgnoreCaseValuesAreTrimmedFirstOccurrenceWins)
{
    // Two lines end in CR LF.
    const CIniFile ini = CIniFile::Parse(test::DataFile("settings/names.ini"));
    EXPECT_EQ(ini.GetInt("logging", "DOLOGGING", 7), 1u);
    EXPECT_EQ(ini.GetString("Logging", "logpath", ""), "C:\\x y\\log.log");
    EXPECT_EQ(ini.GetString("Data", "Path", "default"), "") << "an empty value is a value, not a missing key";
    EXPECT_EQ(ini.GetString("", "orphan", "none"), "none") << "keys before any section belong nowhere";
    EXPECT_EQ(ini.GetString("Logging", "noequals", "none"), "none");
}

TEST(IniFileTest, IntegersAreReadLikeTheProfileReader)
{
    const std::pair<const char*, std::uint32_t> cases[] = {{"42", 42}, {"+7", 7},           {"12abc", 12}, {"abc", 0},
                                                           {"", 0},    {"-1", 0xFFFFFFFFu}, {"0x10", 0}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseProfileInt(text), value) << text;
    }
    const CIniFile ini = CIniFile::Parse("[S]\nA=yes\n");
    EXPECT_EQ(ini.GetInt("S", "A", 5), 0u) << "a present value without digits reads as 0, not the default";
}

TEST(IniFileTest, BinaryValuesUseLowNibbleFirstLetters)
{
    // 0x3A -> low nibble A ('K'), high nibble 3 ('D'); 0xF0 -> 'A', 'P'.
    const CIniFile ini = CIniFile::Parse("[S]\nGood=KDAP\nOdd=KDA\nBad=KDzz\n");
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(ini.GetBinary("S", "Good", data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{0x3A, 0xF0}));
    EXPECT_FALSE(ini.GetBinary("S", "Odd", data));
    EXPECT_FALSE(ini.GetBinary("S", "Bad", data));
}

TEST(EnvironmentTest, ExpandsKnownNamesAndKeepsUnknownOnes)
{
    ScopedEnv a("BRAM_TEST_A", "alpha");
    ScopedEnv gone("BRAM_TEST_MISSING", nullptr);
    for (const test::ExpectedCase& c : test::ExpectedCases("settings/environment.txt")) {
        EXPECT_EQ(ExpandEnvironmentStrings(c.input), c.expected) << c.input;
    }
}

TEST(EnvironmentTest, WindowsNamesFallBackWhenUnset)
{
    ScopedEnv appData("AppData", nullptr);
    ScopedEnv appDataUpper("APPDATA", nullptr);
    ScopedEnv temp("TEMP", nullptr);
    ScopedEnv tmp("TMP", nullptr);
    ScopedEnv profile("USERPROFILE", nullptr);
    ScopedEnv home("HOME", "/home/tester");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv tmpdir("TMPDIR", nullptr);
        ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        ScopedEnv cache("XDG_CACHE_HOME", nullptr);
        EXPECT_EQ(ExpandEnvironmentStrings("%AppData%"), "/home/tester/.config");
        EXPECT_EQ(ExpandEnvironmentStrings("%USERPROFILE%"), "/home/tester");
        // Temporary files go to a folder of the user's own before the shared /tmp.
        EXPECT_EQ(ExpandEnvironmentStrings("%TEMP%"), "/home/tester/.cache");
        {
            ScopedEnv noHome("HOME", nullptr);
            EXPECT_EQ(ExpandEnvironmentStrings("%TMP%"), "/tmp");
        }
        ScopedEnv ownCache("XDG_CACHE_HOME", "/cache");
        EXPECT_EQ(ExpandEnvironmentStrings("%TMP%"), "/cache");
        ScopedEnv ownRuntime("XDG_RUNTIME_DIR", "/run/user/7");
        EXPECT_EQ(ExpandEnvironmentStrings("%TEMP%"), "/run/user/7");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
    ScopedEnv tmpdir("TMPDIR", "/scratch");
    EXPECT_EQ(ExpandEnvironmentStrings("%AppData%\\brambleton"), "/cfg\\brambleton");
    EXPECT_EQ(ExpandEnvironmentStrings("%TEMP%"), "/scratch");
    ScopedEnv realTemp("TEMP", "/real");
    EXPECT_EQ(ExpandEnvironmentStrings("%TEMP%"), "/real") << "a set variable always wins";
}

TEST(FolderPreparationTest, CreatesFoldersUpToTheLastSeparatorOnly)
{
    CTempDir dir;
    ScopedEnv tmpdir("TMPDIR", dir.Path().c_str());
    ScopedEnv temp("TEMP", nullptr);
    const std::string logPath = ExpandEnvironmentStrings("%TEMP%\\logs\\deeper\\Log.log");
    PrepareFoldersForPath(logPath);
    EXPECT_TRUE(FolderExists(dir / "logs"));
    EXPECT_TRUE(FolderExists(dir / "logs/deeper"));
    EXPECT_FALSE(FileExists(dir / "logs/deeper/Log.log"));
    EXPECT_FALSE(FolderExists(dir / "logs/deeper/Log.log"));

    // A plain name like the default "Dump" creates nothing.
    PrepareFoldersForPath(dir / "Dump");
    EXPECT_FALSE(FolderExists(dir / "Dump"));
}

// The folders may hold the log and the dumps, so they are the user's alone;
// a path the system cannot take creates nothing at all (it used to take
// quadratic time, one look-up of every prefix, before failing).
TEST(FolderPreparationTest, FoldersArePrivateAndOverlongPathsCreateNothing)
{
    CTempDir dir;
    std::string deep = dir.Path();
    const int levels = 100;
    for (int i = 0; i < levels; ++i) {
        deep += "d/";
    }
    PrepareFoldersForPath(deep + "Log.log");
    std::string folder = dir.Path();
    int made = 0;
    while (FolderExists(folder + "d")) {
        folder += "d/";
        ++made;
    }
    EXPECT_EQ(made, levels);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "d").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    std::string overlong = dir / "x";
    for (int i = 0; i < 20000; ++i) {
        overlong += "\\x";
    }
    PrepareFoldersForPath(overlong + "\\Log.log");
    EXPECT_FALSE(FolderExists(dir / "x"));
    std::string problem;
    EXPECT_EQ(OpenPrivateFolder(overlong + "\\Log.log", problem), -1);
    EXPECT_EQ(problem, "the path is longer than the system's limit of 4096 bytes");
}

class UserDataTest : public ::testing::Test {
protected:
    void WriteIni(const std::string& extra)
    {
        WriteFile(m_dir / "brambleton.ini",
                  "[User]\nUserDataDirectory=" + m_dir.Path() + "user\\data\nUserINIFile=user.ini\n" + extra);
    }
    CUserDataResult Load()
    {
        CIniSettings settings(m_dir / "brambleton.ini");
        return LoadUserData(settings, m_dir.Path());
    }
    std::string UserIni() const { return m_dir / "user/data/user.ini"; }

    CTempDir m_dir;
};

TEST_F(UserDataTest, CreatesFolderAndEmptySettingsFile)
{
    WriteIni("");
    const CUserDataResult result = Load();
    EXPECT_EQ(result.folder, m_dir.Path() + "user/data/");
    EXPECT_EQ(result.userSettingsFile, UserIni());
    EXPECT_EQ(test::ReadFile(UserIni()), "");
    EXPECT_TRUE(FileExists(UserIni()));

    // A folder given with its final separator, and no settings file.
    WriteFile(m_dir / "brambleton.ini", "[User]\nUserDataDirectory=" + m_dir.Path() + "u/\n");
    EXPECT_EQ(Load().folder, m_dir.Path() + "u/");
    EXPECT_TRUE(Load().userSettingsFile.empty());
    EXPECT_TRUE(FolderExists(m_dir / "u"));
}

TEST_F(UserDataTest, TemplateIsCopiedOnlyWhenNewer)
{
    WriteIni("CopyINIFile=template.ini\n");
    for (const test::FieldCase& c : test::FieldCases("settings/template-copies.txt")) {
        WriteFile(m_dir / "template.ini", c["template"]);
        if (c.Has("user")) {
            WriteFile(UserIni(), c["user"]);
        }
        Load();
        EXPECT_EQ(test::ReadFile(UserIni()), c["copied"] == "1" ? c["template"] : c["user"]) << c.name;
    }
}

// Opening a FIFO for writing waits for a reader (start-up hung), and a
// dangling link had its target made: something there that is no regular file
// is left as it is and not used, with the reason.
TEST_F(UserDataTest, ASettingsFileThatIsNoRegularFileIsLeftAloneAndNotUsed)
{
    namespace fs = std::filesystem;
    fs::create_directories(m_dir / "user/data");
    WriteFile(m_dir / "template.ini", "[INIFile]\nVersion=2\n");
    for (const bool fifo : {true, false}) {
        for (const char* copy : {"", "CopyINIFile=template.ini\n"}) {
            fs::remove(UserIni());
            ASSERT_EQ(fifo ? ::mkfifo(UserIni().c_str(), 0600) : ::symlink("target.ini", UserIni().c_str()), 0);
            WriteIni(copy);
            ::alarm(30); // a hang ends the tests instead of stopping them
            const CUserDataResult result = Load();
            ::alarm(0);
            const std::string what = std::string(fifo ? "fifo " : "link ") + copy;
            EXPECT_TRUE(result.userSettingsFile.empty()) << what;
            EXPECT_EQ(result.problem, "The user settings file " + UserIni() + " is not used: it is not a regular file.")
                << what;
            EXPECT_EQ(fifo ? fs::is_fifo(UserIni()) : fs::is_symlink(UserIni()), true) << what;
            EXPECT_FALSE(fs::exists(m_dir / "user/data/target.ini")) << what;
        }
    }
}

} // namespace
} // namespace bram
