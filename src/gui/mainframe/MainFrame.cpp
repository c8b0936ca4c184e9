#include "gui/mainframe/MainFrame.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/Palette.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/InstructionDialog.h"
#include "gui/dialogs/VariablesDialog.h"
#include "gui/mainframe/Autosave.h"
#include "gui/mainframe/RecentFileList.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/CommentView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/OutputView.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/Problems.h"
#include "history/StepName.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>

namespace bram::gui {

namespace {

// The instruction dialog runs as the frame's other dialogs do.
class CFrameChooser : public CInstructionDialogChooser {
public:
    explicit CFrameChooser(std::function<int(QDialog&)> run) : m_run(std::move(run)) {}

protected:
    int Run(CInstructionDialog& dialog) override { return m_run(dialog); }

private:
    std::function<int(QDialog&)> m_run;
};

} // namespace

QString CApplicationDocTemplate::Filter() const { return FileFilter(m_name, m_extension); }

QString CApplicationDocTemplate::DefaultSuffix() const
{
    const int dot = m_extension.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || m_extension.contains(QLatin1Char(';'))) {
        return {};
    }
    const QString suffix = m_extension.mid(dot);
    return suffix.contains(QLatin1Char('*')) || suffix.size() < 2 ? QString() : suffix;
}

CMainFrame::CMainFrame(CApplicationDocument& document, const QString& userSettingsFile, const QString& workingFolder,
                       QWidget* parent)
    : QMainWindow(parent),
      m_document(document),
      m_workingFolder(workingFolder),
      m_userSettingsFile(userSettingsFile),
      m_recent(std::make_unique<CRecentFileList>(userSettingsFile)),
      m_actions(this, "MainFrame")
{
    setObjectName(QStringLiteral("MainFrame"));
    // The menu and title are read once; later changes of the table are not seen.
    m_frameTitle = m_actions.Label("Title");
    BuildActions();
    BuildMenus();
    BuildPanes();
    BuildDocks();
    BuildPalettes();
    m_chooser = std::make_unique<CFrameChooser>([this](QDialog& dialog) { return RunDialog(dialog); });
    SetInstructionChooser(m_chooser.get());
    m_listener = m_document.AddUpdateListener([this] {
        // What a palette lists may be gone.
        m_insertPalette->Close();
        m_goToPalette->Close();
        UpdateCommandUI();
    });
    UpdateCommandUI();
    RestoreWindowState();
}

CMainFrame::~CMainFrame()
{
    // The docks' views leave the document before it is told anything more.
    delete m_previewDock;
    delete m_problemsDock;
    delete m_findDock;
    m_document.RemoveUpdateListener(m_listener);
}

