#include "gui/app/UserPrompts.h"

#include "localization/Localization.h"

#include <QApplication>
#include <QFileDialog>

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

std::optional<QString> CQtUserPrompts::GetSaveFileName(QWidget* parent, const QString& filter,
                                                       const QString& defaultName)
{
    const QString path = QFileDialog::getSaveFileName(parent, QString(), defaultName, filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

QMessageBox::StandardButton CQtUserPrompts::MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                       const QString& text, QMessageBox::StandardButtons buttons)
{
    // Texts may carry Windows line ends.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, title, shown, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CQtUserPrompts::Beep() { QApplication::beep(); }

IUserPrompts& UserPrompts()
{
    static CQtUserPrompts real;
    return g_prompts != nullptr ? *g_prompts : real;
}

void SetUserPrompts(IUserPrompts* prompts) { g_prompts = prompts; }

QString Localized(const char* key) { return ToQ(GetLocalizedString(key)); }

QString MessageTitle() { return QStringLiteral("Brambleton"); }

QString FileFilter(const QString& description, const QString& pattern)
{
    const QString files = pattern.isEmpty() ? QStringLiteral("*") : pattern;
    return QStringLiteral("%1 (%2)").arg(description, files);
}

} // namespace bram::gui
