#include "gui/views/CategoriesView.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/views/ClipboardTransfer.h"
#include "gui/views/RunCounts.h"
#include "gui/views/ViewIcons.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <unordered_set>

namespace bram::gui {

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kCategoryRole = Qt::UserRole + 1;
constexpr int kEntryRole = Qt::UserRole + 2;
constexpr char kTriggerMime[] = "application/x-brambleton-trigger";

// Alphabetical, capitals and small letters together; the exact text decides ties.
bool DisplayLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b)
{
    const int order = QString::compare(a->text(0), b->text(0), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a->text(0) < b->text(0);
}

QTreeWidgetItem* NewItem(const std::string& label, CCategoriesView::EItemKind kind, std::size_t category,
                         std::size_t entry)
{
    auto* item = new QTreeWidgetItem(QStringList(ToQ(label)));
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kCategoryRole, static_cast<qulonglong>(category));
    item->setData(0, kEntryRole, static_cast<qulonglong>(entry));
    return item;
}

// In the place the display order gives it among the parent's sorted children.
void InsertSorted(QTreeWidgetItem& parent, QTreeWidgetItem* item)
{
    int low = 0;
    int high = parent.childCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (DisplayLess(item, parent.child(middle))) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    parent.insertChild(low, item);
}

} // namespace

CCategoriesView::CCategoriesView(CApplicationDocument& document, QWidget* parent)
    : QTreeWidget(parent), m_document(document), m_actions(this, "CatView")
{
    setObjectName(QStringLiteral("CategoriesView"));
    setAccessibleName(Localized("CatView/PaneName"));
    setHeaderHidden(true);
    // The label, and the run count (empty without one).
    setColumnCount(2);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    // One line per item: the view need not measure thousands of rows.
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(DragDrop);
    // The drop target is drawn by this view, by its own rules.
    setDropIndicatorShown(false);
    m_clock.start();
    BuildActions();
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CCategoriesView::OnSelectionChanged);
    connect(this, &QTreeWidget::itemChanged, this, &CCategoriesView::OnItemChanged);
    m_listener = m_document.AddUpdateListener(this, [this] { OnUpdate(); });
    OnUpdate();
}

CCategoriesView::~CCategoriesView() { m_document.RemoveUpdateListener(m_listener); }

QStringList CCategoriesView::ContextMenuNames()
{
    return {"NewCategory", "NewTrigger", "Delete", "-", "Cut", "Copy", "Paste", "-", "Enable", "EnableAtBeginning"};
}

