#include "gui/views/InstructionView.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/DropHighlight.h"
#include "gui/views/ClipboardTransfer.h"
#include "gui/views/InstructionChooser.h"
#include "gui/views/InstructionModel.h"
#include "gui/views/TextStepEdit.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/EditPlaces.h"
#include "document/NodeWalk.h"
#include "generation/GenerationSettings.h"
#include "localization/Localization.h"
#include "records/BlockInfo.h"
#include "records/CodeInfoBase.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace bram::gui {

// The tree control: menus, dragging and the drop highlight go to the view;
// what a drag carries and where it may drop are the model's.
class CInstructionView::CTree : public QTreeView {
public:
    explicit CTree(CInstructionView& view) : QTreeView(&view), m_view(view) {}

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (event->reason() == QContextMenuEvent::Keyboard) {
            m_view.OpenContextMenu();
        } else {
            m_view.ShowContextMenuAt(event->globalPos());
        }
    }
    void startDrag(Qt::DropActions /*supportedActions*/) override
    {
        QMimeData* data = m_view.m_model->mimeData(m_view.DraggedIndexes());
        if (data == nullptr) {
            return;
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        m_view.m_dragging = true;
        drag->exec(Qt::MoveAction);
        m_view.m_dragging = false;
        EndDrag();
    }
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (Ours(event)) {
            setState(DraggingState);
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        const QModelIndex target = Ours(event) ? Target(event) : QModelIndex();
        const bool takes =
            target.isValid() && m_view.m_model->canDropMimeData(event->mimeData(), Qt::MoveAction, -1, -1, target);
        m_view.SetDropTarget(takes ? target : QModelIndex());
        if (takes) {
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
        const int y = event->position().toPoint().y();
        if (y < autoScrollMargin() || y > viewport()->height() - autoScrollMargin()) {
            startAutoScroll();
        }
    }
    void dragLeaveEvent(QDragLeaveEvent* /*event*/) override { EndDrag(); }
    void dropEvent(QDropEvent* event) override
    {
        const QModelIndex target = Target(event);
        const bool ours = Ours(event);
        EndDrag();
        if (!ours) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::MoveAction);
        event->accept();
        m_view.m_model->dropMimeData(event->mimeData(), Qt::MoveAction, -1, -1, target);
    }
    void paintEvent(QPaintEvent* event) override
    {
        QTreeView::paintEvent(event);
        PaintDropHighlight(*this, m_view.m_dropTarget);
    }

private:
    bool Ours(const QDropEvent* event) const { return event->source() == this && m_view.m_dragging; }
    QModelIndex Target(const QDropEvent* event) const
    {
        return indexAt(event->position().toPoint()).siblingAtColumn(0);
    }
    void EndDrag()
    {
        stopAutoScroll();
        setState(NoState);
        m_view.SetDropTarget({});
    }

    CInstructionView& m_view;
};

CInstructionView::CInstructionView(CApplicationDocument& document, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_description(new QLabel(this)),
      m_model(new CInstructionModel(document, this)),
      m_tree(new CTree(*this)),
      m_text(new CTextStepEdit(document, ETextField::Code, kMaxTextLength, this)),
      m_actions(m_tree, "InstructionView")
{
    setObjectName(QStringLiteral("InstructionView"));
    m_tree->setObjectName(ControlName(EControl::InstructionTree));
    m_text->setObjectName(ControlName(EControl::InstructionText));
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    // The label, and the run count (empty without one).
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Fitted when the counts come, as in the categories tree; hidden without them.
    m_tree->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_tree->setColumnHidden(1, true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDragDropMode(QAbstractItemView::DragDrop);
    m_tree->setDropIndicatorShown(false);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTabStopDistance(QFontMetricsF(m_text->font()).horizontalAdvance(QLatin1Char(' ')) * 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_description);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_text, 1);
    BuildActions();
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CInstructionView::OnSelectionChanged);
    connect(m_tree, &QTreeView::doubleClicked, this, [this] { OnEdit(); });
    connect(m_text, &CTextStepEdit::StepRecorded, this, [this] { m_document.UpdateAllViews(this); });
    // New rows open, as every row of another trigger does; rows the user closed stay closed.
    connect(m_model, &QAbstractItemModel::modelReset, m_tree, &QTreeView::expandAll);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
        for (int row = first; row <= last; ++row) {
            m_tree->expandRecursively(m_model->index(row, 0, parent));
        }
        // A block that was empty had nothing to close.
        if (last - first + 1 == m_model->rowCount(parent)) {
            m_tree->expand(parent);
        }
    });
    connect(m_model, &CInstructionModel::Dropped, this, &CInstructionView::Changed);
    // The model's own listener comes first: it has synced when Refresh runs.
    m_listener = m_document.AddUpdateListener(this, [this] { Refresh(); });
    m_tree->expandAll();
    Refresh();
}