// A table with one entry per command; its length is the number of commands.
// NOLINTNEXTLINE(readability-function-size)
void CMainFrame::BuildActions()
{
    const auto trigger = [this]() -> const CCodeTrigger* {
        const CState* state = m_document.GetState();
        return state != nullptr ? state->GetCurrentTrigger() : nullptr;
    };
    const auto never = [] { return false; };
    const auto key = [](QKeyCombination combination) { return QKeySequence(combination); };
    const CActionEntry entries[] = {
        {.name = "New",
         .textKey = "Menu/FileMenu/New",
         .keys = {key(Qt::CTRL | Qt::Key_N)},
         .handler = [this] { OnFileNew(); }},
        {.name = "Open",
         .textKey = "Menu/FileMenu/Open",
         .keys = {key(Qt::CTRL | Qt::Key_O)},
         .handler = [this] { OnFileOpen(); }},
        {.name = "Save",
         .textKey = "Menu/FileMenu/Save",
         .keys = {key(Qt::CTRL | Qt::Key_S)},
         .handler = [this] { OnFileSave(); }},
        {.name = "SaveAs",
         .textKey = "Menu/FileMenu/SaveAs",
         .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
         .handler = [this] { OnFileSaveAs(); }},
        {.name = "CompareWith", .textKey = "Menu/FileMenu/CompareWith", .handler = [this] { OnCompareWith(false); }},
        {.name = "CompareWithSaved",
         .textKey = "Menu/FileMenu/CompareWithSaved",
         .handler = [this] { OnCompareWith(true); },
         .enabled = [this] { return !m_document.GetPathName().empty(); }},
        {.name = "GenerateScript",
         .command = ECommand::GenerateScript,
         .textKey = "Menu/FileMenu/GenerateScript",
         .keys = {key(Qt::CTRL | Qt::Key_B)},
         .handler = [this] { OnGenerateScript(); }},
        // Stands for the recent-file list while it is empty, greyed.
        {.name = "LastFile", .textKey = "Menu/FileMenu/LastFile", .enabled = never},
        {.name = "Recent1", .handler = [this] { OnOpenRecentFile(0); }},
        {.name = "Recent2", .handler = [this] { OnOpenRecentFile(1); }},
        {.name = "Recent3", .handler = [this] { OnOpenRecentFile(2); }},
        {.name = "Recent4", .handler = [this] { OnOpenRecentFile(3); }},
        {.name = "Quit",
         .textKey = "Menu/FileMenu/Quit",
         .keys = {key(Qt::CTRL | Qt::Key_Q)},
         .handler = [this] { close(); }},
        {.name = "Undo",
         .textKey = "Menu/EditMenu/Undo",
         .keys = {key(Qt::CTRL | Qt::Key_Z), key(Qt::ALT | Qt::Key_Backspace)},
         .handler = [this] { OnEditUndo(); },
         .enabled = [this] { return m_document.CanUndo(); },
         .text =
             [this](const QString& label) { return StepText(label, m_document.CanUndo(), m_document.GetUndoName()); }},
        {.name = "Redo",
         .textKey = "Menu/EditMenu/Redo",
         .keys = {key(Qt::CTRL | Qt::Key_Y), key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
         .handler = [this] { OnEditRedo(); },
         .enabled = [this] { return m_document.CanRedo(); },
         .text =
             [this](const QString& label) { return StepText(label, m_document.CanRedo(), m_document.GetRedoName()); }},
        // Cut, copy and paste act on the focused view or text box.
        {.name = "Cut",
         .textKey = "Menu/EditMenu/Cut",
         .keys = {key(Qt::CTRL | Qt::Key_X), key(Qt::SHIFT | Qt::Key_Delete)},
         .handler = [this] { OnEditClipboard(EClipboardCommand::Cut); },
         .enabled = [this] { return ClipboardTarget(EClipboardCommand::Cut); }},
        {.name = "Copy",
         .textKey = "Menu/EditMenu/Copy",
         .keys = {key(Qt::CTRL | Qt::Key_C), key(Qt::CTRL | Qt::Key_Insert)},
         .handler = [this] { OnEditClipboard(EClipboardCommand::Copy); },
         .enabled = [this] { return ClipboardTarget(EClipboardCommand::Copy); }},
        {.name = "Paste",
         .textKey = "Menu/EditMenu/Paste",
         .keys = {key(Qt::CTRL | Qt::Key_V), key(Qt::SHIFT | Qt::Key_Insert)},
         .handler = [this] { OnEditClipboard(EClipboardCommand::Paste); },
         .enabled = [this] { return ClipboardTarget(EClipboardCommand::Paste); }},
        {.name = "Find",
         .textKey = "Menu/EditMenu/Find",
         .keys = {key(Qt::CTRL | Qt::Key_F)},
         .handler = [this] { OnFind(); },
         .enabled = [this] { return m_document.GetState() != nullptr; }},
        {.name = "FindNext",
         .textKey = "Menu/EditMenu/FindNext",
         .keys = {key(Qt::Key_F3)},
         .handler = [this] { OnFindNext(true); }},
        {.name = "GoTo",
         .textKey = "Menu/EditMenu/GoTo",
         .keys = {key(Qt::CTRL | Qt::Key_K)},
         .handler = [this] { OnGoTo(); },
         .enabled = [this] { return m_document.GetState() != nullptr; }},
        {.name = "InsertByName",
         .textKey = "Menu/EditMenu/InsertByName",
         .keys = {key(Qt::CTRL | Qt::Key_Space)},
         .handler = [this] { OnInsertByName(); },
         .enabled = [trigger] { return trigger() != nullptr && !trigger()->IsCode(); }},
        {.name = "FindPrevious",
         .textKey = "Menu/EditMenu/FindPrevious",
         .keys = {key(Qt::SHIFT | Qt::Key_F3)},
         .handler = [this] { OnFindNext(false); }},
        {.name = "EditGlobals",
         .command = ECommand::EditGlobals,
         .textKey = "Menu/EditMenu/EditGlobals",
         .handler = [this] { OnEditVariables(ECommand::EditGlobals); },
         .enabled = [this] { return m_document.GetState() != nullptr; }},
        {.name = "EditLocals",
         .command = ECommand::EditLocals,
         .textKey = "Menu/EditMenu/EditLocals",
         .handler = [this] { OnEditVariables(ECommand::EditLocals); },
         .enabled = [trigger] { return trigger() != nullptr; }},
        {.name = "ToCode",
         .command = ECommand::ToCode,
         .textKey = "Menu/EditMenu/ToCode",
         .handler = [this] { OnToCode(); },
         .enabled = [trigger] { return trigger() != nullptr && !trigger()->IsCode(); }},
        {.name = "About", .textKey = "Menu/HelpMenu/About", .handler = [this] { OnAbout(); }},
        // Keys without a menu item: print has no handler, F6 moves between panes.
        {.name = "Print", .textKey = "Action/Print", .keys = {key(Qt::CTRL | Qt::Key_P)}},
        {.name = "NextPane",
         .textKey = "Action/NextPane",
         .keys = {key(Qt::Key_F6)},
         .handler = [this] { OnNextPane(true); }},
        {.name = "PrevPane",
         .textKey = "Action/PrevPane",
         .keys = {key(Qt::SHIFT | Qt::Key_F6)},
         .handler = [this] { OnNextPane(false); }},
    };
    for (const CActionEntry& entry : entries) {
        m_actions.Add(entry);
    }
}

void CMainFrame::BuildMenus()
{
    const QList<QMenu*> menus = {
        m_actions.AddMenu(menuBar(), "Menu/FileMenuName",
                          {"New", "Open", "Save", "SaveAs", "-", "CompareWith", "CompareWithSaved", "-",
                           "GenerateScript", "-", "LastFile", "Recent1", "Recent2", "Recent3", "Recent4", "-", "Quit"}),
        m_actions.AddMenu(menuBar(), "Menu/EditMenuName",
                          {"Undo", "Redo", "-", "Cut", "Copy", "Paste", "-", "Find", "FindNext", "FindPrevious", "GoTo",
                           "-", "InsertByName", "EditGlobals", "EditLocals", "-", "ToCode"}),
        m_actions.AddMenu(menuBar(), "Menu/HelpMenuName", {"About"}),
    };
    for (QMenu* menu : menus) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
}

void CMainFrame::BuildPanes()
{
    m_outer = new QSplitter(Qt::Horizontal, this);
    m_outer->setObjectName(QStringLiteral("OuterSplitter"));
    m_categories = new CCategoriesView(m_document);
    m_outer->addWidget(m_categories);
    m_inner = new QSplitter(Qt::Vertical, m_outer);
    m_inner->setObjectName(QStringLiteral("InnerSplitter"));
    m_inner->addWidget(new CCommentView(m_document));
    m_instructions = new CInstructionView(m_document);
    m_inner->addWidget(m_instructions);
    m_outer->addWidget(m_inner);
    setCentralWidget(m_outer);
    // What cut, copy and paste can do changes with the focus, the selection
    // and the clipboard, none of which is an edit of the document.
    // The menu bar takes the focus while it is worked from the keyboard (Alt,
    // Alt+E); the commands still act on what had it before.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && now->window() == this && now != menuBar() && !menuBar()->isAncestorOf(now)) {
            m_lastFocus = now;
            UpdateCommandUI();
        }
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_instructions, &CInstructionView::CurrentNodeChanged, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::SetInstructionChooser(IInstructionChooser* chooser) { m_instructions->SetInstructionChooser(chooser); }

QWidget* CMainFrame::CategoriesPane() const { return m_outer->widget(0); }
QWidget* CMainFrame::CommentPane() const { return m_inner->widget(0); }
QWidget* CMainFrame::InstructionPane() const { return m_inner->widget(1); }

void CMainFrame::LayOutPanes()
{
    const int width = m_outer->width();
    const int height = m_outer->height();
    const int column = std::max(width / 3, 100);
    const int row = std::max(height / 2, 100);
    m_outer->setSizes({column, std::max(width - column, 0)});
    m_inner->setSizes({row, std::max(height - row, 0)});
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_laidOut) {
        m_laidOut = true;
        if (layout() != nullptr) {
            layout()->activate();
        }
        const auto settings = OpenUserSettings(m_userSettingsFile);
        const QList<int> outer = ReadSizes(*settings, kOuterKey);
        const QList<int> inner = ReadSizes(*settings, kInnerKey);
        if (outer.size() == 2 && inner.size() == 2) {
            m_outer->setSizes(outer);
            m_inner->setSizes(inner);
        } else {
            LayOutPanes();
        }
    }
}