void CCategoriesView::BuildActions()
{
    const auto categoryOrTrigger = [this] {
        const EItemKind kind = KindOf(SelectedItem());
        return kind == EItemKind::Category || kind == EItemKind::Trigger;
    };
    const auto trigger = [this]() -> const CCodeTrigger* {
        const CTriggerEntry* entry = EntryOf(SelectedItem());
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

// ---- items --------------------------------------------------------------------------

CCategoriesView::EItemKind CCategoriesView::KindOf(const QTreeWidgetItem* item)
{
    return item != nullptr ? static_cast<EItemKind>(item->data(0, kKindRole).toInt()) : EItemKind::None;
}

CCategory* CCategoriesView::CategoryOf(const QTreeWidgetItem* item) const
{
    const EItemKind kind = KindOf(item);
    if (kind != EItemKind::Category && kind != EItemKind::Trigger) {
        return nullptr;
    }
    const CCategorySystem& categories = m_document.GetCategorySystem();
    const auto index = static_cast<std::size_t>(item->data(0, kCategoryRole).toULongLong());
    return index < categories.GetCategoryCount() ? categories.GetCategory(index) : nullptr;
}

CTriggerEntry* CCategoriesView::EntryOf(const QTreeWidgetItem* item) const
{
    const CCategory* category = KindOf(item) == EItemKind::Trigger ? CategoryOf(item) : nullptr;
    if (category == nullptr) {
        return nullptr;
    }
    const auto index = static_cast<std::size_t>(item->data(0, kEntryRole).toULongLong());
    return index < category->GetTriggerCount() ? category->GetTrigger(index) : nullptr;
}

QTreeWidgetItem* CCategoriesView::ItemOf(const CCategory* category) const
{
    const int index = m_document.GetCategorySystem().IndexOf(category);
    return index >= 0 && static_cast<std::size_t>(index) < m_categoryItems.size() ? m_categoryItems[index] : nullptr;
}

QTreeWidgetItem* CCategoriesView::ItemOf(const CTriggerEntry* entry) const
{
    const auto found = m_itemOfEntry.find(entry);
    return found != m_itemOfEntry.end() ? found->second : nullptr;
}

QTreeWidgetItem* CCategoriesView::SelectedItem() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// ---- showing the state --------------------------------------------------------------------

void CCategoriesView::OnUpdate()
{
    // A selected category stays selected when it still exists; the item's
    // data may be stale now, so it is named by what the tree was built from.
    const CCategory* keptCategory = nullptr;
    if (const QTreeWidgetItem* selected = SelectedItem(); KindOf(selected) == EItemKind::Category) {
        const auto index = static_cast<std::size_t>(selected->data(0, kCategoryRole).toULongLong());
        keptCategory = index < m_shape.size() ? m_shape[index].category : nullptr;
    }
    Sync();
    UpdateRootLabel();
    ShowSelection(keptCategory);
    m_actions.Update();
}

void CCategoriesView::Rebuild()
{
    m_filling = true;
    setUpdatesEnabled(false);
    clear();
    m_shape.clear();
    m_categoryItems.clear();
    m_itemOfEntry.clear();
    m_dropTarget = nullptr;

    auto* root = NewItem(m_document.GetTitle(), EItemKind::Root, 0, 0);
    root->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    root->setIcon(0, StandardIcon(QStyle::SP_DirHomeIcon));
    addTopLevelItem(root);
    const QIcon folder = StandardIcon(QStyle::SP_DirIcon);
    const QIcon file = StandardIcon(QStyle::SP_FileIcon);
    const CCategorySystem& categories = m_document.GetCategorySystem();
    QList<QTreeWidgetItem*> categoryItems;
    for (std::size_t i = 0; i < categories.GetCategoryCount(); ++i) {
        const CCategory* category = categories.GetCategory(i);
        QTreeWidgetItem* item = NewItem(category->GetName(), EItemKind::Category, i, 0);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
        item->setIcon(0, folder);
        Shape shape{category, category->GetName(), {}};
        QList<QTreeWidgetItem*> children;
        for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
            const CTriggerEntry* entry = category->GetTrigger(j);
            QTreeWidgetItem* child = NewItem(entry->GetName(), EItemKind::Trigger, i, j);
            child->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                            Qt::ItemIsDropEnabled);
            child->setIcon(0, file);
            children << child;
            m_itemOfEntry[entry] = child;
            shape.entries.emplace_back(entry, entry->GetName());
        }
        std::stable_sort(children.begin(), children.end(), DisplayLess);
        item->addChildren(children);
        categoryItems << item;
        m_categoryItems.push_back(item);
        m_shape.push_back(std::move(shape));
    }
    std::stable_sort(categoryItems.begin(), categoryItems.end(), DisplayLess);
    root->addChildren(categoryItems);
    expandAll();
    RefreshFlags();
    setUpdatesEnabled(true);
    m_filling = false;
}

void CCategoriesView::Sync()
{
    if (!SyncEntries()) {
        Rebuild();
        return;
    }
    RefreshFlags();
}

bool CCategoriesView::SyncEntries()
{
    const CCategorySystem& categories = m_document.GetCategorySystem();
    if (RootItem() == nullptr || categories.GetCategoryCount() != m_shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_shape.size(); ++i) {
        if (categories.GetCategory(i) != m_shape[i].category || m_shape[i].category->GetName() != m_shape[i].name) {
            return false;
        }
    }
    const bool filling = m_filling;
    m_filling = true;
    for (std::size_t i = 0; i < m_shape.size(); ++i) {
        const CCategory* category = m_shape[i].category;
        const Shape& shape = m_shape[i];
        bool same = category->GetTriggerCount() == shape.entries.size();
        for (std::size_t j = 0; same && j < shape.entries.size(); ++j) {
            same = category->GetTrigger(j) == shape.entries[j].first &&
                   category->GetTrigger(j)->GetName() == shape.entries[j].second;
        }
        if (!same) {
            SyncCategory(i);
        }
    }
    m_filling = filling;
    return true;
}

