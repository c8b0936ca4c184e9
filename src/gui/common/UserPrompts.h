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
    // title: empty for the platform's own; proposed: a name, or a path whose folder the dialog opens in.
    virtual std::optional<QString> GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                                   const QString& proposed) = 0;
    // informative: the details under the text (a path and a reason), or empty.
    virtual QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                   const QString& text, QMessageBox::StandardButtons buttons,
                                                   const QString& informative) = 0;
    virtual void Beep() = 0;
};

// The real dialogs.
class CQtUserPrompts : public IUserPrompts {
public:
    std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter) override;
    std::optional<QString> GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                           const QString& proposed) override;
    QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           const QString& informative) override;
    void Beep() override;
};

// Nobody at the screen (BRAMBLETON_UNATTENDED, for scripted runs and tests of
// the program): a box is written to standard error as "TITLE: TEXT" with its
// details under it and answered with its first button; file dialogs are cancelled.
class CUnattendedPrompts : public IUserPrompts {
public:
    std::optional<QString> GetOpenFileName(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           const QString& informative) override;
    void Beep() override {}
};

// The first of the buttons (in the order of their values).
QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons);

IUserPrompts& UserPrompts();
// Null puts the real dialogs back; the caller keeps ownership.
void SetUserPrompts(IUserPrompts* prompts);

// A core text (UTF-8) for a widget.
inline QString ToQ(const std::string& text) { return QString::fromStdString(text); }
// A localized text by key.
QString Localized(const char* key);
// A localized text by key with "![Parameter1]"... filled in order.
QString Localized(const char* key, const QStringList& parameters);
// A menu text as a plain title: no mnemonic, no key after a tab, no trailing dots.
QString PlainMenuText(QString text);
// The title of message boxes that have none of their own: the program's name.
QString MessageTitle();

// The file-dialog filter of a file type: "Description (*.ext)"; with an
// empty pattern every file.
QString FileFilter(const QString& description, const QString& pattern);

} // namespace bram::gui
