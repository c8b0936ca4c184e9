#include "gui/views/ProblemsView.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/ViewIcons.h"

#include "document/ApplicationDocument.h"
#include "localization/Localization.h"

#include <QHeaderView>
#include <QStyle>
#include <QTimer>

namespace bram::gui {

namespace {

const char* MessageKey(EProblemKind kind)
{
    switch (kind) {
    case EProblemKind::IncompleteParameter: return "Problems/IncompleteParameter";
    case EProblemKind::MissingTrigger: return "Problems/MissingTrigger";
    case EProblemKind::DisabledTrigger: return "Problems/DisabledTrigger";
    case EProblemKind::UnusedGlobal: return "Problems/UnusedGlobal";
    case EProblemKind::RunError: return "Problems/RunError";
    }
    return "";
}

QStyle::StandardPixmap LevelIcon(EProblemLevel level)
{
    switch (level) {
    case EProblemLevel::Error: return QStyle::SP_MessageBoxCritical;
    case EProblemLevel::Warning: return QStyle::SP_MessageBoxWarning;
    case EProblemLevel::Note: return QStyle::SP_MessageBoxInformation;
    }
    return QStyle::SP_MessageBoxInformation;
}

const char* LevelKey(EProblemLevel level)
{
    switch (level) {
    case EProblemLevel::Error: return "Problems/Error";
    case EProblemLevel::Warning: return "Problems/Warning";
    case EProblemLevel::Note: return "Problems/Note";
    }
    return "";
}

} // namespace

CProblemsView::CProblemsView(CApplicationDocument& document, QWidget* parent)
    : QTreeWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("Problems"));
    setAccessibleName(ToQ(GetLocalizedString("MainFrame/Problems")));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setHeaderLabels({ToQ(GetLocalizedString("Problems/Level")), ToQ(GetLocalizedString("Problems/Trigger")),
                     ToQ(GetLocalizedString("Problems/Place")), ToQ(GetLocalizedString("Problems/Message"))});
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int index = indexOfTopLevelItem(item);
        if (index >= 0 && static_cast<std::size_t>(index) < m_problems.size()) {
            emit ProblemActivated(m_problems[static_cast<std::size_t>(index)]);
        }
    });
    m_pending = new QTimer(this);
    m_pending->setSingleShot(true);
    m_pending->setInterval(150);
    connect(m_pending, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            Refresh();
        }
    });
    m_listener = m_document.AddChangeListener(this, [this](const CChangeReport& report) {
        // Selecting finds no new problem.
        if (report.IsSelectionOnly()) {
            return;
        }
        m_stale = true;
        if (isVisible()) {
            m_pending->start();
        }
    });
    Refresh();
}

void CProblemsView::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    if (m_stale) {
        Refresh();
    }
}

CProblemsView::~CProblemsView() { m_document.RemoveUpdateListener(m_listener); }

QString CProblemsView::Message(const SProblem& problem)
{
    return ToQ(FillPlaceholders(GetLocalizedString(MessageKey(problem.kind)), {problem.subject}));
}

void CProblemsView::SetRunErrors(std::vector<SProblem> errors)
{
    m_runErrors = std::move(errors);
    Refresh();
}

void CProblemsView::Refresh()
{
    m_stale = false;
    m_pending->stop();
    // The last run's errors first: they are what the user just saw fail.
    m_problems = m_runErrors;
    if (m_document.GetState() != nullptr) {
        const std::vector<SProblem> found = FindProblems(*m_document.GetState());
        m_problems.insert(m_problems.end(), found.begin(), found.end());
    }
    clear();
    QList<QTreeWidgetItem*> items;
    for (const SProblem& problem : m_problems) {
        auto* item = new QTreeWidgetItem({ToQ(GetLocalizedString(LevelKey(problem.level))), ToQ(problem.trigger),
                                          ToQ(problem.place), Message(problem)});
        item->setIcon(0, StandardIcon(LevelIcon(problem.level)));
        items << item;
    }
    addTopLevelItems(items);
}

} // namespace bram::gui
