#pragma once
// The main window: the panes of the three views in two splitters, the menu
// bar built from the "MainFrame" string table, and the commands of the
// document, the frame and the application.
//
// The three views fill the panes; F6 and Shift+F6 move between them.

#include "gui/common/Actions.h"
#include "gui/common/ControlIds.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QDockWidget;
class QSettings;
class QSplitter;

namespace bram {
class CApplicationDocument;
class CCodeInfoBase;
class CVariableBase;
struct SMatch;
struct SProblem;
struct SDocumentChange;
} // namespace bram

namespace bram::gui {

class CAutosave;
class CChangesView;
class CPalette;
class CCategoriesView;
class CFindView;
class CInstructionView;
class COutputView;
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
    static constexpr int kStatusMilliseconds = 5000;
    static inline const QString kGeometryKey = QStringLiteral("Window/Geometry");
    static inline const QString kMaximizedKey = QStringLiteral("Window/Maximized");
    static inline const QString kOuterKey = QStringLiteral("Window/OuterSplitter");
    static inline const QString kInnerKey = QStringLiteral("Window/InnerSplitter");
    // The Edit menu's clipboard commands; a view's table names its actions alike.
    enum class EClipboardCommand { Cut, Copy, Paste };

    // userSettingsFile holds the recent-file list; workingFolder holds "license.txt".
    CMainFrame(CApplicationDocument& document, const QString& userSettingsFile, const QString& workingFolder,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Actions by name ("New", "GenerateScript", "EditGlobals") or command id (ECommand) written out.
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
    // Cut, copy or paste on the focused text box, or on the selection
    // of the focused categories or instruction tree.
    void OnEditClipboard(EClipboardCommand command);
    // `selected`: the name of the variable the dialog opens on.
    void OnEditVariables(ECommand command, const std::string& selected = {});
    // Edit/Insert instruction by name (Ctrl+Space, or a letter typed on an
    // instruction or block): the palette of the instructions the current
    // trigger's root blocks take, over the instruction tree; the one chosen
    // is placed as New places it, its dialog open. `typed`: the text so far.
    void OnInsertByName(const QString& typed = {});
    // Edit/Go to (Ctrl+K): the palette of the triggers, categories and
    // globals; the one chosen is selected (a global: the variables dialog on it).
    void OnGoTo();
    CPalette* InsertPalette() const { return m_insertPalette; }
    CPalette* GoToPalette() const { return m_goToPalette; }
    void OnToCode();
    void OnAbout();
    void OnNextPane(bool forward);

    // Autosave into that folder every "User"/"AutosaveMinutes" minutes.
    void EnableAutosave(const QString& recoveryFolder);
    CAutosave* Autosave() const { return m_autosave.get(); }
    // Offers another editor's recovery file of that document (any when
    // empty); true when the document was restored from it.
    bool OfferRecovery(const QString& documentPath);
    QDockWidget* PreviewDock() const { return m_previewDock; }
    QDockWidget* ProblemsDock() const { return m_problemsDock; }
    // Selects the problem's trigger and instruction.
    void GoToProblem(const bram::SProblem& problem);
    // File > Compare with...: the changes from the data file (or, with an
    // empty path, the saved version of the document) to the open document in
    // the changes dock; false when the file does not read (a failure box says why).
    QDockWidget* ChangesDock() const { return m_changesDock; }
    CChangesView* ChangesView() const { return m_changesView; }
    bool CompareWith(const QString& path);
    void OnCompareWith(bool saved);
    // Selects the change's trigger and instruction; a beep when they are gone.
    void GoToChange(const bram::SDocumentChange& change);
    // The trigger and the instruction at that path (empty: the trigger alone).
    void GoToPlace(std::uint32_t triggerId, const std::vector<std::size_t>& path);
    // Edit/Run and Edit/Run with trace; false when nothing started.
    // Collapse all / expand all on the focused tree.
    void FoldFocusedTree(bool expand);
    bool OnRun(bool trace);
    COutputView* OutputView() const { return m_output; }

    // The find bar over the panes, hidden until Find; Escape in it hides it again.
    QDockWidget* FindDock() const { return m_findDock; }
    CFindView* FindView() const { return m_findView; }
    void OnFind();
    // The next or previous result, wrapping; a beep without results.
    void OnFindNext(bool forward);
    // The usages of a variable of the current state in the find bar.
    void ShowUsages(const bram::CVariableBase& variable);
    // The same for a global (or a local of the current trigger) by name; a beep when there is none.
    void ShowUsages(bool local, const std::string& name);
    // Selects the match's trigger and instruction, or selects the matched
    // text in its text box; a beep when the target is gone.
    void GoToMatch(const bram::SMatch& match, std::size_t length);

    // Ends what is being typed into a view (a label edit) as an edit of the
    // document, before the document is saved, closed or replaced.
    void EndEditing();
    // Asks to save unsaved changes; false when the user cancels (or saving fails).
    bool SaveModified();
    // Title, undo and redo texts, enable states; also run when a menu opens.
    void UpdateCommandUI();
    // The splitter sizes for the current client area.
    void LayOutPanes();
    // The window rectangle moved and shrunk as little as needed to lie within the screen area.
    static QRect FitToScreen(QRect window, const QRect& available);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Runs a modal dialog; tests answer it here.
    virtual int RunDialog(QDialog& dialog);

private:
    // Size, position, maximized state and splitter sizes in the user settings
    // file (group "Window"), restored fitted to the current screen.
    void RestoreWindowState();
    void SaveWindowState() const;
    static QList<int> ReadSizes(const QSettings& settings, const QString& key);
    void BuildActions();
    // Whether the widget that last had the focus takes the clipboard command now.
    bool ClipboardTarget(EClipboardCommand command) const;
    // The action table of the view that last had the focus, if it is one with a selection to copy.
    const CActionTable* FocusedViewActions() const;
    void BuildMenus();
    void BuildPanes();
    void BuildDocks();
    void BuildFindBar();
    void BuildPalettes();
    void GoTo(int entry);
    void ShowFindBar();
    void HideFindBar();
    // Makes the trigger the current one, as selecting it in the categories view does.
    void SelectTriggerById(std::uint32_t id);
    void SaveDockState() const;
    // The document equals its file again, or was given up: no recovery file.
    void DiscardRecovery();
    void UpdateTitle();
    // An undo or redo label with the name of the step, when there is one.
    static QString StepText(const QString& label, bool can, const std::string& step);
    void UpdateRecentFiles();
    bool DoSave(const QString& path);
    // The localized failure box with the path and the reader's or writer's reason under it.
    void ShowFailure(const char* key, bool error, const QString& path, const std::string& reason);
    // Reports a finished operation in the status bar for a few seconds.
    void ShowStatus(const QString& text);
    // The document's name with the script extension, in the folder of the
    // last script of this document or else the document's own.
    QString ProposedScriptPath() const;

    CApplicationDocument& m_document;
    QString m_workingFolder;
    QString m_userSettingsFile;
    std::unique_ptr<CRecentFileList> m_recent;
    CApplicationDocTemplate m_template;
    QString m_frameTitle;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    CCategoriesView* m_categories = nullptr;
    CInstructionView* m_instructions = nullptr;
    CActionTable m_actions;
    QDockWidget* m_previewDock = nullptr;
    QDockWidget* m_problemsDock = nullptr;
    QDockWidget* m_changesDock = nullptr;
    CChangesView* m_changesView = nullptr;
    QDockWidget* m_findDock = nullptr;
    QDockWidget* m_outputDock = nullptr;
    COutputView* m_output = nullptr;
    CFindView* m_findView = nullptr;
    // Where the focus goes back to when the find bar is hidden.
    QPointer<QWidget> m_focusBeforeFind;
    std::unique_ptr<CAutosave> m_autosave;
    // The instruction dialog, as the instruction view asks for instructions.
    std::unique_ptr<IInstructionChooser> m_chooser;
    CPalette* m_insertPalette = nullptr;
    CPalette* m_goToPalette = nullptr;
    // What the palettes' entries stand for, in their order.
    std::vector<const CCodeInfoBase*> m_insertChoices;
    struct SGoToChoice {
        enum class EKind { Trigger, Category, Global } kind;
        std::uint32_t id;
        std::string name;
    };
    std::vector<SGoToChoice> m_goToChoices;
    // Per document path, the folder its last script went to.
    QHash<QString, QString> m_scriptFolders;
    int m_listener = 0;
    bool m_laidOut = false;
    // Where the Edit menu's cut, copy and paste go: the focus before the menu opened.
    QPointer<QWidget> m_lastFocus;
};

} // namespace bram::gui