void CCategoriesView::SyncCategory(std::size_t index)
{
    const CCategory* category = m_shape[index].category;
    Shape& shape = m_shape[index];
    QTreeWidgetItem* parent = m_categoryItems[index];
    std::unordered_set<const CTriggerEntry*> kept;
    for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
        kept.insert(category->GetTrigger(j));
    }
    // Gone, or renamed (taken out to go back in its sorted place).
    std::vector<QTreeWidgetItem*> renamed;
    for (const auto& [entry, name] : shape.entries) {
        const auto found = m_itemOfEntry.find(entry);
        if (found == m_itemOfEntry.end() || found->second->parent() != parent) {
            continue;
        }
        QTreeWidgetItem* item = found->second;
        if (!kept.contains(entry)) {
            if (m_dropTarget == item) {
                m_dropTarget = nullptr;
            }
            m_itemOfEntry.erase(found);
            delete item;
        } else if (entry->GetName() != name) {
            parent->removeChild(item);
            item->setText(0, ToQ(entry->GetName()));
            renamed.push_back(item);
        }
    }
    for (QTreeWidgetItem* item : renamed) {
        InsertSorted(*parent, item);
    }
    shape.entries.clear();
    for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
        const CTriggerEntry* entry = category->GetTrigger(j);
        QTreeWidgetItem*& item = m_itemOfEntry[entry];
        if (item != nullptr && item->parent() != parent) {
            // Moved here from another category: that one drops it as gone.
            item->parent()->removeChild(item);
            delete item;
            item = nullptr;
        }
        if (item == nullptr) {
            item = NewItem(entry->GetName(), EItemKind::Trigger, index, j);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                           Qt::ItemIsDropEnabled);
            item->setIcon(0, StandardIcon(QStyle::SP_FileIcon));
            InsertSorted(*parent, item);
        } else if (item->data(0, kEntryRole).toULongLong() != j) {
            item->setData(0, kEntryRole, static_cast<qulonglong>(j));
        }
        shape.entries.emplace_back(entry, entry->GetName());
    }
}

void CCategoriesView::RefreshFlags()
{
    const CState* state = m_document.GetState();
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    const bool counted = m_counts != nullptr && m_counts->IsFor(state);
    const bool labels = counted || m_countsShown;
    m_countsShown = counted;
    const bool filling = m_filling;
    m_filling = true;
    for (const auto& [entry, item] : m_itemOfEntry) {
        const CCodeTrigger* trigger = state != nullptr ? state->FindTrigger(entry->GetId()) : nullptr;
        const bool disabled = trigger != nullptr && !trigger->IsEnabled();
        if (disabled != (item->foreground(0).style() != Qt::NoBrush)) {
            item->setForeground(0, disabled ? grey : QBrush());
        }
        if (!labels) {
            continue;
        }
        const std::uint64_t count = counted ? m_counts->OfTrigger(entry->GetId()) : 0;
        if (const QString label = counted ? CRunCounts::Label(count) : QString(); item->text(1) != label) {
            item->setText(1, label);
            item->setForeground(1, counted && count == 0 ? grey : QBrush());
        }
    }
    m_filling = filling;
}

void CCategoriesView::UpdateRootLabel()
{
    QTreeWidgetItem* root = RootItem();
    const QString title = ToQ(m_document.GetTitle());
    if (root != nullptr && root->text(0) != title) {
        const bool filling = m_filling;
        m_filling = true;
        root->setText(0, title);
        m_filling = filling;
    }
}

void CCategoriesView::ShowSelection(const CCategory* keptCategory)
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* current = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    QTreeWidgetItem* target = nullptr;
    if (current != nullptr) {
        const CCategory* category = m_document.GetCategorySystem().FindCategoryOfTrigger(current->GetId());
        for (std::size_t j = 0; category != nullptr && j < category->GetTriggerCount() && target == nullptr; ++j) {
            if (category->GetTrigger(j)->GetId() == current->GetId()) {
                target = ItemOf(category->GetTrigger(j));
            }
        }
    } else if (keptCategory != nullptr) {
        target = ItemOf(keptCategory);
    } else if (KindOf(SelectedItem()) == EItemKind::Root) {
        target = RootItem();
    }
    if (SelectedItem() != target) {
        m_filling = true;
        // One item at most is selected: making the target current replaces
        // it, and clearing first would have the view measure the old one.
        if (target == nullptr) {
            clearSelection();
        }
        setCurrentItem(target);
        m_filling = false;
    }
    if (target != nullptr) {
        scrollToItem(target);
    }
}

