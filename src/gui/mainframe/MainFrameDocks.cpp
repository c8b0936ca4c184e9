// The main window's docks (script preview, problems) with their View menu,
// and its autosave.

#include "gui/mainframe/MainFrame.h"

#include "gui/common/UserPrompts.h"
#include "gui/mainframe/Autosave.h"
#include "gui/mainframe/RecentFileList.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/ChangesView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/OutputView.h"
#include "gui/views/ProblemsView.h"
#include "gui/views/ScriptPreview.h"

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/Recovery.h"

#include <QDockWidget>
#include <QMenuBar>
#include <QSettings>
#include <QTreeWidget>

namespace bram::gui {

namespace {

const QString kPreviewKey = QStringLiteral("Window/Preview");
const QString kProblemsKey = QStringLiteral("Window/Problems");

} // namespace

void CMainFrame::BuildDocks()
{
    const auto dock = [this](const char* name, const char* titleKey, QWidget* content, Qt::DockWidgetArea area) {
        auto* widget = new QDockWidget(m_actions.Label(titleKey), this);
        widget->setObjectName(QLatin1String(name));
        widget->setWidget(content);
        addDockWidget(area, widget);
        return widget;
    };
    auto* preview = new CScriptPreview(m_document);
    m_previewDock = dock("PreviewDock", "Preview", preview, Qt::RightDockWidgetArea);
    connect(m_instructions, &CInstructionView::CurrentNodeChanged, preview, &CScriptPreview::Refresh);
    auto* problems = new CProblemsView(m_document);
    m_problemsDock = dock("ProblemsDock", "Problems", problems, Qt::BottomDockWidgetArea);
    connect(problems, &CProblemsView::ProblemActivated, this, &CMainFrame::GoToProblem);
    // Shown by File > Compare with..., not remembered.
    m_changesView = new CChangesView;
    m_changesDock = dock("ChangesDock", "Changes", m_changesView, Qt::BottomDockWidgetArea);
    m_changesDock->hide();
    connect(m_changesView, &CChangesView::ChangeActivated, this, &CMainFrame::GoToChange);
    m_output = new COutputView(m_document);
    m_outputDock = dock("OutputDock", "Output", m_output, Qt::BottomDockWidgetArea);
    m_outputDock->setVisible(false);
    connect(m_output, &COutputView::PlaceActivated, this, &CMainFrame::GoToPlace);
    connect(m_output, &COutputView::RunningChanged, this, &CMainFrame::UpdateCommandUI);
    m_categories->SetRunCounts(&m_output->Counts());
    m_instructions->SetRunCounts(&m_output->Counts());
    connect(m_output, &COutputView::RunErrorsChanged, problems,
            [this, problems] { problems->SetRunErrors(m_output->RunErrors()); });
    connect(m_output, &COutputView::CountsChanged, this, [this] {
        m_categories->OnUpdate();
        m_instructions->OnUpdate();
    });
    // Without a [Run] section there is nothing to run with.
    const auto canRun = [this] { return COutputView::CanRun() && !m_output->IsRunning(); };
    m_actions.Add({.name = "Run",
                   .textKey = "Menu/EditMenu/Run",
                   .keys = {QKeySequence(Qt::Key_F5)},
                   .handler = [this] { OnRun(false); },
                   .enabled = canRun});
    m_actions.Add({.name = "RunWithTrace",
                   .textKey = "Menu/EditMenu/RunWithTrace",
                   .keys = {QKeySequence(Qt::SHIFT | Qt::Key_F5)},
                   .handler = [this] { OnRun(true); },
                   .enabled = canRun});
    m_actions.Add({.name = "StopRun",
                   .textKey = "Menu/EditMenu/StopRun",
                   .handler = [this] { m_output->Stop(); },
                   .enabled = [this] { return m_output->IsRunning(); }});
    if (const QList<QAction*> menus = menuBar()->actions(); menus.size() >= 2 && menus.at(1)->menu() != nullptr) {
        m_actions.Fill(menus.at(1)->menu(), {"-", "Run", "RunWithTrace", "StopRun"});
    }

    const auto toggle = [](QDockWidget* widget) { return [widget] { widget->setVisible(!widget->isVisible()); }; };
    const auto shown = [](QDockWidget* widget) { return [widget] { return widget->isVisible(); }; };
    m_actions.Add({.name = "Preview",
                   .textKey = "Menu/ViewMenu/Preview",
                   .handler = toggle(m_previewDock),
                   .checked = shown(m_previewDock)});
    m_actions.Add({.name = "Problems",
                   .textKey = "Menu/ViewMenu/Problems",
                   .handler = toggle(m_problemsDock),
                   .checked = shown(m_problemsDock)});
    m_actions.Add({.name = "Output",
                   .textKey = "Menu/ViewMenu/Output",
                   .handler = toggle(m_outputDock),
                   .checked = shown(m_outputDock)});
    // On the focused tree; Shift+minus is the underscore on many layouts, plus needs Shift on others.
    m_actions.Add({.name = "CollapseAll",
                   .textKey = "Menu/ViewMenu/CollapseAll",
                   .keys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Minus),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Underscore)},
                   .handler = [this] { FoldFocusedTree(false); }});
    m_actions.Add({.name = "ExpandAll",
                   .textKey = "Menu/ViewMenu/ExpandAll",
                   .keys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
                   .handler = [this] { FoldFocusedTree(true); }});
    QMenu* view = m_actions.AddMenu(menuBar(), "Menu/ViewMenuName",
                                    {"Preview", "Problems", "Output", "-", "CollapseAll", "ExpandAll"});
    connect(view, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    // Before Help, as desktop programs order their menus.
    const QList<QAction*> bar = menuBar()->actions();
    if (bar.size() >= 2) {
        menuBar()->insertAction(bar.at(bar.size() - 2), view->menuAction());
    }
    const auto settings = OpenUserSettings(m_userSettingsFile);
    m_previewDock->setVisible(settings->value(kPreviewKey, false).toBool());
    m_problemsDock->setVisible(settings->value(kProblemsKey, false).toBool());
    BuildFindBar();
}