CInstructionView::~CInstructionView() { m_document.RemoveUpdateListener(m_listener); }

QTreeView* CInstructionView::Tree() const { return m_tree; }

void CInstructionView::SetRunCounts(const CRunCounts* counts) { m_model->SetRunCounts(counts); }

void CInstructionView::SetInstructionChooser(IInstructionChooser* chooser)
{
    m_chooser = chooser;
    m_actions.Update();
}

void CInstructionView::BuildActions()
{
    const auto instruction = [this] { return IsInstruction(CurrentNode()); };
    const auto widgetKeys = [](std::initializer_list<QKeyCombination> keys) {
        QList<QKeySequence> sequences;
        for (const QKeyCombination key : keys) {
            sequences << QKeySequence(key);
        }
        return sequences;
    };
    const CActionEntry entries[] = {
        // Their keys are the main frame's, which hands them to the focused view.
        {.name = "Cut",
         .command = ECommand::InstructionCut,
         .textKey = "InstructionsList_Menu_Cut",
         .handler = [this] { OnCut(); },
         .enabled = instruction},
        {.name = "Copy",
         .command = ECommand::InstructionCopy,
         .textKey = "InstructionsList_Menu_Copy",
         .handler = [this] { OnCopy(); },
         .enabled = instruction},
        {.name = "Paste",
         .command = ECommand::InstructionPaste,
         .textKey = "InstructionsList_Menu_Paste",
         .handler = [this] { OnPaste(); },
         .enabled = [this] { return CurrentNode() != nullptr && HasFragmentOnClipboard(); }},
        {.name = "Delete",
         .command = ECommand::InstructionDelete,
         .textKey = "InstructionsList_Menu_Del",
         .keys = widgetKeys({Qt::Key_Delete}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnDelete(); },
         .enabled = instruction},
        {.name = "Enable",
         .command = ECommand::InstructionEnable,
         .textKey = "InstructionsList_Menu_EnableInstruction",
         .handler = [this] { OnEnable(); },
         .enabled = [this, instruction] { return instruction() && CurrentNode()->IsComplete(); },
         .checked = [this, instruction] { return instruction() && CurrentNode()->IsEnabled(); }},
        // Keys without a menu item.
        {.name = "Edit",
         .keys = widgetKeys({Qt::Key_Return, Qt::Key_Enter}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnEdit(); }},
        {.name = "Insert",
         .keys = widgetKeys({Qt::Key_Insert}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnInsert(); }},
        {.name = "MoveUp",
         .keys = widgetKeys({Qt::ALT | Qt::Key_Up}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnMove(true); }},
        {.name = "MoveDown",
         .keys = widgetKeys({Qt::ALT | Qt::Key_Down}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnMove(false); }},
        {.name = "ContextMenu",
         .keys = widgetKeys({Qt::Key_Menu, Qt::SHIFT | Qt::Key_F10}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OpenContextMenu(); }},
    };
    for (const CActionEntry& entry : entries) {
        m_actions.Add(entry);
    }
    BuildNewActions();
    BuildUsageActions();
}

void CInstructionView::BuildNewActions()
{
    // One New item per root block that every trigger has.
    const std::vector<const CBlockInfo*>& blocks = CGenerationSettings::Instance().GetFunctionBlocks();
    m_newCount = std::min<std::size_t>(blocks.size(), kMaxNewItems);
    // Greyed while nothing can choose an instruction.
    const auto canAdd = [this](std::size_t block) {
        const CCodeTrigger* trigger = CurrentTrigger();
        return m_chooser != nullptr && trigger != nullptr && block < trigger->GetBlockCount();
    };
    for (std::size_t i = 0; i < m_newCount; ++i) {
        QAction* action = m_actions.Add({.name = QStringLiteral("New%1").arg(i),
                                         .command = InstructionNewCommand(i),
                                         .textKey = "InstructionsList_Menu_New",
                                         .handler = [this, i] { OnNew(i); },
                                         .enabled = [canAdd, i] { return canAdd(i); }});
        action->setText(action->text() + ToQ(blocks[i]->GetLocalizedName()));
    }
}

