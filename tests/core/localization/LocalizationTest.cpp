#include "TestSupport.h"

#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace bram {
namespace {

class LocalizationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetProcessState();
        CDiagnostics::Instance().SetObserver([this](std::string_view text) { m_log += text; });
        // The tables of tests/data/localization, in a folder the tests may add to.
        std::filesystem::create_directories(m_dir / "Data");
        std::filesystem::copy(BRAMBLETON_TEST_DATA_DIR "/localization", m_dir / "Data/Temp",
                              std::filesystem::copy_options::recursive);
        SetLocalizationPath(m_dir / "Data\\Temp");
        SetLanguage("en");
    }
    void TearDown() override { test::ResetProcessState(); }

    int CountInLog(const std::string& text) const
    {
        int n = 0;
        for (auto pos = m_log.find(text); pos != std::string::npos; pos = m_log.find(text, pos + 1)) {
            ++n;
        }
        return n;
    }

    test::CTempDir m_dir;
    std::string m_log;
};

TEST_F(LocalizationTest, KeyGroupNamesTheFileAndTheRestIsTheIdentifier)
{
    // Without a group: empty, silently, and no table is read.
    EXPECT_EQ(GetLocalizedString("NoSlash"), "");
    EXPECT_EQ(GetLocalizedString("/Leading"), "");
    EXPECT_EQ(GetLocalizationTableCount(), 0u);
    EXPECT_EQ(GetLocalizedString("MainFrame/Menu/EditMenu/Undo"), "&Undo");
    EXPECT_EQ(GetLocalizedString("CatView/NewTrigger"), "New trigger");
    EXPECT_EQ(GetLocalizationPath(), m_dir.Path() + "Data/Temp/");
    EXPECT_EQ(GetLocalizationTableCount(), 2u);
    EXPECT_EQ(m_log, "");
}

TEST_F(LocalizationTest, EntryRulesOfTheFileFormat)
{
    EXPECT_EQ(GetLocalizedString("G/a"), "second") << "a later entry wins";
    EXPECT_EQ(GetLocalizedString("G/cdata"), "<b>");
    EXPECT_EQ(GetLocalizedString("G/noText"), "noText");
    EXPECT_EQ(GetLocalizedString("G/b"), "b");
    EXPECT_EQ(GetLocalizedString("G/case"), "case") << "identifiers are case-sensitive";
    EXPECT_EQ(CountInLog("Key noText in file " + m_dir.Path() + "Data/Temp/en/G.xml not found.\n"), 1);
    // A wrong root or a broken file is a failed table.
    EXPECT_EQ(GetLocalizedString("Bad/a"), "a");
    EXPECT_EQ(GetLocalizedString("Broken/a"), "a");
    EXPECT_EQ(CountInLog("Could not open file "), 2);
}

TEST_F(LocalizationTest, MissingGroupIsLoggedOnceAndEachMissingKeyEachTime)
{
    const std::string path = m_dir.Path() + "Data/Temp/en/Loading.xml";
    EXPECT_EQ(GetLocalizedString("Loading/LoadTypes"), "LoadTypes");
    EXPECT_EQ(GetLocalizedString("Loading/LoadTypes"), "LoadTypes");
    EXPECT_EQ(GetLocalizedString("Loading/LoadBlocks"), "LoadBlocks");
    EXPECT_EQ(CountInLog("Could not open file " + path + ".\n"), 1);
    EXPECT_EQ(CountInLog("Key LoadTypes in file " + path + " not found.\n"), 2);
    EXPECT_EQ(CountInLog("Key LoadBlocks in file " + path + " not found.\n"), 1);

    // A file appearing later is not read again in this run.
    test::WriteFile(m_dir / "Data/Temp/en/Loading.xml",
                    "<stringtable><string id=\"LoadTypes\">Types</string></stringtable>");
    EXPECT_EQ(GetLocalizedString("Loading/LoadTypes"), "LoadTypes");
}

TEST_F(LocalizationTest, LanguageNeedsTwoToFourCharacters)
{
    ResetLocalization();
    // In turn: a refused name keeps the language before it.
    const std::pair<const char*, const char*> cases[] = {
        {"english", ""}, {"e", ""}, {"de", "de"}, {"de-CH", "de"}, {"zh-T", "zh-T"}};
    for (const auto& [name, language] : cases) {
        SetLanguage(name);
        EXPECT_EQ(GetLanguage(), language) << name;
    }
    SetLocalizationPath("");
    EXPECT_EQ(GetLocalizationPath(), "");
    SetLocalizationPath("Data\\Temp");
    EXPECT_EQ(GetLocalizationPath(), "Data/Temp/");
}

TEST_F(LocalizationTest, LoadedTablesAreRegisteredAndTheEarlierOneAnswers)
{
    CLocalizationTable* table = LoadLocalizationTable("MainFrame");
    EXPECT_EQ(table->Lookup("Title"), "Brambleton");
    EXPECT_EQ(table->Lookup("Nope"), "Nope");
    EXPECT_EQ(CountInLog("Key Nope in file "), 1);
    CLocalizationTable* file = LoadLocalizationFile(m_dir / "Data/Temp/en/MainFrame.xml");
    EXPECT_NE(file, table);
    EXPECT_EQ(GetLocalizedString("MainFrame/Title"), "Brambleton");
    EXPECT_EQ(GetLocalizationTableCount(), 2u);
    ReleaseLocalizationTables();
    EXPECT_EQ(GetLocalizationTableCount(), 0u);
}

TEST(PlaceholderTest, SplitAlternatesFixedAndParameterText)
{
    EXPECT_EQ(FormatParameterPlaceholder(0), "![Parameter1]");
    const std::vector<std::string> params{"P1", "P2"};
    EXPECT_EQ(SplitAtPlaceholders("Set ![Parameter1] to ![Parameter2]", params),
              (std::vector<std::string>{"Set ", "P1", " to ", "P2"}));
    EXPECT_EQ(SplitAtPlaceholders("![Parameter1]", {"P1"}), (std::vector<std::string>{"", "P1"}));
    // Out of order: the search for 2 starts after 1 and fails.
    EXPECT_EQ(SplitAtPlaceholders("a ![Parameter2] b ![Parameter1] c", params),
              (std::vector<std::string>{"a ![Parameter2] b ", "P1", " c"}));
    // Fewer parameter texts than placeholders stops the split.
    EXPECT_EQ(SplitAtPlaceholders("x ![Parameter1] y", {}), (std::vector<std::string>{"x ![Parameter1] y"}));
    EXPECT_TRUE(SplitAtPlaceholders("", params).empty());
}

TEST(PlaceholderTest, FillReplacesInOrderAndAssertsOnRepeats)
{
    test::ResetProcessState();
    const std::vector<std::string> params{"a", "b"};
    unsigned before = GetAssertionFailureCount();
    EXPECT_EQ(FillPlaceholders("f(![Parameter1], ![Parameter2])", params), "f(a, b)");
    EXPECT_EQ(FillPlaceholders("![Parameter2] then ![Parameter1]", params), "b then a");
    EXPECT_EQ(FillPlaceholders("only ![Parameter2]", params), "only ![Parameter2]") << "a missing 1 stops filling";
    EXPECT_EQ(GetAssertionFailureCount(), before);

    EXPECT_EQ(FillPlaceholders("![Parameter1]+![Parameter1]", params), "a+a");
    EXPECT_EQ(GetAssertionFailureCount(), before + 1) << "a repeated placeholder is an internal error";
}

} // namespace
} // namespace bram