void CMainFrame::FoldFocusedTree(bool expand)
{
    // The instruction tree when it has the focus, else the categories; the
    // top item stays open so that the next level shows.
    QTreeView* tree = m_instructions->Tree();
    if (!tree->hasFocus()) {
        tree = m_categories;
    }
    if (expand) {
        tree->expandAll();
    } else {
        tree->collapseAll();
        tree->expand(tree->model()->index(0, 0));
    }
}

void CMainFrame::SaveDockState() const
{
    const auto settings = OpenUserSettings(m_userSettingsFile);
    settings->setValue(kPreviewKey, m_previewDock->isVisible());
    settings->setValue(kProblemsKey, m_problemsDock->isVisible());
}

void CMainFrame::GoToProblem(const SProblem& problem)
{
    if (!problem.hasTrigger || m_document.GetState() == nullptr) {
        return;
    }
    SelectTriggerById(problem.triggerId);
    if (CCodeTrigger* trigger = m_document.GetState()->GetCurrentTrigger()) {
        if (CCodeBase* node = trigger->GetNodeFromPath(problem.path)) {
            trigger->SetCurrentNode(node);
        }
    }
    m_document.UpdateAllViews();
}

void CMainFrame::GoToPlace(std::uint32_t triggerId, const std::vector<std::size_t>& path)
{
    if (m_document.GetState() == nullptr || m_document.GetState()->FindTrigger(triggerId) == nullptr) {
        return;
    }
    SelectTriggerById(triggerId);
    if (CCodeTrigger* trigger = m_document.GetState()->GetCurrentTrigger()) {
        trigger->SetCurrentNode(path.empty() ? nullptr : trigger->GetNodeFromPath(path));
    }
    m_document.UpdateAllViews();
}

bool CMainFrame::OnRun(bool trace)
{
    EndEditing();
    m_outputDock->setVisible(true);
    return m_output->Start(trace);
}

void CMainFrame::SelectTriggerById(std::uint32_t id)
{
    const CCategory* category = m_document.GetCategorySystem().FindCategoryOfTrigger(id);
    for (std::size_t i = 0; category != nullptr && i < category->GetTriggerCount(); ++i) {
        if (category->GetTrigger(i)->GetId() == id) {
            SelectTrigger(m_document, category->GetTrigger(i));
        }
    }
}

void CMainFrame::EnableAutosave(const QString& recoveryFolder)
{
    const int minutes = static_cast<int>(std::min(GetAutosaveMinutes(), 24u * 60u));
    m_autosave = std::make_unique<CAutosave>(m_document, recoveryFolder.toStdString(), minutes * 60 * 1000, this);
}

bool CMainFrame::OfferRecovery(const QString& documentPath)
{
    return m_autosave != nullptr && m_autosave->OfferRecovery(this, documentPath);
}

void CMainFrame::DiscardRecovery()
{
    if (m_autosave != nullptr) {
        m_autosave->Discard();
    }
}

} // namespace bram::gui