void CInstructionView::BuildUsageActions()
{
    // Offered greyed for an instruction that uses no variable, so the command is seen.
    m_actions.Add(
        {.name = "FindUsages", .textKey = "InstructionsList_Menu_FindUsages", .enabled = [] { return false; }});
    for (std::size_t i = 0; i < kMaxUsageItems; ++i) {
        const auto variable = [this, i]() -> const CVariableBase* {
            const std::vector<const CVariableBase*> used = UsedVariables();
            return i < used.size() ? used[i] : nullptr;
        };
        m_actions.Add({.name = QStringLiteral("FindUsages%1").arg(i),
                       .textKey = "InstructionsList_Menu_FindUsagesOf",
                       .handler =
                           [this, variable] {
                               if (const CVariableBase* used = variable()) {
                                   emit FindUsagesRequested(used);
                               }
                           },
                       .enabled = [variable] { return variable() != nullptr; },
                       .text =
                           [variable](const QString& label) {
                               const CVariableBase* used = variable();
                               return used != nullptr ? ToQ(FillPlaceholders(label.toStdString(), {used->GetText()}))
                                                      : label;
                           }});
    }
}

std::vector<const CVariableBase*> CInstructionView::UsedVariables() const
{
    std::vector<const CVariableBase*> variables;
    if (const CCodeBase* node = CurrentNode(); IsInstruction(node)) {
        variables = VariablesUsedBy(*node, false);
    }
    if (variables.size() > kMaxUsageItems) {
        variables.resize(kMaxUsageItems);
    }
    return variables;
}

QStringList CInstructionView::ContextMenuNames() const
{
    QStringList names = {"Cut", "Copy", "Paste", "Delete", "-"};
    for (std::size_t i = 0; i < m_newCount; ++i) {
        names << QStringLiteral("New%1").arg(i);
    }
    names << "-"
          << "Enable"
          << "-";
    const std::size_t used = UsedVariables().size();
    if (used == 0) {
        names << "FindUsages";
    }
    for (std::size_t i = 0; i < used; ++i) {
        names << QStringLiteral("FindUsages%1").arg(i);
    }
    return names;
}

// ---- the state ----------------------------------------------------------------------------

const CCodeTrigger* CInstructionView::CurrentTrigger() const
{
    const CState* state = m_document.GetState();
    return state != nullptr ? state->GetCurrentTrigger() : nullptr;
}

CCodeBase* CInstructionView::CurrentNode() const
{
    const CCodeTrigger* trigger = CurrentTrigger();
    return trigger != nullptr && !trigger->IsCode() ? trigger->GetCurrentNode() : nullptr;
}

CCodeBase* CInstructionView::NodeOf(const QModelIndex& index) const
{
    return m_tree->isHidden() ? nullptr : m_model->NodeOf(index);
}

QModelIndex CInstructionView::IndexOf(const CCodeBase* node) const { return m_model->IndexOf(node); }

QModelIndexList CInstructionView::SelectedIndexes() const
{
    QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    // Tree order: by the paths of the rows.
    const auto path = [](QModelIndex index) {
        std::vector<int> numbers;
        for (; index.isValid(); index = index.parent()) {
            numbers.push_back(index.row());
        }
        std::reverse(numbers.begin(), numbers.end());
        return numbers;
    };
    std::sort(rows.begin(), rows.end(), [&](const QModelIndex& a, const QModelIndex& b) { return path(a) < path(b); });
    return rows;
}

std::vector<const CCodeBase*> CInstructionView::SelectedNodes() const
{
    std::vector<const CCodeBase*> nodes;
    for (const QModelIndex& index : SelectedIndexes()) {
        if (const CCodeBase* node = NodeOf(index); node != nullptr) {
            nodes.push_back(node);
        }
    }
    return nodes;
}

QModelIndexList CInstructionView::DraggedIndexes() const
{
    // The selection when the current node is part of it, else the current node alone.
    const QModelIndex current = IndexOf(CurrentNode());
    QModelIndexList selected = SelectedIndexes();
    return selected.contains(current) ? selected : QModelIndexList{current};
}

QModelIndex CInstructionView::SelectedIndex() const
{
    const QModelIndex current = m_tree->currentIndex().siblingAtColumn(0);
    if (current.isValid() && m_tree->selectionModel()->isRowSelected(current.row(), current.parent())) {
        return current;
    }
    return SelectedIndexes().value(0);
}

void CInstructionView::OnUpdate()
{
    m_model->Sync();
    Refresh();
    FitCountColumn();
}