// ---- selection and commands -------------------------------------------------------------

void CCategoriesView::SelectItem(QTreeWidgetItem* item)
{
    m_filling = true;
    clearSelection();
    setCurrentItem(item);
    m_filling = false;
    if (item != nullptr) {
        scrollToItem(item);
    }
    SelectTrigger(m_document, EntryOf(item));
    m_actions.Update();
    m_document.UpdateAllViews(this);
}

void CCategoriesView::OnSelectionChanged()
{
    if (m_filling) {
        return;
    }
    SelectTrigger(m_document, EntryOf(SelectedItem()));
    m_actions.Update();
    m_document.UpdateAllViews(this);
}

void CCategoriesView::OnNewCategory()
{
    const CCategory* category = CreateCategory(m_document);
    Rebuild();
    QTreeWidgetItem* item = ItemOf(category);
    SelectItem(item);
    if (item != nullptr) {
        editItem(item);
    }
}

void CCategoriesView::OnNewTrigger()
{
    // Under a selected trigger, the new one goes into its category.
    CCategory* category = CategoryOf(SelectedItem());
    const CTriggerEntry* entry = category != nullptr ? CreateTrigger(m_document, category) : nullptr;
    if (entry == nullptr) {
        return;
    }
    Sync();
    QTreeWidgetItem* item = ItemOf(entry);
    SelectItem(item);
    if (item != nullptr) {
        editItem(item);
    }
}

void CCategoriesView::OnDelete()
{
    const QTreeWidgetItem* item = SelectedItem();
    bool deleted = false;
    if (KindOf(item) == EItemKind::Category) {
        deleted = DeleteCategory(m_document, CategoryOf(item));
    } else if (KindOf(item) == EItemKind::Trigger) {
        deleted = DeleteTrigger(m_document, EntryOf(item));
    }
    if (deleted) {
        Sync();
        ShowSelection(nullptr);
        m_actions.Update();
        m_document.UpdateAllViews(this);
    }
}

void CCategoriesView::OnCut() { CopySelection(true); }

void CCategoriesView::OnCopy() { CopySelection(false); }

void CCategoriesView::CopySelection(bool cut)
{
    const QTreeWidgetItem* item = SelectedItem();
    std::optional<SClipboardContent> content;
    if (KindOf(item) == EItemKind::Category) {
        content = cut ? CutCategory(m_document, CategoryOf(item)) : CopyCategory(m_document, CategoryOf(item));
    } else if (KindOf(item) == EItemKind::Trigger) {
        content = cut ? CutTrigger(m_document, EntryOf(item)) : CopyTrigger(m_document, EntryOf(item));
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
    CCategory* category = CategoryOf(SelectedItem());
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
    const CTriggerEntry* entry = EntryOf(SelectedItem());
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = entry != nullptr && state != nullptr ? state->FindTrigger(entry->GetId()) : nullptr;
    if (trigger == nullptr) {
        return;
    }
    if (atBeginning) {
        SetTriggerEnabledAtBeginning(m_document, trigger->GetId(), !trigger->IsEnabledAtBeginning());
    } else {
        SetTriggerEnabled(m_document, trigger->GetId(), !trigger->IsEnabled());
    }
    RefreshFlags();
    m_actions.Update();
    m_document.UpdateAllViews(this);
}

void CCategoriesView::OnItemChanged(QTreeWidgetItem* item)
{
    const EItemKind kind = KindOf(item);
    if (m_filling || (kind != EItemKind::Category && kind != EItemKind::Trigger)) {
        return;
    }
    // The end of a label edit. A refused name (empty, taken, nothing left
    // after normalizing) leaves the old label; an accepted trigger name shows
    // as stored, normalized.
    const std::string text = item->text(0).toStdString();
    bool renamed = false;
    std::string label;
    if (CCategory* category = kind == EItemKind::Category ? CategoryOf(item) : nullptr) {
        renamed = RenameCategory(m_document, category, text);
        label = category->GetName();
    } else if (CTriggerEntry* entry = EntryOf(item)) {
        renamed = RenameTrigger(m_document, entry, text);
        label = entry->GetName();
    }
    m_filling = true;
    item->setText(0, ToQ(label));
    m_filling = false;
    if (renamed) {
        m_document.UpdateAllViews(this);
        // Sorted again once the label editor has closed.
        QMetaObject::invokeMethod(this, &CCategoriesView::OnUpdate, Qt::QueuedConnection);
    }
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
        if ((locked && (trigger == SelectedClicked || trigger == DoubleClicked)) ||
            KindOf(itemFromIndex(index)) == EItemKind::Root) {
            return false;
        }
        // The count column is no label: a request there edits the label.
        if (index.column() != 0) {
            setCurrentIndex(index.siblingAtColumn(0));
            return QTreeWidget::edit(index.siblingAtColumn(0), trigger, event);
        }
    }
    return QTreeWidget::edit(index, trigger, event);
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
        const QTreeWidgetItem* item = itemAt(event->position().toPoint());
        if (item != nullptr && item != SelectedItem()) {
            m_lockoutUntil = m_clock.elapsed() + kLabelEditLockoutMs;
        }
    }
    QTreeWidget::mousePressEvent(event);
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
    const QTreeWidgetItem* item = SelectedItem();
    const QPoint at = item != nullptr ? visualItemRect(item).bottomLeft() : QPoint(0, 0);
    ShowContextMenuAt(viewport()->mapToGlobal(at));
}

