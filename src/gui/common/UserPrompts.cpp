#include "gui/common/UserPrompts.h"

#include "localization/Localization.h"

#include <QApplication>
#include <QFileDialog>

#include <cstdio>

namespace bram::gui {

namespace {
IUserPrompts* g_prompts = nullptr;
} // namespace

std::optional<QString> CQtUserPrompts::GetOpenFileName(QWidget* parent, const QString& filter)
{
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> CQtUserPrompts::GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                                       const QString& proposed)
{
    const QString path = QFileDialog::getSaveFileName(parent, title, proposed, filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

QMessageBox::StandardButton CQtUserPrompts::MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                       const QString& text, QMessageBox::StandardButtons buttons,
                                                       const QString& informative)
{
    // Texts may carry Windows line ends.
    const auto unix = [](QString shown) { return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); };
    QMessageBox box(icon, title, unix(text), buttons, parent);
    // Paths and reasons are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(unix(informative));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CQtUserPrompts::Beep() { QApplication::beep(); }

QMessageBox::StandardButton CUnattendedPrompts::MessageBox(QWidget*, QMessageBox::Icon, const QString& title,
                                                           const QString& text, QMessageBox::StandardButtons buttons,
                                                           const QString& informative)
{
    QString shown = title + QStringLiteral(": ") + text + QLatin1Char('\n');
    if (!informative.isEmpty()) {
        shown += informative + QLatin1Char('\n');
    }
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fputs(shown.toLocal8Bit().constData(), stderr);
    return FirstButton(buttons);
}

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons)
{
    for (unsigned bit = 0; bit < 32; ++bit) {
        const auto button = static_cast<QMessageBox::StandardButton>(1u << bit);
        if (buttons.testFlag(button)) {
            return button;
        }
    }
    return QMessageBox::NoButton;
}

IUserPrompts& UserPrompts()
{
    static CQtUserPrompts real;
    return g_prompts != nullptr ? *g_prompts : real;
}

void SetUserPrompts(IUserPrompts* prompts) { g_prompts = prompts; }

QString Localized(const char* key) { return ToQ(GetLocalizedString(key)); }

QString Localized(const char* key, const QStringList& parameters)
{
    std::vector<std::string> values;
    for (const QString& parameter : parameters) {
        values.push_back(parameter.toStdString());
    }
    // A value is never scanned for placeholders itself (a path may hold "![Parameter2]").
    std::string text;
    AppendFilledPlaceholders(
        text, GetLocalizedString(key), values.size(),
        [](const void* context, std::string& out, std::size_t index) {
            out += (*static_cast<const std::vector<std::string>*>(context))[index];
        },
        &values);
    return ToQ(text);
}

QString PlainMenuText(QString text)
{
    if (const qsizetype tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        text.truncate(tab);
    }
    // "&&" is a shown "&"; a single "&" marks the mnemonic.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QChar(0x2026))) {
        text.chop(1);
    }
    return text.trimmed();
}

QString MessageTitle() { return QStringLiteral("Brambleton"); }

QString FileFilter(const QString& description, const QString& pattern)
{
    const QString files = pattern.isEmpty() ? QStringLiteral("*") : pattern;
    return QStringLiteral("%1 (%2)").arg(description, files);
}

} // namespace bram::gui