QRect CMainFrame::FitToScreen(QRect window, const QRect& available)
{
    window.setSize(window.size().boundedTo(available.size()));
    window.moveRight(std::min(window.right(), available.right()));
    window.moveBottom(std::min(window.bottom(), available.bottom()));
    window.moveLeft(std::max(window.left(), available.left()));
    window.moveTop(std::max(window.top(), available.top()));
    return window;
}

void CMainFrame::RestoreWindowState()
{
    const auto settings = OpenUserSettings(m_userSettingsFile);
    const QRect saved = settings->value(kGeometryKey).toRect();
    // The screen the window was on, if it is still there.
    const QScreen* screen = saved.isValid() ? QGuiApplication::screenAt(saved.center()) : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1000, 700);
    if (saved.isValid()) {
        setGeometry(FitToScreen(saved, available));
    } else {
        // First start: most of the screen, centred.
        QRect window(QPoint(), available.size() * 4 / 5);
        window.moveCenter(available.center());
        setGeometry(window);
    }
    if (settings->value(kMaximizedKey, false).toBool()) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void CMainFrame::SaveWindowState() const
{
    const auto settings = OpenUserSettings(m_userSettingsFile);
    // The size the window returns to when it is no longer maximized.
    settings->setValue(kGeometryKey, isMaximized() ? normalGeometry() : geometry());
    settings->setValue(kMaximizedKey, isMaximized());
    if (m_laidOut) {
        for (const auto& [key, splitter] : {std::pair{kOuterKey, m_outer}, std::pair{kInnerKey, m_inner}}) {
            QVariantList sizes;
            for (const int size : splitter->sizes()) {
                sizes << size;
            }
            settings->setValue(key, sizes);
        }
    }
    settings->sync();
}

