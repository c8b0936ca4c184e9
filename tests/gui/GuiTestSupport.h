#pragma once
// Helpers of the editor tests: prompts answered by the test, a copy of the
// sample workspace with the core started in it.

#include "gui/common/UserPrompts.h"
#include "gui/mainframe/MainFrame.h"

#include "TestSupport.h"
#include "app/ApplicationCore.h"
#include "document/ApplicationDocument.h"

#include <QComboBox>
#include <QStringList>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace bram {
class CCodeBase;
class CCodeInfoBase;
class CCodeTrigger;
class CTypeInfo;
class CUserDefinedVariable;
} // namespace bram

namespace bram::test {

// Answers file dialogs and message boxes from queues and records what was asked.
class CFakePrompts : public gui::IUserPrompts {
public:
    struct Box {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QString informative;
    };

    CFakePrompts() { gui::SetUserPrompts(this); }
    ~CFakePrompts() override { gui::SetUserPrompts(nullptr); }

    std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter) override;
    std::optional<QString> GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                           const QString& proposed) override;
    QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           const QString& informative) override;
    void Beep() override { ++beeps; }

    // Answers; an empty text or queue cancels a file dialog, an empty
    // queue answers a box with its first button.
    std::deque<QString> fileAnswers;
    std::deque<QMessageBox::StandardButton> boxAnswers;

    std::vector<Box> boxes;
    QStringList filters;
    QStringList defaultNames;
    QStringList saveTitles;
    int beeps = 0;
};

// A copy of the sample workspace in a scratch folder; TEMP and AppData point
// into it, so its log and user data stay there.
class CWorkspaceCopy {
public:
    CWorkspaceCopy();
    ~CWorkspaceCopy();
    const std::string& Path() const { return m_dir.Path(); }
    std::string operator/(std::string_view name) const { return m_dir / name; }
    // The log of the workspace settings.
    std::string Log() const;

private:
    CTempDir m_dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_oldEnvironment;
};

// The core started in a workspace copy (modules, settings, string tables).
class CStartedCore {
public:
    CStartedCore();
    ~CStartedCore();
    CWorkspaceCopy workspace;
    CApplicationCore core;
};

// A main window whose dialogs the test answers (unset: cancelled) and counts.
class CDrivenFrame : public gui::CMainFrame {
public:
    using CMainFrame::CMainFrame;
    std::function<int(QDialog&)> answer;
    int dialogs = 0;

protected:
    int RunDialog(QDialog& dialog) override
    {
        ++dialogs;
        return answer ? answer(dialog) : QDialog::Rejected;
    }
};

// A new document on the started sample workspace, its prompts answered by the test.
class DocumentTest : public ::testing::Test {
protected:
    DocumentTest() { document.NewDocument(); }
    // A main window on the document, with "user.ini" of the workspace as its user settings.
    std::unique_ptr<CDrivenFrame> MakeFrame();
    QString Path(std::string_view name) const { return QString::fromStdString(started.workspace / name); }
    CUserDefinedVariable* AddGlobal(const std::string& name, const std::string& type = "Number");
    // What a view does: record a step, change the state, update the views.
    void AddGlobalStep(const std::string& name);
    // The names of the document's globals, in order.
    std::vector<std::string> GlobalNames() const;

    CStartedCore started;
    CFakePrompts prompts;
    CApplicationDocument document;
};

// A trigger in a new category of the document, made the current trigger.
CCodeTrigger* AddCurrentTrigger(CApplicationDocument& document, const std::string& name);

// The loaded type of that name.
const CTypeInfo* TypeNamed(const std::string& name);

// A structure or call of the sample modules by name.
const CCodeInfoBase* Definition(const std::string& name);

QStringList Items(const QComboBox* combo);
// "column|column..." of the given columns, per top-level item.
QStringList Rows(const QTreeWidget* tree, std::initializer_list<int> columns);
// '1' (enabled) or '0' per named action.
std::string EnabledStates(const std::function<const QAction*(const char*)>& action,
                          std::initializer_list<const char*> names);

// What a screen reader does to a check box or radio button: its toggle
// action, no click. False when the control offers none.
[[nodiscard]] bool AccessibleToggle(QWidget* control);

// Shows the window and makes it active, so that keys and clicks reach it.
[[nodiscard]] bool ShowActive(QWidget& window);

} // namespace bram::test