void CInstructionView::FitCountColumn()
{
    const bool shown = m_model->CountsShown();
    m_tree->setColumnHidden(1, !shown);
    if (shown) {
        m_tree->resizeColumnToContents(1);
    }
}

void CInstructionView::Refresh()
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const char* description = trigger == nullptr  ? "InstructionView/HeaderDescription"
                              : trigger->IsCode() ? "InstructionView/CodeDescription"
                                                  : "InstructionView/InstructionListDescription";
    m_description->setText(Localized(description));
    m_tree->setAccessibleName(m_description->text());
    m_text->setAccessibleName(m_description->text());
    const bool text = trigger == nullptr || trigger->IsCode();
    ShowText(text);
    if (text) {
        m_text->Load();
    } else {
        ShowCurrentNode();
    }
    if (m_tree->isColumnHidden(1) == m_model->CountsShown()) {
        FitCountColumn();
    }
    m_actions.Update();
}

void CInstructionView::ShowText(bool text)
{
    const bool focused = isAncestorOf(QApplication::focusWidget());
    // The hidden control takes no input: a paste meant for the tree never
    // reaches the text box, which would store it as the trigger's code.
    m_text->setVisible(text);
    m_text->setEnabled(text && m_document.GetState() != nullptr);
    m_tree->setVisible(!text);
    QWidget* shown = text ? static_cast<QWidget*>(m_text) : m_tree;
    setFocusProxy(shown);
    if (focused) {
        shown->setFocus();
    }
}

void CInstructionView::ShowCurrentNode()
{
    const CCodeBase* node = CurrentNode();
    if (m_model->NodeOf(SelectedIndex()) == node) {
        return;
    }
    m_filling = true;
    if (const QModelIndex current = m_model->IndexOf(node); current.isValid()) {
        m_tree->selectionModel()->setCurrentIndex(current,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_tree->scrollTo(current);
    } else {
        m_tree->selectionModel()->clear();
    }
    m_filling = false;
}

void CInstructionView::OnSelectionChanged()
{
    if (m_filling || m_model->IsSyncing()) {
        return;
    }
    m_model->SelectNodeOf(SelectedIndex());
    m_actions.Update();
    emit CurrentNodeChanged();
}

void CInstructionView::Changed()
{
    m_document.UpdateAllViews(this);
    Refresh();
}

// ---- commands -------------------------------------------------------------------------------

void CInstructionView::OnDelete()
{
    const std::vector<const CCodeBase*> nodes = SelectedNodes();
    if (nodes.size() > 1 ? DeleteInstructions(m_document, nodes) : DeleteInstruction(m_document, CurrentNode())) {
        Changed();
    }
}

void CInstructionView::OnCut() { CopySelection(true); }

void CInstructionView::OnCopy() { CopySelection(false); }

void CInstructionView::CopySelection(bool cut)
{
    const std::vector<const CCodeBase*> nodes = SelectedNodes();
    std::optional<SClipboardContent> content;
    if (nodes.size() > 1) {
        content = cut ? CutInstructions(m_document, nodes) : CopyInstructions(m_document, nodes);
    } else {
        content = cut ? CutInstruction(m_document, CurrentNode()) : CopyInstruction(m_document, CurrentNode());
    }
    if (!content) {
        UserPrompts().Beep();
        return;
    }
    PutOnClipboard(*content);
    if (cut) {
        Changed();
    }
}

void CInstructionView::OnPaste()
{
    const std::string fragment = FragmentOnClipboard();
    if (fragment.empty()) {
        UserPrompts().Beep();
        return;
    }
    if (ReportPaste(this, Paste(m_document, fragment, {.node = CurrentNode()}))) {
        Changed();
    }
}

void CInstructionView::OnEnable()
{
    // Many follow the one the command was given on, as one step.
    const CCodeBase* node = CurrentNode();
    const std::vector<const CCodeBase*> nodes = SelectedNodes();
    if (IsInstruction(node) && (nodes.size() > 1 ? SetInstructionsEnabled(m_document, nodes, !node->IsEnabled())
                                                 : SetInstructionEnabled(m_document, node, !node->IsEnabled()))) {
        Changed();
    }
}

void CInstructionView::OnNew(std::size_t rootBlock) { NewInstruction(rootBlock, nullptr); }

void CInstructionView::OnNewPicked(const CCodeInfoBase& definition)
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const CCodeBase* held = CurrentNode();
    while (held != nullptr && held->GetParent() != nullptr) {
        held = held->GetParent();
    }
    std::size_t block = m_newCount;
    for (std::size_t i = 0; trigger != nullptr && i < std::min(m_newCount, trigger->GetBlockCount()); ++i) {
        if (trigger->GetBlock(i)->GetType() == definition.GetType() &&
            (block == m_newCount || trigger->GetBlock(i) == held)) {
            block = i;
        }
    }
    if (block < m_newCount) {
        NewInstruction(block, &definition);
    }
}