QList<int> CMainFrame::ReadSizes(const QSettings& settings, const QString& key)
{
    QList<int> sizes;
    for (const QVariant& value : settings.value(key).toList()) {
        bool number = false;
        const int size = value.toInt(&number);
        // Hand-edited nonsense falls back to the first-start layout.
        if (!number || size < 0) {
            return {};
        }
        sizes << size;
    }
    return sizes;
}

int CMainFrame::RunDialog(QDialog& dialog) { return dialog.exec(); }

void CMainFrame::UpdateTitle()
{
    // A "*" after the name marks unsaved changes.
    const QString name = ToQ(m_document.GetTitle()) + (m_document.IsModified() ? QStringLiteral("*") : QString());
    setWindowTitle(m_frameTitle.isEmpty() ? name : m_frameTitle + QStringLiteral(" - ") + name);
}

void CMainFrame::UpdateRecentFiles()
{
    const QStringList& files = m_recent->Files();
    Action(QStringLiteral("LastFile"))->setVisible(files.isEmpty());
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        QAction* recent = Action(QStringLiteral("Recent%1").arg(i + 1));
        recent->setVisible(i < files.size());
        recent->setText(m_recent->MenuText(i));
    }
}

void CMainFrame::UpdateCommandUI()
{
    // A new document reads the file types from the settings.
    m_template.SetFilterExtension(ToQ(m_document.GetDataFileExtension()));
    m_template.SetFilterName(ToQ(m_document.GetDataFileDescription()));
    UpdateTitle();
    // The tree's root shows the title too (saving under a new name changes it).
    m_categories->UpdateRootLabel();
    UpdateRecentFiles();
    m_actions.Update();
}

QString CMainFrame::StepText(const QString& label, bool can, const std::string& step)
{
    return can ? label + Localized("History/Menu_Filler") + ToQ(LocalizedStepName(step)) : label;
}

