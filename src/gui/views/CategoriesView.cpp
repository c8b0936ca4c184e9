#include "gui/views/CategoriesView.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/DropHighlight.h"
#include "gui/views/ClipboardTransfer.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

#include <memory>

namespace bram::gui {

CCategoriesView::CCategoriesView(CApplicationDocument& document, QWidget* parent)
    : QTreeView(parent), m_document(document), m_model(new CCategoriesModel(document, this)), m_actions(this, "CatView")
{
    setObjectName(QStringLiteral("CategoriesView"));
    setAccessibleName(Localized("CatView/PaneName"));
    setHeaderHidden(true);
    m_model->SetGreyBrush(palette().brush(QPalette::Disabled, QPalette::Text));
    setModel(m_model);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Fitted to the counts when they change: measuring the rows on every
    // layout would cost more than the rest of an edit of a large document.
    header()->setSectionResizeMode(1, QHeaderView::Fixed);
    setColumnHidden(1, true);
    // One line per row: the view need not measure thousands of rows.
    setUniformRowHeights(true);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(DragDrop);
    // The drop target is drawn by this view, by the model's rules.
    setDropIndicatorShown(false);
    m_clock.start();
    BuildActions();
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CCategoriesView::OnSelectionChanged);
    connect(m_model, &CCategoriesModel::Applied, this, &CCategoriesView::OnApplied);
    connect(m_model, &CCategoriesModel::RowsAboutToRotate, this, [this] {
        m_rotating.clear();
        for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
            m_rotating.push_back(index);
        }
    });
    connect(m_model, &CCategoriesModel::RowsRotated, this, [this] {
        QItemSelection selection;
        for (const QPersistentModelIndex& index : m_rotating) {
            selection.select(index, index);
        }
        m_rotating.clear();
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CCategoriesView::OnRowsInserted);
    expandAll();
    OnUpdate();
}

CCategoriesView::~CCategoriesView() = default;

QStringList CCategoriesView::ContextMenuNames()
{
    return {"NewCategory", "NewTrigger", "Delete", "-", "Cut", "Copy", "Paste", "-", "Enable", "EnableAtBeginning"};
}

void CCategoriesView::BuildActions()
{
    const auto categoryOrTrigger = [this] {
        const EItemKind kind = KindOf(SelectedIndex());
        return kind == EItemKind::Category || kind == EItemKind::Trigger;
    };
    const auto trigger = [this]() -> const CCodeTrigger* {
        const CTriggerEntry* entry = EntryOf(SelectedIndex());
        const CState* state = m_document.GetState();
        return entry != nullptr && state != nullptr ? state->FindTrigger(entry->GetId()) : nullptr;
    };
    const CActionEntry entries[] = {
        {.name = "NewCategory",
         .command = ECommand::CategoryNewCategory,
         .textKey = "ContextNewCategory",
         .handler = [this] { OnNewCategory(); }},
        {.name = "NewTrigger",
         .command = ECommand::CategoryNewTrigger,
         .textKey = "ContextNewTrigger",
         .keys = {QKeySequence(Qt::Key_Insert)},
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnNewTrigger(); },
         .enabled = categoryOrTrigger},
        {.name = "Delete",
         .command = ECommand::CategoryDelete,
         .textKey = "ContextDelete",
         .keys = {QKeySequence(Qt::Key_Delete)},
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnDelete(); },
         .enabled = categoryOrTrigger},
        // Their keys are the main frame's, which hands them to the focused view.
        {.name = "Cut", .textKey = "ContextCut", .handler = [this] { OnCut(); }, .enabled = categoryOrTrigger},
        {.name = "Copy", .textKey = "ContextCopy", .handler = [this] { OnCopy(); }, .enabled = categoryOrTrigger},
        {.name = "Paste",
         .textKey = "ContextPaste",
         .handler = [this] { OnPaste(); },
         .enabled = [] { return HasFragmentOnClipboard(); }},
        {.name = "Enable",
         .command = ECommand::CategoryEnable,
         .textKey = "ContextEnable",
         .handler = [this] { OnEnable(false); },
         .enabled = [trigger] { return trigger() != nullptr; },
         .checked = [trigger] { return trigger() != nullptr && trigger()->IsEnabled(); }},
        {.name = "EnableAtBeginning",
         .command = ECommand::CategoryEnableAtBeginning,
         .textKey = "ContextEnableAtBeginning",
         .handler = [this] { OnEnable(true); },
         .enabled = [trigger] { return trigger() != nullptr; },
         .checked = [trigger] { return trigger() != nullptr && trigger()->IsEnabledAtBeginning(); }},
        // The menu key and Shift+F10 open the menu for the selected item.
        {.name = "ContextMenu",
         .keys = {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)},
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OpenContextMenu(); }},
    };
    for (const CActionEntry& entry : entries) {
        m_actions.Add(entry);
    }
}