void CCategoriesView::ShowContextMenuAt(const QPoint& globalPos)
{
    m_actions.ContextMenu(ContextMenuNames(), this)->exec(globalPos);
}

// ---- drag and drop ------------------------------------------------------------------------

bool CCategoriesView::CanDropOn(const QTreeWidgetItem* target) const
{
    const QTreeWidgetItem* dragged = SelectedItem();
    const EItemKind kind = KindOf(target);
    if (EntryOf(dragged) == nullptr || (kind != EItemKind::Category && kind != EItemKind::Trigger)) {
        return false;
    }
    // Triggers move between categories; they are not reordered within one.
    const CCategory* category = CategoryOf(target);
    return category != nullptr && category != CategoryOf(dragged);
}

bool CCategoriesView::DropOn(const QTreeWidgetItem* target)
{
    if (!CanDropOn(target)) {
        return false;
    }
    CTriggerEntry* dragged = EntryOf(SelectedItem());
    const bool moved = KindOf(target) == EItemKind::Category
                           ? DropTriggerOnCategory(m_document, dragged, CategoryOf(target))
                           : DropTriggerOnTrigger(m_document, dragged, EntryOf(target));
    if (moved) {
        Sync();
        SelectItem(ItemOf(dragged));
    }
    return moved;
}

void CCategoriesView::startDrag(Qt::DropActions /*supportedActions*/)
{
    const QTreeWidgetItem* item = SelectedItem();
    if (KindOf(item) != EItemKind::Trigger) {
        return;
    }
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(QLatin1String(kTriggerMime), item->text(0).toUtf8());
    drag->setMimeData(data);
    drag->setPixmap(item->icon(0).pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16)));
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
    QTreeWidgetItem* target = itemAt(at);
    QTreeWidgetItem* highlight = CanDropOn(target) ? target : nullptr;
    if (highlight != m_dropTarget) {
        m_dropTarget = highlight;
        viewport()->update();
    }
    if (highlight != nullptr) {
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
    const QTreeWidgetItem* target = itemAt(event->position().toPoint());
    const bool ours = event->source() == this && m_dragging;
    EndDrag();
    if (!ours) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    DropOn(target);
}

void CCategoriesView::EndDrag()
{
    stopAutoScroll();
    setState(NoState);
    if (m_dropTarget != nullptr) {
        m_dropTarget = nullptr;
        viewport()->update();
    }
}

void CCategoriesView::paintEvent(QPaintEvent* event)
{
    QTreeWidget::paintEvent(event);
    if (m_dropTarget != nullptr) {
        QPainter painter(viewport());
        QStyleOption option;
        option.initFrom(this);
        option.rect = visualItemRect(m_dropTarget);
        style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemDrop, &option, &painter, this);
    }
}

} // namespace bram::gui
