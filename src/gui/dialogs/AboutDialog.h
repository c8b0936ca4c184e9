#pragma once
// The about box: product line, version, the licence text of "license.txt"
// in the working folder, and the thanks-to text.

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;

namespace bram::gui {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    // folder: the working folder that holds "license.txt".
    explicit CAboutDialog(const QString& folder, QWidget* parent = nullptr);

    QString VersionLine() const;
    QString LicenseText() const;
    QString ThanksText() const;

    // A licence file's bytes as text: FF FE is UTF-16LE (an odd last byte is
    // dropped), EF BB BF is UTF-8, anything else Windows-1252.
    static QString DecodeLicenseText(const std::string& bytes);
    // "Version " and the program's four-part version, or "Unknown".
    static QString FormatVersionLine();

private:
    QLabel* m_version;
    QPlainTextEdit* m_license;
    QLabel* m_thanks;
};

} // namespace bram::gui