// ---- rows --------------------------------------------------------------------------------

QModelIndexList CCategoriesView::SelectedRows() const { return selectionModel()->selectedRows(0); }

std::vector<CTriggerEntry*> CCategoriesView::SelectedEntries() const
{
    std::vector<CTriggerEntry*> entries;
    for (const QModelIndex& index : SelectedRows()) {
        if (CTriggerEntry* entry = EntryOf(index); entry != nullptr && KindOf(index) == EItemKind::Trigger) {
            entries.push_back(entry);
        }
    }
    return entries;
}

QModelIndex CCategoriesView::SelectedIndex() const
{
    const QModelIndex current = currentIndex().siblingAtColumn(0);
    if (current.isValid() && selectionModel()->isSelected(current)) {
        return current;
    }
    const QModelIndexList selected = SelectedRows();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

void CCategoriesView::OnRowsInserted(const QModelIndex& parent, int first, int last)
{
    // New categories show their triggers, as a document opened shows all.
    if (KindOf(parent) == EItemKind::Root) {
        for (int row = first; row <= last; ++row) {
            expand(m_model->index(row, 0, parent));
        }
    }
}

// ---- showing the state --------------------------------------------------------------------

void CCategoriesView::OnUpdate()
{
    m_model->RefreshCounts();
    m_model->RefreshRootLabel();
    FitCountColumn();
    ShowSelection();
    m_actions.Update();
}

void CCategoriesView::FitCountColumn()
{
    const bool shown = m_model->CountsShown();
    setColumnHidden(1, !shown);
    if (shown) {
        resizeColumnToContents(1);
    }
}

void CCategoriesView::UpdateRootLabel() { m_model->RefreshRootLabel(); }

void CCategoriesView::OnApplied()
{
    if (isColumnHidden(1) == m_model->CountsShown()) {
        FitCountColumn();
    }
    ShowSelection();
    m_actions.Update();
}

void CCategoriesView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // Trigger rows are of one height and have no children, so a run of them
    // changing (a renamed trigger passing others) changes no geometry: the
    // shown part is painted again. Qt's own pass measures every row of the
    // run, thousands in a large category.
    if (topLeft.row() == bottomRight.row() || KindOf(topLeft) != EItemKind::Trigger || !uniformRowHeights()) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    viewport()->update();
#if QT_CONFIG(accessibility)
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        event.setFirstRow(topLeft.row());
        event.setFirstColumn(topLeft.column());
        event.setLastRow(bottomRight.row());
        event.setLastColumn(bottomRight.column());
        QAccessible::updateAccessibility(&event);
    }
#endif
}

void CCategoriesView::ShowRow(const QModelIndex& index)
{
    m_showing = true;
    // Making the row current replaces the selection (clearing first would
    // have the view measure the old one). Said outright: without a command
    // the view takes one from the modifier keys held, and Ctrl+Z held down
    // would add each row it shows to the selection.
    if (!index.isValid()) {
        clearSelection();
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_showing = false;
}

void CCategoriesView::ShowSelection()
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* current = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    const QModelIndex selected = SelectedIndex();
    QModelIndex target;
    if (current != nullptr) {
        target = IndexOf(m_document.GetCategorySystem().FindEntry(current->GetId()));
    } else if (KindOf(selected) == EItemKind::Category || KindOf(selected) == EItemKind::Root) {
        // A selected category or root stays (its row follows the changes).
        target = selected;
    }
    // Rows the user selected besides stay selected while the target is among them.
    const bool shown = target.isValid()
                           ? selectionModel()->isSelected(target) && currentIndex().siblingAtColumn(0) == target
                           : SelectedRows().isEmpty();
    if (!shown) {
        ShowRow(target);
    }
    if (target.isValid()) {
        scrollTo(target);
    }
}

// ---- selection and commands -------------------------------------------------------------

void CCategoriesView::OnSelectionChanged()
{
    if (m_showing || m_model->IsApplying()) {
        return;
    }
    SelectTrigger(m_document, EntryOf(SelectedIndex()));
    m_actions.Update();
    // Nothing else changed: the other views need not compare everything.
    m_document.NoteChange({EChangeKind::Selection});
    m_document.UpdateAllViews(this);
}