void CMainFrame::ShowFailure(const char* key, bool error, const QString& path, const std::string& reason)
{
    UserPrompts().MessageBox(this, error ? QMessageBox::Critical : QMessageBox::Warning, MessageTitle(), Localized(key),
                             QMessageBox::Ok,
                             Localized("MainFrame/FailureDetails", {QDir::toNativeSeparators(path), ToQ(reason)}));
}

void CMainFrame::ShowStatus(const QString& text) { statusBar()->showMessage(text, kStatusMilliseconds); }

void CMainFrame::EndEditing() { m_categories->CommitLabelEdit(); }

bool CMainFrame::SaveModified()
{
    EndEditing();
    if (!m_document.IsModified()) {
        return true;
    }
    const QString text = Localized("MainFrame/SaveChanges", {ToQ(m_document.GetTitle())});
    switch (UserPrompts().MessageBox(this, QMessageBox::Warning, MessageTitle(), text,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QString())) {
    case QMessageBox::Yes: return OnFileSave();
    case QMessageBox::No: return true;
    default: return false;
    }
}

bool CMainFrame::OnFileNew()
{
    if (!SaveModified()) {
        return false;
    }
    m_output->Stop();
    m_output->ClearResults();
    m_document.NewDocument();
    DiscardRecovery();
    m_document.UpdateAllViews();
    UpdateCommandUI();
    return true;
}

bool CMainFrame::OnFileOpen()
{
    EndEditing();
    const std::optional<QString> path = UserPrompts().GetOpenFileName(this, m_template.Filter());
    if (!path) {
        return false;
    }
    if (!SaveModified()) {
        return false;
    }
    return OpenFile(*path);
}

bool CMainFrame::OpenFile(const QString& path)
{
    std::string error;
    m_output->Stop();
    m_output->ClearResults();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool opened = m_document.OpenDocument(absolute.toStdString(), &error);
    if (opened) {
        m_recent->Add(path);
        DiscardRecovery();
    }
    m_document.UpdateAllViews();
    UpdateCommandUI();
    if (!opened) {
        ShowFailure("MainFrame/LoadingFailed", true, absolute, error);
    } else {
        ShowStatus(Localized("MainFrame/Status/Opened", {QDir::toNativeSeparators(absolute)}));
    }
    return opened;
}

bool CMainFrame::OnOpenRecentFile(int index)
{
    if (index < 0 || index >= m_recent->Files().size()) {
        return false;
    }
    const QString path = m_recent->Files()[index];
    if (!SaveModified()) {
        return false;
    }
    if (!OpenFile(path)) {
        // A file that cannot be opened leaves the list.
        m_recent->Remove(m_recent->Files().indexOf(path));
        UpdateRecentFiles();
        return false;
    }
    return true;
}

bool CMainFrame::DoSave(const QString& path)
{
    EndEditing();
    std::string error;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!m_document.SaveDocument(absolute.toStdString(), &error)) {
        ShowFailure("MainFrame/SavingFailed", true, absolute, error);
        UpdateCommandUI();
        return false;
    }
    m_recent->Add(path);
    DiscardRecovery();
    UpdateCommandUI();
    ShowStatus(Localized("MainFrame/Status/Saved", {QDir::toNativeSeparators(absolute)}));
    return true;
}

bool CMainFrame::OnFileSave()
{
    if (m_document.GetPathName().empty() || !m_document.IsPathConfirmed()) {
        return OnFileSaveAs();
    }
    return DoSave(ToQ(m_document.GetPathName()));
}

bool CMainFrame::OnFileSaveAs()
{
    QString name = ToQ(m_document.GetPathName());
    if (name.isEmpty()) {
        name = ToQ(m_document.GetTitle());
        if (!name.contains(QLatin1Char('.'))) {
            name += m_template.DefaultSuffix();
        }
    }
    std::optional<QString> path = UserPrompts().GetSaveFileName(this, QString(), m_template.Filter(), name);
    if (!path) {
        return false;
    }
    if (!QFileInfo(*path).fileName().contains(QLatin1Char('.'))) {
        *path += m_template.DefaultSuffix();
    }
    return DoSave(*path);
}

