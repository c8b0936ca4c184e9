#pragma once
// Every file dialog, message box and beep of the editor goes through one
// replaceable object, so that tests can answer them without real dialogs.

#include <QMessageBox>
#include <QString>

#include <optional>

class QWidget;

namespace bram::gui {

class IUserPrompts {
public:
    virtual ~IUserPrompts() = default;
    // A file to open; nothing when the user cancels.
    virtual std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter) = 0;
    // A file to save to; the path must exist and an existing file is confirmed.
    virtual std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter,
                                                   const QString& defaultName) = 0;
    virtual QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                   const QString& text, QMessageBox::StandardButtons buttons) = 0;
    virtual void Beep() = 0;
};

// The real dialogs.
class CQtUserPrompts : public IUserPrompts {
public:
    std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter) override;
    std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter, const QString& defaultName) override;
    QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons) override;
    void Beep() override;
};

IUserPrompts& UserPrompts();
// Null puts the real dialogs back; the caller keeps ownership.
void SetUserPrompts(IUserPrompts* prompts);

// A core text (UTF-8) for a widget.
inline QString ToQ(const std::string& text) { return QString::fromStdString(text); }
// A localized text by key.
QString Localized(const char* key);
// The title of message boxes that have none of their own: the program's name.
QString MessageTitle();

// The file-dialog filter of a file type: "Description (*.ext)"; with an
// empty pattern every file.
QString FileFilter(const QString& description, const QString& pattern);

} // namespace bram::gui