void CInstructionView::NewInstruction(std::size_t rootBlock, const CCodeInfoBase* picked)
{
    if (m_chooser == nullptr || !BeginNewInstruction(m_document, rootBlock)) {
        return;
    }
    // The step gave the trigger copies of its nodes: it is read again after it.
    const CTypeInfo* type = CurrentTrigger()->GetBlock(rootBlock)->GetType();
    const std::unique_ptr<CCodeBase> pick(picked != nullptr ? picked->CreateCode() : nullptr);
    IInstructionChooser::Result result = pick ? m_chooser->ChoosePicked(*m_document.GetState(), type, *pick, this)
                                              : m_chooser->Choose(*m_document.GetState(), type, nullptr, this);
    const bool variablesChanged = result.variablesChanged;
    if (!result.instruction || !PlaceNewInstruction(m_document, rootBlock, std::move(result.instruction))) {
        CancelInstructionDialog(m_document, variablesChanged);
    }
    Changed();
}

void CInstructionView::OnEdit()
{
    if (m_chooser == nullptr) {
        return;
    }
    const CCodeBase* node = BeginEditInstruction(m_document);
    if (node == nullptr) {
        return;
    }
    IInstructionChooser::Result result = m_chooser->Choose(*m_document.GetState(), node->GetType(), node, this);
    const bool variablesChanged = result.variablesChanged;
    if (!result.instruction || !ReplaceInstruction(m_document, std::move(result.instruction))) {
        CancelInstructionDialog(m_document, variablesChanged);
    }
    Changed();
}

void CInstructionView::OnInsert()
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const CCodeBase* node = CurrentNode();
    while (node != nullptr && node->GetParent() != nullptr) {
        node = node->GetParent();
    }
    for (std::size_t i = 0; trigger != nullptr && node != nullptr && i < m_newCount; ++i) {
        if (trigger->GetBlock(i) == node) {
            OnNew(i);
            return;
        }
    }
}

void CInstructionView::OnMove(bool up)
{
    // Recorded as a drop: up onto the instruction two places above (it ends
    // right after it) or onto its block (it becomes the first); down onto the
    // next one.
    const CCodeBase* node = CurrentNode();
    const CCodeBase* parent = IsInstruction(node) ? node->GetParent() : nullptr;
    if (parent == nullptr) {
        return;
    }
    const int index = node->GetIndexInParent();
    const CCodeBase* target = nullptr;
    if (up && index >= 2) {
        target = parent->GetChild(static_cast<std::size_t>(index - 2));
    } else if (up && index == 1) {
        target = parent;
    } else if (!up && static_cast<std::size_t>(index) + 1 < parent->GetChildCount()) {
        target = parent->GetChild(static_cast<std::size_t>(index) + 1);
    }
    if (target != nullptr && DropInstruction(m_document, node, target)) {
        Changed();
    }
}

// ---- context menu and drag and drop ---------------------------------------------------------

void CInstructionView::OpenContextMenu()
{
    const QModelIndex current = m_tree->currentIndex();
    const QPoint at = current.isValid() ? m_tree->visualRect(current).bottomLeft() : QPoint(0, 0);
    ShowContextMenuAt(m_tree->viewport()->mapToGlobal(at));
}

void CInstructionView::ShowContextMenuAt(const QPoint& globalPos)
{
    m_actions.ContextMenu(ContextMenuNames(), m_tree)->exec(globalPos);
}

bool CInstructionView::CanDropOn(const QModelIndex& target) const
{
    const std::unique_ptr<QMimeData> data(m_model->mimeData(DraggedIndexes()));
    return data != nullptr && m_model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, target);
}

bool CInstructionView::DropOn(const QModelIndex& target)
{
    const std::unique_ptr<QMimeData> data(m_model->mimeData(DraggedIndexes()));
    return data != nullptr && m_model->dropMimeData(data.get(), Qt::MoveAction, -1, -1, target);
}

void CInstructionView::SetDropTarget(const QModelIndex& index)
{
    if (index != m_dropTarget) {
        m_dropTarget = index;
        m_tree->viewport()->update();
    }
}

} // namespace bram::gui
