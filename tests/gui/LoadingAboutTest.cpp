// The loading box's bar as the start-up drives it, and the about box's
// version line and licence decoding.

#include "AboutDialog.h"
#include "LoadingBox.h"

#include "GuiTestSupport.h"
#include "TestDataFiles.h"
#include "Version.h"
#include "localization/Localization.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <gtest/gtest.h>

namespace bram {
namespace {

using gui::CAboutDialog;
using gui::CLoadingBox;
using test::CTempDir;

// Fixed shares of 0.01 and 0.07 and files of 300 and 700 bytes.
struct LoadingBoxTest : ::testing::Test {
    void SetUp() override
    {
        test::WriteFile(dir / "small", std::string(300, 'x'));
        test::WriteFile(dir / "large", std::string(700, 'x'));
        progress.AddFixedTask(0.01f);
        progress.AddFixedTask(0.07f);
        progress.AddFileTask(dir / "small");
        progress.AddFileTask(dir / "large");
        box.show();
    }
    QProgressBar* Bar() const { return box.findChild<QProgressBar*>(QStringLiteral("1036")); }

    CTempDir dir;
    CLoadingBox box;
    CLoadingProgress& progress = box.Progress();
};

TEST_F(LoadingBoxTest, BarFollowsFinishedTasksAndFractions)
{
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->minimum(), 0);
    EXPECT_EQ(Bar()->maximum(), 1000);
    EXPECT_EQ(Bar()->value(), 0);
    EXPECT_EQ(progress.GetTotal(), 1086u);

    // Half of the 700-byte task while nothing is done.
    progress.SelectTask(dir / "large");
    progress.SetTaskProgress(0.5);
    EXPECT_EQ(Bar()->value(), 322);

    progress.SelectTask(dir / "small");
    progress.FinishTask();
    EXPECT_EQ(Bar()->value(), 276);
    progress.SelectTask(1);
    progress.FinishTask();
    EXPECT_EQ(progress.GetDone(), 376u);
    EXPECT_EQ(Bar()->value(), 346);
}

TEST_F(LoadingBoxTest, TextLinesShowWhatTheModelSays)
{
    progress.SetStageText("Initialization...");
    progress.SetDetailText("<b>Setup</b> & more");
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("1037"))->text(), QStringLiteral("Initialization..."));
    // Shown as it is, never as markup.
    const QLabel* detail = box.findChild<QLabel*>(QStringLiteral("1038"));
    EXPECT_EQ(detail->text(), QStringLiteral("<b>Setup</b> & more"));
    EXPECT_EQ(detail->textFormat(), Qt::PlainText);
}

TEST(LicenseDecodingTest, EncodingIsDecidedByTheFirstBytes)
{
    const std::vector<test::FieldCase> cases = test::FieldCases("gui/license-texts.txt");
    ASSERT_EQ(cases.size(), 8u);
    for (const test::FieldCase& c : cases) {
        EXPECT_EQ(CAboutDialog::DecodeLicenseText(c["bytes"]), QString::fromUtf8(c["text"])) << c.name;
    }
}

struct AboutBoxTest : ::testing::Test {
    void SetUp() override
    {
        test::ResetProcessState();
        test::WriteFile(dir / "en/AboutBox.xml", "<stringtable><string id=\"Title\">About it</string>"
                                                 "<string id=\"ThanksTo\">Thanks, all.</string></stringtable>");
        SetLocalizationPath(dir.Path());
        SetLanguage("en");
    }
    void TearDown() override { test::ResetProcessState(); }
    CTempDir dir;
};

TEST_F(AboutBoxTest, ShowsTitleVersionLicenceAndThanks)
{
    test::WriteFile(dir / "license.txt", "\xEF\xBB\xBF"
                                         "Licence \xC3\xA9t\xC3\xA9");
    CAboutDialog box(QString::fromStdString(dir.Path()));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About it"));
    EXPECT_EQ(box.ThanksText(), QStringLiteral("Thanks, all."));
    EXPECT_EQ(box.LicenseText(), QStringLiteral("Licence \u00E9t\u00E9"));
    EXPECT_EQ(box.VersionLine(), QStringLiteral("Version ") + QStringLiteral(BRAMBLETON_VERSION_STRING));
    EXPECT_TRUE(box.findChild<QPlainTextEdit*>(QStringLiteral("1041"))->isReadOnly());
}

TEST_F(AboutBoxTest, MissingLicenceLeavesTheTextEmpty)
{
    // The folder without a trailing separator gets one.
    std::string folder = dir.Path();
    folder.pop_back();
    CAboutDialog box(QString::fromStdString(folder));
    EXPECT_TRUE(box.LicenseText().isEmpty());
}

} // namespace
} // namespace bram