QString CMainFrame::ProposedScriptPath() const
{
    const QString document = ToQ(m_document.GetPathName());
    const QString name = QFileInfo(ToQ(m_document.GetTitle())).completeBaseName() + m_template.DefaultSuffix();
    // An untitled document has no folder of its own: the dialog's default then.
    const QString folder =
        m_scriptFolders.value(document, document.isEmpty() ? QString() : QFileInfo(document).absolutePath());
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

void CMainFrame::OnGenerateScript()
{
    EndEditing();
    if (m_document.GetState() != nullptr) {
        if (const std::size_t errors = CountErrors(FindProblems(*m_document.GetState())); errors > 0) {
            const QString question = Localized("MainFrame/GenerateWithErrors", {QString::number(errors)});
            if (UserPrompts().MessageBox(this, QMessageBox::Warning, MessageTitle(), question,
                                         QMessageBox::Yes | QMessageBox::No, {}) != QMessageBox::Yes) {
                return;
            }
        }
    }
    // The dialog offers script files; the data file type comes back whatever happens.
    const CApplicationDocTemplate saved = m_template;
    m_template.SetFilterExtension(ToQ(m_document.GetScriptFileExtension()));
    m_template.SetFilterName(ToQ(m_document.GetScriptFileDescription()));
    std::optional<QString> path =
        UserPrompts().GetSaveFileName(this, PlainMenuText(Action(QStringLiteral("GenerateScript"))->text()),
                                      m_template.Filter(), ProposedScriptPath());
    if (path && !QFileInfo(*path).fileName().contains(QLatin1Char('.'))) {
        *path += m_template.DefaultSuffix();
    }
    m_template = saved;
    if (!path) {
        return;
    }
    std::string error;
    const QFileInfo script(*path);
    if (!m_document.GenerateScript(script.absoluteFilePath().toStdString(), &error)) {
        ShowFailure("MainFrame/SavingFailed", false, script.absoluteFilePath(), error);
        return;
    }
    m_scriptFolders.insert(ToQ(m_document.GetPathName()), script.absolutePath());
    ShowStatus(
        Localized("MainFrame/Status/ScriptWritten", {QDir::toNativeSeparators(script.absoluteFilePath()),
                                                     QString::number(QFileInfo(script.absoluteFilePath()).size())}));
}

void CMainFrame::OnEditUndo()
{
    m_document.OnEditUndo();
    UpdateCommandUI();
}

void CMainFrame::OnEditRedo()
{
    m_document.OnEditRedo();
    UpdateCommandUI();
}

void CMainFrame::OnEditVariables(ECommand command, const std::string& selected)
{
    const bool local = command == ECommand::EditLocals;
    CState* state = BeginEditVariables(m_document, local);
    if (state == nullptr) {
        return;
    }
    CVariablesDialog dialog(state, local, this);
    dialog.EnableFindUsages();
    for (int row = 0; !selected.empty() && row < dialog.List()->topLevelItemCount(); ++row) {
        if (dialog.List()->topLevelItem(row)->text(0) == ToQ(selected)) {
            dialog.List()->setCurrentItem(dialog.List()->topLevelItem(row));
        }
    }
    const bool accepted = RunDialog(dialog) == QDialog::Accepted;
    // OK without a change records nothing, so the redo steps stay.
    const bool changed = accepted && dialog.Changed();
    EndEditVariables(m_document, changed);
    if (!changed) {
        UpdateCommandUI();
    }
    if (accepted && !dialog.UsagesRequested().empty()) {
        // By name in the document's state: the dialog and what it held are gone.
        ShowUsages(local, dialog.UsagesRequested());
    }
}

void CMainFrame::OnToCode() { ConvertCurrentTriggerToCode(m_document); }

void CMainFrame::OnAbout()
{
    CAboutDialog dialog(m_workingFolder, this);
    RunDialog(dialog);
}

void CMainFrame::OnNextPane(bool forward)
{
    const QWidget* panes[] = {CategoriesPane(), CommentPane(), InstructionPane()};
    int current = -1;
    for (int i = 0; i < 3; ++i) {
        if (panes[i]->hasFocus() || panes[i]->isAncestorOf(QApplication::focusWidget())) {
            current = i;
        }
    }
    const int next = current < 0 ? 0 : (current + (forward ? 1 : 2)) % 3;
    const_cast<QWidget*>(panes[next])->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (SaveModified()) {
        m_output->Stop();
        m_recent->Save();
        SaveWindowState();
        SaveDockState();
        DiscardRecovery();
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace bram::gui
