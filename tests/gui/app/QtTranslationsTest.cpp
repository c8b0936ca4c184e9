// Qt's own texts follow the workspace language: the standard buttons and
// key names of a German workspace are German, English is the fallback.

#include "gui/app/QtTranslations.h"
#include "gui/app/Application.h"

#include "GuiTestSupport.h"
#include "base/Text.h"

#include <QKeySequence>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>

namespace bram {
namespace {

struct QtTexts {
    QString yes;
    QString no;
    QString deleteKey;
};

QtTexts CurrentQtTexts()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("t"),
                    QMessageBox::Yes | QMessageBox::No);
    return {box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
            QKeySequence(Qt::CTRL | Qt::Key_Delete).toString(QKeySequence::NativeText)};
}

const QtTexts kEnglish{QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Ctrl+Del")};
const QtTexts kGerman{QStringLiteral("&Ja"), QStringLiteral("&Nein"), QStringLiteral("Strg+Entf")};

void ExpectTexts(const QtTexts& expected)
{
    const QtTexts texts = CurrentQtTexts();
    EXPECT_EQ(texts.yes, expected.yes);
    EXPECT_EQ(texts.no, expected.no);
    EXPECT_EQ(texts.deleteKey, expected.deleteKey);
}

TEST(QtTranslationsTest, TheWorkspaceLanguageTranslatesQtUntilShutDown)
{
    for (const auto& [language, expected] : {std::pair{"de", kGerman}, std::pair{"en", kEnglish}}) {
        SCOPED_TRACE(language);
        test::CWorkspaceCopy workspace;
        test::CFakePrompts prompts;
        std::string ini = test::ReadFile(workspace / "brambleton.ini");
        ReplaceAll(ini, "Language=en", std::string("Language=") + language);
        test::WriteFile(workspace / "brambleton.ini", ini);
        gui::CApplication app;
        ASSERT_TRUE(app.InitInstance(QString::fromStdString(workspace.Path()), {}));
        ExpectTexts(expected);
        app.ExitInstance();
        ExpectTexts(kEnglish);
        EXPECT_TRUE(prompts.boxes.empty());
    }
}

TEST(QtTranslationsTest, EnglishOrAMissingTranslationInstallsNothing)
{
    const test::CTempDir empty;
    const struct {
        const char* language;
        QString folder;
        bool installed;
    } cases[] = {
        {"de", {}, true},
        {"en", {}, false},
        {"en_GB", {}, false},
        {"de", QString::fromStdString(empty.Path()), false},
        {"no such language", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " in " + c.folder.toStdString());
        gui::CQtTranslations translations;
        EXPECT_EQ(translations.Install(QString::fromLatin1(c.language), c.folder), c.installed);
        EXPECT_EQ(translations.IsInstalled(), c.installed);
        ExpectTexts(c.installed ? kGerman : kEnglish);
    }
    ExpectTexts(kEnglish);
}

} // namespace
} // namespace bram
