// The about box: its texts, version line and licence decoding.

#include "gui/dialogs/AboutDialog.h"
#include "gui/common/ControlIds.h"

#include "GuiTestSupport.h"
#include "TestDataFiles.h"
#include "Version.h"
#include "localization/Localization.h"

#include <QPlainTextEdit>
#include <QScrollBar>

namespace bram {
namespace {

using gui::CAboutDialog;
using test::CTempDir;

TEST(LicenseDecodingTest, EncodingIsDecidedByTheFirstBytes)
{
    for (const test::FieldCase& c : test::FieldCases("gui/license-texts.txt")) {
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
    // The folder is given without its trailing separator; without the file the text stays empty.
    std::string folder = dir.Path();
    folder.pop_back();
    EXPECT_TRUE(CAboutDialog(QString::fromStdString(folder)).LicenseText().isEmpty());
    test::WriteFile(dir / "license.txt", "\xEF\xBB\xBF"
                                         "Licence \xC3\xA9t\xC3\xA9");
    CAboutDialog box(QString::fromStdString(folder));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About it"));
    EXPECT_EQ(box.ThanksText(), QStringLiteral("Thanks, all."));
    EXPECT_EQ(box.LicenseText(), QStringLiteral("Licence \u00E9t\u00E9"));
    EXPECT_EQ(box.VersionLine(), QStringLiteral("Version ") + QStringLiteral(BRAMBLETON_VERSION_STRING));
    EXPECT_TRUE(box.findChild<QPlainTextEdit*>(gui::ControlName(gui::EControl::AboutLicense))->isReadOnly());
}

TEST_F(AboutBoxTest, LongLicenceLinesWrapAndTheBoxResizes)
{
    test::WriteFile(dir / "license.txt", std::string(40, ' ') + std::string(3000, 'x') + " end");
    CAboutDialog box(QString::fromStdString(dir.Path()));
    box.show();
    const auto* licence = box.findChild<QPlainTextEdit*>(gui::ControlName(gui::EControl::AboutLicense));
    // No horizontal scrolling, even for a line without blanks.
    EXPECT_EQ(licence->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(licence->verticalScrollBar()->maximum(), 0);
    const QSize larger = box.size() + QSize(100, 50);
    box.resize(larger);
    EXPECT_EQ(box.size(), larger);
    EXPECT_TRUE(box.isSizeGripEnabled());
}

} // namespace
} // namespace bram
