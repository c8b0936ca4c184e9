#include "gui/dialogs/AboutDialog.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"

#include "Version.h"
#include "base/Paths.h"
#include "base/Text.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace bram::gui {

CAboutDialog::CAboutDialog(const QString& folder, QWidget* parent)
    : QDialog(parent), m_version(new QLabel(this)), m_license(new QPlainTextEdit(this)), m_thanks(new QLabel(this))
{
    setWindowTitle(Localized("AboutBox/Title"));
    auto* product = new QLabel(QStringLiteral("Brambleton (brambleton)"), this);
    m_version->setObjectName(ControlName(EControl::AboutVersion));
    m_license->setObjectName(ControlName(EControl::AboutLicense));
    m_thanks->setObjectName(ControlName(EControl::AboutThanks));
    m_thanks->setTextFormat(Qt::PlainText);
    m_thanks->setWordWrap(true);
    m_license->setReadOnly(true);
    // Long lines wrap at the box's width; the box can be made larger.
    m_license->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_license->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSizeGripEnabled(true);
    m_license->setAccessibleName(QStringLiteral("License"));

    m_version->setText(FormatVersionLine());
    std::string path = folder.toStdString();
    if (!path.empty() && path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    // A missing file leaves the text empty.
    if (const auto bytes = ReadWholeFile(path + "license.txt")) {
        m_license->setPlainText(DecodeLicenseText(*bytes));
    }
    m_thanks->setText(Localized("AboutBox/ThanksTo"));

    auto* group = new QGroupBox(QStringLiteral("License"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_license);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product);
    layout->addWidget(m_version);
    layout->addWidget(group, 1);
    layout->addWidget(m_thanks);
    layout->addWidget(buttons);
    resize(560, 570);
}

QString CAboutDialog::VersionLine() const { return m_version->text(); }
QString CAboutDialog::LicenseText() const { return m_license->toPlainText(); }
QString CAboutDialog::ThanksText() const { return m_thanks->text(); }

QString CAboutDialog::DecodeLicenseText(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const std::size_t units = (bytes.size() - 2) / 2;
        return ToQ(Utf16LEBytesToUtf8(std::string_view(bytes).substr(2, units * 2)));
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return QString::fromUtf8(bytes.data() + 3, static_cast<qsizetype>(bytes.size() - 3));
    }
    return ToQ(CodePageToUtf8(bytes, "CP1252"));
}

QString CAboutDialog::FormatVersionLine()
{
    QString line = QStringLiteral("Version ");
#if defined(BRAMBLETON_VERSION_MAJOR) && defined(BRAMBLETON_VERSION_TWEAK)
    line += ToQ(StringPrintf("%d.%d.%d.%d", BRAMBLETON_VERSION_MAJOR + 0, BRAMBLETON_VERSION_MINOR + 0,
                             BRAMBLETON_VERSION_PATCH + 0, BRAMBLETON_VERSION_TWEAK + 0));
#else
    line += QStringLiteral("Unknown");
#endif
    return line;
}

} // namespace bram::gui