void CCategoriesView::OnNewCategory()
{
    const CCategory* category = CreateCategory(m_document);
    SelectTrigger(m_document, nullptr);
    m_document.UpdateAllViews(this);
    const QModelIndex index = IndexOf(category);
    ShowRow(index);
    m_actions.Update();
    if (index.isValid()) {
        scrollTo(index);
        edit(index);
    }
}

void CCategoriesView::OnNewTrigger()
{
    // Under a selected trigger, the new one goes into its category.
    CCategory* category = CategoryOf(SelectedIndex());
    const CTriggerEntry* entry = category != nullptr ? CreateTrigger(m_document, category) : nullptr;
    if (entry == nullptr) {
        return;
    }
    SelectTrigger(m_document, entry);
    // The report brings the row, selected as the current trigger.
    m_document.UpdateAllViews(this);
    if (const QModelIndex index = IndexOf(entry); index.isValid()) {
        edit(index);
    }
}

void CCategoriesView::OnDelete()
{
    const QModelIndex index = SelectedIndex();
    bool deleted = false;
    if (const std::vector<CTriggerEntry*> entries = SelectedEntries(); entries.size() > 1) {
        deleted = DeleteTriggers(m_document, entries);
    } else if (KindOf(index) == EItemKind::Category) {
        deleted = DeleteCategory(m_document, CategoryOf(index));
    } else if (KindOf(index) == EItemKind::Trigger) {
        deleted = DeleteTrigger(m_document, EntryOf(index));
    }
    if (deleted) {
        m_document.UpdateAllViews(this);
    }
}

void CCategoriesView::OnCut() { CopySelection(true); }

void CCategoriesView::OnCopy() { CopySelection(false); }

void CCategoriesView::CopySelection(bool cut)
{
    const QModelIndex index = SelectedIndex();
    std::optional<SClipboardContent> content;
    if (const std::vector<CTriggerEntry*> entries = SelectedEntries(); entries.size() > 1) {
        content = cut ? CutTriggers(m_document, entries) : CopyTriggers(m_document, entries);
    } else if (KindOf(index) == EItemKind::Category) {
        content = cut ? CutCategory(m_document, CategoryOf(index)) : CopyCategory(m_document, CategoryOf(index));
    } else if (KindOf(index) == EItemKind::Trigger) {
        content = cut ? CutTrigger(m_document, EntryOf(index)) : CopyTrigger(m_document, EntryOf(index));
    }
    if (!content) {
        UserPrompts().Beep();
        return;
    }
    PutOnClipboard(*content);
    if (cut) {
        m_document.UpdateAllViews();
    }
}

void CCategoriesView::OnPaste()
{
    const std::string fragment = FragmentOnClipboard();
    if (fragment.empty()) {
        UserPrompts().Beep();
        return;
    }
    CCategorySystem& categories = m_document.GetCategorySystem();
    const std::size_t before = categories.GetCategoryCount();
    CCategory* category = CategoryOf(SelectedIndex());
    if (!ReportPaste(this, Paste(m_document, fragment, {.category = category}))) {
        return;
    }
    if (categories.GetCategoryCount() > before) {
        category = categories.GetCategory(categories.GetCategoryCount() - 1);
    }
    if (category != nullptr && category->GetTriggerCount() > 0) {
        SelectTrigger(m_document, category->GetTrigger(category->GetTriggerCount() - 1));
    }
    m_document.UpdateAllViews();
}

void CCategoriesView::OnEnable(bool atBeginning)
{
    const CTriggerEntry* entry = EntryOf(SelectedIndex());
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = entry != nullptr && state != nullptr ? state->FindTrigger(entry->GetId()) : nullptr;
    if (trigger == nullptr) {
        return;
    }
    // Many follow the one the command was given on, as one step.
    std::vector<std::uint32_t> ids;
    for (const CTriggerEntry* selected : SelectedEntries()) {
        ids.push_back(selected->GetId());
    }
    if (atBeginning) {
        SetTriggerEnabledAtBeginning(m_document, trigger->GetId(), !trigger->IsEnabledAtBeginning());
    } else if (ids.size() > 1) {
        SetTriggersEnabled(m_document, ids, !trigger->IsEnabled());
    } else {
        SetTriggerEnabled(m_document, trigger->GetId(), !trigger->IsEnabled());
    }
    m_document.UpdateAllViews(this);
}

// ---- label editing ----------------------------------------------------------------------

