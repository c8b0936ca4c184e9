#pragma once
// The main window: the panes of the three views in two splitters, the menu
// bar built from the "MainFrame" string table, and the commands of the
// document, the frame and the application.
//
// The three views fill the panes; F6 and Shift+F6 move between them.

#include "gui/mainframe/Actions.h"

#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QDialog;
class QSplitter;

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CCategoriesView;
class CInstructionView;
class CRecentFileList;
class IInstructionChooser;

// The texts the file dialogs are filtered by: the data file type, swapped
// for the script file type while a script file name is chosen.
class CApplicationDocTemplate {
public:
    void SetFilterExtension(QString extension) { m_extension = std::move(extension); }
    const QString& GetFilterExtension() const { return m_extension; }
    void SetFilterName(QString name) { m_name = std::move(name); }
    const QString& GetFilterName() const { return m_name; }
    // "Name (*.ext)"
    QString Filter() const;
    // The extension a chosen name without one gets (".bdf" for "*.bdf").
    QString DefaultSuffix() const;

private:
    QString m_extension;
    QString m_name;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    enum : int {
        ID_GENERATE_SCRIPT = 62004,
        ID_EDIT_GLOBALS = 62005,
        ID_EDIT_LOCALS = 62006,
        ID_TO_CODE = 62007,
    };

    // userSettingsFile holds the recent-file list; workingFolder holds "license.txt".
    CMainFrame(CApplicationDocument& document, const QString& userSettingsFile, const QString& workingFolder,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Actions by name ("New", "GenerateScript", "EditGlobals") or command id ("62004").
    QAction* Action(const QString& name) const { return m_actions.Find(name); }
    const CActionTable& Actions() const { return m_actions; }
    CRecentFileList& RecentFiles() { return *m_recent; }
    CApplicationDocTemplate& DocTemplate() { return m_template; }
    QSplitter* OuterSplitter() const { return m_outer; }
    QSplitter* InnerSplitter() const { return m_inner; }
    QWidget* CategoriesPane() const;
    QWidget* CommentPane() const;
    QWidget* InstructionPane() const;
    // What New and edit in the instruction view ask for an instruction (the
    // caller keeps it); without one they do nothing.
    void SetInstructionChooser(IInstructionChooser* chooser);

    // Commands; the bool ones answer whether the command was carried out.
    bool OnFileNew();
    bool OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    bool OnOpenRecentFile(int index);
    // Opens a data file as the command line or the open command does.
    bool OpenFile(const QString& path);
    void OnGenerateScript();
    void OnEditUndo();
    void OnEditRedo();
    void OnEditVariables(int command);
    void OnToCode();
    void OnAbout();
    void OnNextPane(bool forward);

    // Asks to save unsaved changes; false when the user cancels (or saving fails).
    bool SaveModified();
    // Title, undo and redo texts, enable states; also run when a menu opens.
    void UpdateCommandUI();
    // The splitter sizes for the current client area.
    void LayOutPanes();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Runs a modal dialog; tests answer it here.
    virtual int RunDialog(QDialog& dialog);

private:
    void BuildActions();
    void BuildMenus();
    void BuildPanes();
    void UpdateTitle();
    // An undo or redo label with the name of the step, when there is one.
    static QString StepText(const QString& label, bool can, const std::string& step);
    void UpdateRecentFiles();
    bool DoSave(const QString& path);
    void ShowFailure(const char* key, bool error);

    CApplicationDocument& m_document;
    QString m_workingFolder;
    std::unique_ptr<CRecentFileList> m_recent;
    CApplicationDocTemplate m_template;
    QString m_frameTitle;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    CCategoriesView* m_categories = nullptr;
    CInstructionView* m_instructions = nullptr;
    CActionTable m_actions;
    int m_listener = 0;
    bool m_laidOut = false;
};

} // namespace bram::gui
