#include "MainFrame.h"

#include "AboutDialog.h"
#include "RecentFileList.h"
#include "UserPrompts.h"
#include "VariablesDialog.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "localization/Localization.h"
#include "log/Assertion.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLayout>
#include <QMenuBar>
#include <QSplitter>

namespace bram::gui {

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
      m_recent(std::make_unique<CRecentFileList>(userSettingsFile))
{
    setObjectName(QStringLiteral("MainFrame"));
    // The menu and title are read once; later changes of the table are not seen.
    const CLocalizationTable* table = LoadLocalizationTable("MainFrame");
    m_frameTitle = ToQ(table != nullptr ? table->Lookup("Title") : std::string("Title"));
    BuildMenus();
    BuildPanes();
    m_listener = m_document.AddUpdateListener([this] { UpdateCommandUI(); });
    UpdateCommandUI();
    resize(1000, 700);
}

CMainFrame::~CMainFrame() { m_document.RemoveUpdateListener(m_listener); }

QAction* CMainFrame::Action(const QString& name) const { return findChild<QAction*>(name); }

void CMainFrame::BuildMenus()
{
    const CLocalizationTable* table = LoadLocalizationTable("MainFrame");
    const auto text = [table](const char* id) { return ToQ(table != nullptr ? table->Lookup(id) : std::string(id)); };
    const auto add = [this, &text](QMenu* menu, const char* id, const char* name, auto handler) {
        QAction* action = menu->addAction(text(id));
        BRAMBLETON_ASSERT(action != nullptr);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    m_fileMenu = menuBar()->addMenu(text("Menu/FileMenuName"));
    add(m_fileMenu, "Menu/FileMenu/New", "New", [this] {
        OnFileNew();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    add(m_fileMenu, "Menu/FileMenu/Open", "Open", [this] {
        OnFileOpen();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    add(m_fileMenu, "Menu/FileMenu/Save", "Save", [this] {
        OnFileSave();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    add(m_fileMenu, "Menu/FileMenu/SaveAs", "SaveAs", [this] { OnFileSaveAs(); });
    m_fileMenu->addSeparator();
    add(m_fileMenu, "Menu/FileMenu/GenerateScript", "62004", [this] { OnGenerateScript(); });
    m_fileMenu->addSeparator();
    m_lastFile = m_fileMenu->addAction(text("Menu/FileMenu/LastFile"));
    m_lastFile->setObjectName(QStringLiteral("LastFile"));
    m_lastFile->setEnabled(false);
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        QAction* recent = m_fileMenu->addAction(QString());
        recent->setObjectName(QStringLiteral("Recent%1").arg(i + 1));
        connect(recent, &QAction::triggered, this, [this, i] { OnOpenRecentFile(i); });
        m_recentActions[i] = recent;
    }
    m_fileMenu->addSeparator();
    add(m_fileMenu, "Menu/FileMenu/Quit", "Quit", [this] { close(); });

    QMenu* edit = menuBar()->addMenu(text("Menu/EditMenuName"));
    add(edit, "Menu/EditMenu/Undo", "Undo", [this] {
        OnEditUndo();
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    add(edit, "Menu/EditMenu/Redo", "Redo", [this] { OnEditRedo(); });
    edit->addSeparator();
    // Cut, copy and paste belong to the focused view; no pane handles them yet.
    add(edit, "Menu/EditMenu/Cut", "Cut", [] {
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    add(edit, "Menu/EditMenu/Copy", "Copy", [] {
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    add(edit, "Menu/EditMenu/Paste", "Paste", [] {
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    edit->addSeparator();
    add(edit, "Menu/EditMenu/EditGlobals", "62005", [this] { OnEditVariables(ID_EDIT_GLOBALS); });
    add(edit, "Menu/EditMenu/EditLocals", "62006", [this] { OnEditVariables(ID_EDIT_LOCALS); });
    edit->addSeparator();
    add(edit, "Menu/EditMenu/ToCode", "62007", [this] { OnToCode(); });

    QMenu* help = menuBar()->addMenu(text("Menu/HelpMenuName"));
    add(help, "Menu/HelpMenu/About", "About", [this] { OnAbout(); });

    for (QMenu* menu : {m_fileMenu, edit, help}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }

    // Keys without a menu item: print has no handler, F6 moves between panes.
    auto* print = new QAction(this);
    print->setObjectName(QStringLiteral("Print"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(print);
    auto* next = new QAction(this);
    next->setObjectName(QStringLiteral("NextPane"));
    next->setShortcut(QKeySequence(Qt::Key_F6));
    connect(next, &QAction::triggered, this, [this] { OnNextPane(true); });
    addAction(next);
    auto* previous = new QAction(this);
    previous->setObjectName(QStringLiteral("PrevPane"));
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(previous, &QAction::triggered, this, [this] { OnNextPane(false); });
    addAction(previous);
}

void CMainFrame::BuildPanes()
{
    const auto pane = [](const char* name) {
        auto* frame = new QFrame;
        frame->setObjectName(QLatin1String(name));
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setFocusPolicy(Qt::StrongFocus);
        return frame;
    };
    m_outer = new QSplitter(Qt::Horizontal, this);
    m_outer->setObjectName(QStringLiteral("OuterSplitter"));
    m_outer->addWidget(pane("CategoriesView"));
    m_inner = new QSplitter(Qt::Vertical, m_outer);
    m_inner->setObjectName(QStringLiteral("InnerSplitter"));
    m_inner->addWidget(pane("CommentView"));
    m_inner->addWidget(pane("InstructionView"));
    m_outer->addWidget(m_inner);
    setCentralWidget(m_outer);
}

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
        LayOutPanes();
    }
}

int CMainFrame::RunDialog(QDialog& dialog) { return dialog.exec(); }

void CMainFrame::UpdateTitle()
{
    const QString name = ToQ(m_document.GetTitle());
    setWindowTitle(m_frameTitle.isEmpty() ? name : m_frameTitle + QStringLiteral(" - ") + name);
}

void CMainFrame::UpdateRecentFiles()
{
    const QStringList& files = m_recent->Files();
    m_lastFile->setVisible(files.isEmpty());
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        m_recentActions[i]->setVisible(i < files.size());
        m_recentActions[i]->setText(m_recent->MenuText(i));
    }
}

void CMainFrame::UpdateCommandUI()
{
    // A new document reads the file types from the settings.
    m_template.SetFilterExtension(ToQ(m_document.GetDataFileExtension()));
    m_template.SetFilterName(ToQ(m_document.GetDataFileDescription()));
    UpdateTitle();
    UpdateRecentFiles();
    const QString filler = Localized("History/Menu_Filler");
    QAction* undo = Action(QStringLiteral("Undo"));
    QAction* redo = Action(QStringLiteral("Redo"));
    undo->setEnabled(m_document.CanUndo());
    undo->setText(Localized("MainFrame/Menu/EditMenu/Undo") +
                  (m_document.CanUndo() ? filler + ToQ(GetLocalizedString(m_document.GetUndoName())) : QString()));
    redo->setEnabled(m_document.CanRedo());
    redo->setText(Localized("MainFrame/Menu/EditMenu/Redo") +
                  (m_document.CanRedo() ? filler + ToQ(GetLocalizedString(m_document.GetRedoName())) : QString()));
    for (const char* name : {"Cut", "Copy", "Paste"}) {
        Action(QLatin1String(name))->setEnabled(false);
    }
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    Action(QStringLiteral("62005"))->setEnabled(state != nullptr);
    Action(QStringLiteral("62006"))->setEnabled(trigger != nullptr);
    Action(QStringLiteral("62007"))->setEnabled(trigger != nullptr && !trigger->IsCode());
}

void CMainFrame::ShowFailure(const char* key, bool error)
{
    UserPrompts().MessageBox(this, error ? QMessageBox::Critical : QMessageBox::Warning, MessageTitle(), Localized(key),
                             QMessageBox::Ok);
}

bool CMainFrame::SaveModified()
{
    if (!m_document.IsModified()) {
        return true;
    }
    // The framework's own question; the string tables have no text for it.
    const QString text = QStringLiteral("Save changes to %1?").arg(ToQ(m_document.GetTitle()));
    switch (UserPrompts().MessageBox(this, QMessageBox::Warning, MessageTitle(), text,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
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
    m_document.NewDocument();
    m_document.UpdateAllViews();
    UpdateCommandUI();
    return true;
}

bool CMainFrame::OnFileOpen()
{
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
    const bool opened = m_document.OpenDocument(QFileInfo(path).absoluteFilePath().toStdString(), &error);
    if (opened) {
        m_recent->Add(path);
    }
    m_document.UpdateAllViews();
    UpdateCommandUI();
    if (!opened) {
        ShowFailure("MainFrame/LoadingFailed", true);
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
    std::string error;
    if (!m_document.SaveDocument(QFileInfo(path).absoluteFilePath().toStdString(), &error)) {
        ShowFailure("MainFrame/SavingFailed", true);
        UpdateCommandUI();
        return false;
    }
    m_recent->Add(path);
    UpdateCommandUI();
    return true;
}

bool CMainFrame::OnFileSave()
{
    if (m_document.GetPathName().empty()) {
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
    std::optional<QString> path = UserPrompts().GetSaveFileName(this, m_template.Filter(), name);
    if (!path) {
        return false;
    }
    if (!QFileInfo(*path).fileName().contains(QLatin1Char('.'))) {
        *path += m_template.DefaultSuffix();
    }
    return DoSave(*path);
}

void CMainFrame::OnGenerateScript()
{
    // The dialog offers script files; the data file type comes back whatever happens.
    const CApplicationDocTemplate saved = m_template;
    m_template.SetFilterExtension(ToQ(m_document.GetScriptFileExtension()));
    m_template.SetFilterName(ToQ(m_document.GetScriptFileDescription()));
    std::optional<QString> path = UserPrompts().GetSaveFileName(this, m_template.Filter(), QString());
    if (path && !QFileInfo(*path).fileName().contains(QLatin1Char('.'))) {
        *path += m_template.DefaultSuffix();
    }
    m_template = saved;
    if (!path) {
        return;
    }
    std::string error;
    if (!m_document.GenerateScript(QFileInfo(*path).absoluteFilePath().toStdString(), &error)) {
        ShowFailure("MainFrame/SavingFailed", false);
    }
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

void CMainFrame::OnEditVariables(int command)
{
    const bool local = command == ID_EDIT_LOCALS;
    if (m_document.GetState() == nullptr || (local && m_document.GetState()->GetCurrentTrigger() == nullptr)) {
        return;
    }
    m_document.AddHistoryStep("History/Variables_VariablesChanged");
    CVariablesDialog dialog(m_document.GetState(), local, this);
    if (RunDialog(dialog) != QDialog::Accepted) {
        m_document.RemoveLastHistoryStep();
        UpdateCommandUI();
    } else {
        m_document.UpdateAllViews();
    }
}

void CMainFrame::OnToCode()
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger == nullptr || trigger->IsCode()) {
        return;
    }
    m_document.AddHistoryStep("History/Trigger_ToCode");
    // The step made a new current state: convert its trigger.
    CCodeTrigger* current = m_document.GetState()->GetCurrentTrigger();
    current->ConvertToCode(current->GetCode(0));
    m_document.UpdateAllViews();
}

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
        m_recent->Save();
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace bram::gui