bool CCategoriesView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Qt also asks on every change of the current item; only requests to
    // start editing count.
    if (trigger == AllEditTriggers || (trigger & editTriggers()) != 0) {
        // Every request ends the lockout; a click within it is refused.
        const bool locked = m_lockoutUntil >= 0 && m_clock.elapsed() < m_lockoutUntil;
        m_lockoutUntil = -1;
        if ((locked && (trigger == SelectedClicked || trigger == DoubleClicked)) || KindOf(index) == EItemKind::Root) {
            return false;
        }
        // The count column is no label: a request there edits the label.
        if (index.column() != 0) {
            setCurrentIndex(index.siblingAtColumn(0));
            return QTreeView::edit(index.siblingAtColumn(0), trigger, event);
        }
    }
    return QTreeView::edit(index, trigger, event);
}

void CCategoriesView::CommitLabelEdit()
{
    if (state() != EditingState) {
        return;
    }
    // Labels are edited on the current item only.
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void CCategoriesView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint()).siblingAtColumn(0);
        if (index.isValid() && index != SelectedIndex()) {
            m_lockoutUntil = m_clock.elapsed() + kLabelEditLockoutMs;
        }
    }
    QTreeView::mousePressEvent(event);
}

// ---- context menu -----------------------------------------------------------------------

void CCategoriesView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        OpenContextMenu();
    } else {
        ShowContextMenuAt(event->globalPos());
    }
}

void CCategoriesView::OpenContextMenu()
{
    const QModelIndex index = SelectedIndex();
    const QPoint at = index.isValid() ? visualRect(index).bottomLeft() : QPoint(0, 0);
    ShowContextMenuAt(viewport()->mapToGlobal(at));
}

void CCategoriesView::ShowContextMenuAt(const QPoint& globalPos)
{
    m_actions.ContextMenu(ContextMenuNames(), this)->exec(globalPos);
}

// ---- drag and drop ------------------------------------------------------------------------

bool CCategoriesView::CanDropOn(const QModelIndex& target) const
{
    const std::unique_ptr<QMimeData> data(m_model->mimeData(SelectedRows()));
    return data != nullptr && m_model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, target);
}

bool CCategoriesView::DropOn(const QModelIndex& target)
{
    const std::unique_ptr<QMimeData> data(m_model->mimeData(SelectedRows()));
    return data != nullptr && m_model->dropMimeData(data.get(), Qt::MoveAction, -1, -1, target);
}

void CCategoriesView::startDrag(Qt::DropActions /*supportedActions*/)
{
    const QModelIndex index = SelectedIndex();
    QMimeData* data = KindOf(index) == EItemKind::Trigger ? m_model->mimeData(SelectedRows()) : nullptr;
    if (data == nullptr) {
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QIcon icon = m_model->data(index, Qt::DecorationRole).value<QIcon>();
    drag->setPixmap(icon.pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16)));
    m_dragging = true;
    drag->exec(Qt::MoveAction);
    m_dragging = false;
    EndDrag();
}

void CCategoriesView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this && m_dragging) {
        setState(DraggingState);
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CCategoriesView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this || !m_dragging) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    const QModelIndex target = indexAt(at).siblingAtColumn(0);
    const QModelIndex highlight =
        m_model->canDropMimeData(event->mimeData(), Qt::MoveAction, -1, -1, target) ? target : QModelIndex();
    if (highlight != QModelIndex(m_dropTarget)) {
        m_dropTarget = highlight;
        viewport()->update();
    }
    if (highlight.isValid()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
    if (at.y() < autoScrollMargin() || at.y() > viewport()->height() - autoScrollMargin()) {
        startAutoScroll();
    }
}

void CCategoriesView::dragLeaveEvent(QDragLeaveEvent* /*event*/) { EndDrag(); }

void CCategoriesView::dropEvent(QDropEvent* event)
{
    const QModelIndex target = indexAt(event->position().toPoint()).siblingAtColumn(0);
    const bool ours = event->source() == this && m_dragging;
    EndDrag();
    if (!ours) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_model->dropMimeData(event->mimeData(), Qt::MoveAction, -1, -1, target);
}

void CCategoriesView::EndDrag()
{
    stopAutoScroll();
    setState(NoState);
    if (m_dropTarget.isValid()) {
        m_dropTarget = QPersistentModelIndex();
        viewport()->update();
    }
}

void CCategoriesView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    PaintDropHighlight(*this, m_dropTarget);
}

} // namespace bram::gui
