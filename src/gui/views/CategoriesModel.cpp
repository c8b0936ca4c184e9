#include "gui/views/CategoriesModel.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/RunCounts.h"
#include "gui/views/ViewIcons.h"

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentChange.h"
#include "document/DocumentEdits.h"

#include <QAnyStringView>
#include <QMimeData>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace bram::gui {

namespace {

constexpr char kTriggerMime[] = "application/x-brambleton-trigger";

// Alphabetical, capitals and small letters together; the exact text decides ties.
bool DisplayLess(const QString& a, const QString& b)
{
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

template <class Row>
const void* KeyOf(const Row& row)
{
    if constexpr (requires { row.entry; }) {
        return row.entry;
    } else {
        return row->category;
    }
}

template <class Row>
const QString& LabelOf(const Row& row)
{
    if constexpr (requires { row.label; }) {
        return row.label;
    } else {
        return row->label;
    }
}

template <class Row>
void SetLabel(Row& row, const QString& label)
{
    if constexpr (requires { row.label; }) {
        row.label = label;
    } else {
        row->label = label;
    }
}

// Category rows know their row number: their triggers' indexes find their parent by it.
template <class Row>
void Renumber(std::vector<Row>& rows)
{
    if constexpr (!requires { rows.front().label; }) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i]->row = static_cast<int>(i);
        }
    }
}

template <class Row>
std::size_t LowerBound(const std::vector<Row>& rows, const QString& label)
{
    return static_cast<std::size_t>(
        std::partition_point(rows.begin(), rows.end(),
                             [&label](const Row& row) { return DisplayLess(LabelOf(row), label); }) -
        rows.begin());
}

} // namespace

CCategoriesModel::CCategoriesModel(CApplicationDocument& document, QObject* parent)
    : QAbstractItemModel(parent), m_document(document)
{
    // Its own view's edits included: the view does not update the rows itself.
    m_listener = m_document.AddChangeListener(this, [this](const CChangeReport& report) { Apply(report); });
    m_title = ToQ(m_document.GetTitle());
    const CCategorySystem& system = m_document.GetCategorySystem();
    for (std::size_t i = 0; i < system.GetCategoryCount(); ++i) {
        m_categories.push_back(MakeNode(system.GetCategory(i)));
    }
    std::stable_sort(m_categories.begin(), m_categories.end(),
                     [](const auto& a, const auto& b) { return DisplayLess(a->label, b->label); });
    Renumber(m_categories);
}

CCategoriesModel::~CCategoriesModel() { m_document.RemoveUpdateListener(m_listener); }

// ---- the rows ------------------------------------------------------------------------------

QModelIndex CCategoriesModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= columnCount()) {
        return {};
    }
    if (!parent.isValid()) {
        return row == 0 ? createIndex(0, column, kRootId) : QModelIndex();
    }
    if (parent.column() != 0) {
        return {};
    }
    if (parent.internalId() == kRootId) {
        return static_cast<std::size_t>(row) < m_categories.size() ? createIndex(row, column, kCategoryId)
                                                                   : QModelIndex();
    }
    if (parent.internalId() == kCategoryId && static_cast<std::size_t>(parent.row()) < m_categories.size()) {
        SCategoryNode* node = m_categories[static_cast<std::size_t>(parent.row())].get();
        return static_cast<std::size_t>(row) < node->rows.size() ? createIndex(row, column, node) : QModelIndex();
    }
    return {};
}

QModelIndex CCategoriesModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kRootId) {
        return {};
    }
    if (child.internalId() == kCategoryId) {
        return RootIndex();
    }
    return createIndex(static_cast<const SCategoryNode*>(child.internalPointer())->row, 0, kCategoryId);
}

int CCategoriesModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return 1;
    }
    if (parent.column() != 0) {
        return 0;
    }
    if (parent.internalId() == kRootId) {
        return static_cast<int>(m_categories.size());
    }
    const SCategoryNode* node = parent.internalId() == kCategoryId ? NodeAt(parent) : nullptr;
    return node != nullptr ? static_cast<int>(node->rows.size()) : 0;
}

int CCategoriesModel::columnCount(const QModelIndex& /*parent*/) const
{
    // The label, and the run count (empty without one).
    return 2;
}

bool CCategoriesModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

CCategoriesModel::EKind CCategoriesModel::KindOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this) {
        return EKind::None;
    }
    if (index.internalId() == kRootId) {
        return EKind::Root;
    }
    return index.internalId() == kCategoryId ? EKind::Category : EKind::Trigger;
}

const CCategoriesModel::SCategoryNode* CCategoriesModel::NodeAt(const QModelIndex& index) const
{
    switch (KindOf(index)) {
    case EKind::Category:
        return static_cast<std::size_t>(index.row()) < m_categories.size()
                   ? m_categories[static_cast<std::size_t>(index.row())].get()
                   : nullptr;
    case EKind::Trigger: return static_cast<const SCategoryNode*>(index.internalPointer());
    default: return nullptr;
    }
}

const CCategoriesModel::STriggerRow* CCategoriesModel::TriggerRowAt(const QModelIndex& index) const
{
    const SCategoryNode* node = KindOf(index) == EKind::Trigger ? NodeAt(index) : nullptr;
    return node != nullptr && static_cast<std::size_t>(index.row()) < node->rows.size()
               ? &node->rows[static_cast<std::size_t>(index.row())]
               : nullptr;
}

CCategory* CCategoriesModel::CategoryOf(const QModelIndex& index) const
{
    const SCategoryNode* node = NodeAt(index);
    const CCategorySystem& system = m_document.GetCategorySystem();
    const int at = node != nullptr ? system.IndexOf(node->category) : -1;
    return at >= 0 ? system.GetCategory(static_cast<std::size_t>(at)) : nullptr;
}

CTriggerEntry* CCategoriesModel::EntryOf(const QModelIndex& index) const
{
    const STriggerRow* row = TriggerRowAt(index);
    const CCategory* category = row != nullptr ? CategoryOf(index) : nullptr;
    const int at = category != nullptr ? category->IndexOf(row->entry) : -1;
    return at >= 0 ? category->GetTrigger(static_cast<std::size_t>(at)) : nullptr;
}

CCategoriesModel::SCategoryNode* CCategoriesModel::NodeOf(const CCategory* category) const
{
    const auto found =
        std::ranges::find_if(m_categories, [category](const auto& node) { return node->category == category; });
    return found != m_categories.end() ? found->get() : nullptr;
}

QModelIndex CCategoriesModel::IndexOf(const CCategory* category) const
{
    const SCategoryNode* node = category != nullptr ? NodeOf(category) : nullptr;
    return node != nullptr ? createIndex(node->row, 0, kCategoryId) : QModelIndex();
}

QModelIndex CCategoriesModel::IndexOf(const CTriggerEntry* entry) const
{
    for (const auto& node : m_categories) {
        for (std::size_t i = 0; entry != nullptr && i < node->rows.size(); ++i) {
            if (node->rows[i].entry == entry) {
                return createIndex(static_cast<int>(i), 0, node.get());
            }
        }
    }
    return {};
}

QVariant CCategoriesModel::data(const QModelIndex& index, int role) const
{
    const EKind kind = KindOf(index);
    const bool label = index.column() == 0 && (role == Qt::DisplayRole || role == Qt::EditRole);
    const bool icon = index.column() == 0 && role == Qt::DecorationRole;
    if (kind == EKind::Root) {
        return label ? QVariant(m_title) : icon ? QVariant(StandardIcon(QStyle::SP_DirHomeIcon)) : QVariant();
    }
    if (kind == EKind::Category) {
        const SCategoryNode* node = NodeAt(index);
        return label && node != nullptr ? QVariant(node->label)
               : icon                   ? QVariant(StandardIcon(QStyle::SP_DirIcon))
                                        : QVariant();
    }
    const STriggerRow* row = TriggerRowAt(index);
    if (row == nullptr) {
        return {};
    }
    if (index.column() == 0) {
        if (label) {
            return row->label;
        }
        if (icon) {
            return StandardIcon(QStyle::SP_FileIcon);
        }
        return role == Qt::ForegroundRole && row->disabled ? QVariant(m_grey) : QVariant();
    }
    if (m_counts == nullptr || !m_counts->IsFor(m_document.GetState()) ||
        (role != Qt::DisplayRole && role != Qt::ForegroundRole)) {
        return {};
    }
    const std::uint64_t count = m_counts->OfTrigger(row->id);
    if (role == Qt::DisplayRole) {
        return CRunCounts::Label(count);
    }
    return count == 0 ? QVariant(m_grey) : QVariant();
}

Qt::ItemFlags CCategoriesModel::flags(const QModelIndex& index) const
{
    switch (KindOf(index)) {
    case EKind::Root: return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    case EKind::Category: return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
    case EKind::Trigger:
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
               Qt::ItemIsDropEnabled;
    default: return Qt::NoItemFlags;
    }
}

bool CCategoriesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != 0) {
        return false;
    }
    // A refused name (empty, taken, nothing left after normalizing) leaves
    // the old label; an accepted one shows as stored, normalized, when the
    // report of the rename comes.
    const std::string text = value.toString().toStdString();
    bool renamed = false;
    if (KindOf(index) == EKind::Category) {
        CCategory* category = CategoryOf(index);
        renamed = category != nullptr && RenameCategory(m_document, category, text);
    } else if (CTriggerEntry* entry = EntryOf(index)) {
        renamed = RenameTrigger(m_document, entry, text);
    }
    if (renamed) {
        m_document.UpdateAllViews();
    }
    return renamed;
}

// ---- drag and drop --------------------------------------------------------------------------

QStringList CCategoriesModel::mimeTypes() const { return {QLatin1String(kTriggerMime)}; }

QMimeData* CCategoriesModel::mimeData(const QModelIndexList& indexes) const
{
    // The entries' addresses: the data never leave this editor (the view takes its own drags only).
    QByteArrayList addresses;
    QStringList labels;
    for (const QModelIndex& index : indexes) {
        if (const STriggerRow* row = TriggerRowAt(index)) {
            addresses.push_back(QByteArray::number(reinterpret_cast<quintptr>(row->entry)));
            labels.push_back(row->label);
        }
    }
    if (addresses.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QLatin1String(kTriggerMime), addresses.join(' '));
    data->setText(labels.join(QLatin1Char('\n')));
    return data;
}

std::vector<CTriggerEntry*> CCategoriesModel::DraggedEntries(const QMimeData* data) const
{
    std::vector<CTriggerEntry*> entries;
    if (data == nullptr) {
        return entries;
    }
    // Only addresses of entries the document has now count.
    const CCategorySystem& system = m_document.GetCategorySystem();
    for (const QByteArray& text : data->data(QLatin1String(kTriggerMime)).split(' ')) {
        bool ok = false;
        const quintptr address = text.toULongLong(&ok);
        const auto* wanted = reinterpret_cast<const CTriggerEntry*>(address);
        for (std::size_t i = 0; ok && address != 0 && i < system.GetCategoryCount(); ++i) {
            const CCategory* category = system.GetCategory(i);
            if (const int at = category->IndexOf(wanted); at >= 0) {
                entries.push_back(category->GetTrigger(static_cast<std::size_t>(at)));
                break;
            }
        }
    }
    return entries;
}

bool CCategoriesModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int /*column*/,
                                       const QModelIndex& parent) const
{
    // Between the rows of a category: onto the category.
    const QModelIndex target = row >= 0 ? parent : parent.siblingAtColumn(0);
    const EKind kind = KindOf(target);
    const std::vector<CTriggerEntry*> dragged =
        action == Qt::MoveAction ? DraggedEntries(data) : std::vector<CTriggerEntry*>{};
    if (dragged.empty() || (kind != EKind::Category && kind != EKind::Trigger)) {
        return false;
    }
    // Triggers move between categories; they are not reordered within one.
    const CCategory* category = CategoryOf(target);
    return category != nullptr && std::ranges::any_of(dragged, [category](const CTriggerEntry* entry) {
               return category->IndexOf(entry) < 0;
           });
}

bool CCategoriesModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                    const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent)) {
        return false;
    }
    const QModelIndex target = row >= 0 ? parent : parent.siblingAtColumn(0);
    const std::vector<CTriggerEntry*> dragged = DraggedEntries(data);
    bool moved = false;
    if (dragged.size() > 1) {
        moved = MoveTriggers(m_document, dragged, CategoryOf(target));
    } else {
        moved = KindOf(target) == EKind::Category ? DropTriggerOnCategory(m_document, dragged[0], CategoryOf(target))
                                                  : DropTriggerOnTrigger(m_document, dragged[0], EntryOf(target));
    }
    if (moved) {
        SelectTrigger(m_document, dragged.back());
        m_document.UpdateAllViews();
    }
    return moved;
}

// ---- following the document -------------------------------------------------------------------

bool CCategoriesModel::IsDisabled(std::uint32_t triggerId) const
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->FindTrigger(triggerId) : nullptr;
    return trigger != nullptr && !trigger->IsEnabled();
}

CCategoriesModel::STriggerRow CCategoriesModel::MakeRow(const CTriggerEntry* entry) const
{
    return {entry, entry->GetId(), ToQ(entry->GetName()), IsDisabled(entry->GetId())};
}

std::unique_ptr<CCategoriesModel::SCategoryNode> CCategoriesModel::MakeNode(const CCategory* category) const
{
    auto node = std::make_unique<SCategoryNode>();
    node->category = category;
    node->label = ToQ(category->GetName());
    node->rows.reserve(category->GetTriggerCount());
    for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
        node->rows.push_back(MakeRow(category->GetTrigger(j)));
    }
    std::stable_sort(node->rows.begin(), node->rows.end(),
                     [](const STriggerRow& a, const STriggerRow& b) { return DisplayLess(a.label, b.label); });
    return node;
}

void CCategoriesModel::Apply(const CChangeReport& report)
{
    m_applying = true;
    if (report.IsEverything()) {
        SyncAll();
    } else {
        if (report.Has(EChangeKind::Categories)) {
            SyncCategories();
        }
        const CCategorySystem& system = m_document.GetCategorySystem();
        for (const SModelChange& change : report.Changes()) {
            if (change.kind == EChangeKind::Entries) {
                // A category removed meanwhile went with the Categories change.
                SCategoryNode* node = system.IndexOf(change.category) >= 0 ? NodeOf(change.category) : nullptr;
                if (node == nullptr) {
                    continue;
                }
                // One entry changes its row alone; anything more compares the category's rows.
                if (change.entry == nullptr) {
                    SyncEntries(*node);
                } else if (!report.Has(SModelChange{EChangeKind::Entries, change.category})) {
                    SyncEntry(*node, change.entry);
                }
            } else if (change.kind == EChangeKind::TriggerFlags) {
                RefreshFlagsOf(change.triggerId);
            }
        }
    }
    RefreshRootLabel();
    m_applying = false;
    emit Applied();
}

void CCategoriesModel::SyncEntry(SCategoryNode& node, const CTriggerEntry* entry)
{
    const auto row = std::ranges::find_if(node.rows, [entry](const STriggerRow& r) { return r.entry == entry; });
    const bool shown = row != node.rows.end();
    const QModelIndex parent = createIndex(node.row, 0, kCategoryId);
    // Only its address is compared until it is found in the category: a removed one may be gone.
    if (node.category->IndexOf(entry) < 0) {
        if (shown) {
            const int at = static_cast<int>(row - node.rows.begin());
            beginRemoveRows(parent, at, at);
            node.rows.erase(row);
            endRemoveRows();
        }
        return;
    }
    if (!shown) {
        InsertNew(node.rows, {{0, ToQ(entry->GetName())}}, parent, [&](std::size_t) { return MakeRow(entry); });
        return;
    }
    // Its address may have been taken again by another trigger's entry.
    const bool disabled = IsDisabled(entry->GetId());
    if (row->id != entry->GetId() || row->disabled != disabled) {
        const bool other = row->id != entry->GetId();
        row->id = entry->GetId();
        row->disabled = disabled;
        const QModelIndex at = createIndex(static_cast<int>(row - node.rows.begin()), 0, &node);
        emit dataChanged(at, other ? at.siblingAtColumn(1) : at);
    }
    if (!QAnyStringView::equal(LabelOf(*row), QUtf8StringView(entry->GetName()))) {
        MoveRenamed(node.rows, entry, ToQ(entry->GetName()), parent);
    }
}

void CCategoriesModel::SyncAll()
{
    std::unordered_set<const SCategoryNode*> kept;
    for (const auto& node : m_categories) {
        kept.insert(node.get());
    }
    SyncCategories();
    // New categories came with their rows made.
    for (const auto& node : m_categories) {
        if (kept.contains(node.get())) {
            SyncEntries(*node);
        }
    }
    RefreshCounts();
}

void CCategoriesModel::SyncCategories()
{
    const CCategorySystem& system = m_document.GetCategorySystem();
    std::vector<SShown> shown;
    shown.reserve(system.GetCategoryCount());
    for (std::size_t i = 0; i < system.GetCategoryCount(); ++i) {
        shown.push_back({system.GetCategory(i), system.GetCategory(i)->GetName()});
    }
    SyncRows(m_categories, shown, RootIndex(), [&](std::size_t i) { return MakeNode(system.GetCategory(i)); });
}

void CCategoriesModel::SyncEntries(SCategoryNode& node)
{
    const CCategory* category = node.category;
    std::vector<SShown> shown;
    shown.reserve(category->GetTriggerCount());
    for (std::size_t j = 0; j < category->GetTriggerCount(); ++j) {
        shown.push_back({category->GetTrigger(j), category->GetTrigger(j)->GetName()});
    }
    SyncRows(node.rows, shown, createIndex(node.row, 0, kCategoryId),
             [&](std::size_t j) { return MakeRow(category->GetTrigger(j)); });
    // Every row's entry is in the category now. An address taken again by
    // a new entry may bear another trigger; the flags may have changed
    // with the entries (an undo).
    for (std::size_t i = 0; i < node.rows.size(); ++i) {
        STriggerRow& row = node.rows[i];
        const std::uint32_t id = row.entry->GetId();
        const bool disabled = IsDisabled(id);
        if (id != row.id || disabled != row.disabled) {
            const bool other = id != row.id;
            row.id = id;
            row.disabled = disabled;
            const QModelIndex at = createIndex(static_cast<int>(i), 0, &node);
            emit dataChanged(at, other ? at.siblingAtColumn(1) : at);
        }
    }
}

void CCategoriesModel::RefreshFlagsOf(std::uint32_t triggerId)
{
    const bool disabled = IsDisabled(triggerId);
    for (const auto& node : m_categories) {
        for (std::size_t i = 0; i < node->rows.size(); ++i) {
            if (STriggerRow& row = node->rows[i]; row.id == triggerId && row.disabled != disabled) {
                row.disabled = disabled;
                const QModelIndex at = createIndex(static_cast<int>(i), 0, node.get());
                emit dataChanged(at, at, {Qt::ForegroundRole});
            }
        }
    }
}

void CCategoriesModel::RefreshCounts()
{
    const bool counted = m_counts != nullptr && m_counts->IsFor(m_document.GetState());
    if (!counted && !m_countsShown) {
        return;
    }
    m_countsShown = counted;
    for (const auto& node : m_categories) {
        if (!node->rows.empty()) {
            emit dataChanged(createIndex(0, 1, node.get()),
                             createIndex(static_cast<int>(node->rows.size()) - 1, 1, node.get()),
                             {Qt::DisplayRole, Qt::ForegroundRole});
        }
    }
}

void CCategoriesModel::RefreshRootLabel()
{
    if (const QString title = ToQ(m_document.GetTitle()); title != m_title) {
        m_title = title;
        emit dataChanged(RootIndex(), RootIndex(), {Qt::DisplayRole, Qt::EditRole});
    }
}

// Brings `rows` (screen order) to the categories or entries `shown` (list
// order), signalling each step: the rows gone are removed, renamed rows
// move to their new place, and the new ones are inserted, those that go to
// one place together.
template <class Row, class Make>
void CCategoriesModel::SyncRows(std::vector<Row>& rows, const std::vector<SShown>& shown, const QModelIndex& parent,
                                const Make& make)
{
    std::unordered_map<const void*, std::size_t> place;
    place.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        place.emplace(shown[i].key, i);
    }
    RemoveGone(rows, place, parent);
    std::vector<bool> kept(shown.size(), false);
    std::vector<const void*> renamed;
    for (const Row& row : rows) {
        const std::size_t i = place.at(KeyOf(row));
        kept[i] = true;
        // Compared as they are: most labels did not change, and need no conversion.
        if (!QAnyStringView::equal(LabelOf(row), QUtf8StringView(shown[i].name))) {
            renamed.push_back(KeyOf(row));
        }
    }
    // One by one: the others stay in order by their labels.
    for (const void* key : renamed) {
        MoveRenamed(rows, key, QString::fromUtf8(shown[place.at(key)].name), parent);
    }
    std::vector<std::pair<std::size_t, QString>> added;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (!kept[i]) {
            added.emplace_back(i, QString::fromUtf8(shown[i].name));
        }
    }
    InsertNew(rows, std::move(added), parent, make);
}

template <class Row>
void CCategoriesModel::RemoveGone(std::vector<Row>& rows, const std::unordered_map<const void*, std::size_t>& place,
                                  const QModelIndex& parent)
{
    // From the last, so that the rows before keep their numbers.
    for (std::size_t end = rows.size(); end > 0;) {
        if (place.contains(KeyOf(rows[end - 1]))) {
            --end;
            continue;
        }
        std::size_t begin = end - 1;
        while (begin > 0 && !place.contains(KeyOf(rows[begin - 1]))) {
            --begin;
        }
        beginRemoveRows(parent, static_cast<int>(begin), static_cast<int>(end - 1));
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(begin), rows.begin() + static_cast<std::ptrdiff_t>(end));
        Renumber(rows);
        endRemoveRows();
        end = begin;
    }
}

template <class Row>
void CCategoriesModel::MoveRenamed(std::vector<Row>& rows, const void* key, const QString& label,
                                   const QModelIndex& parent)
{
    const auto from = static_cast<std::size_t>(
        std::ranges::find_if(rows, [key](const Row& row) { return KeyOf(row) == key; }) - rows.begin());
    // Its place among the others.
    std::size_t low = 0;
    std::size_t high = rows.size() - 1;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (DisplayLess(LabelOf(rows[middle < from ? middle : middle + 1]), label)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    const std::size_t to = low;
    const bool moves = to != from;
    // A trigger row (no children) moves by what the rows between show: a
    // row move would have the tree lay out every row of the category again.
    if constexpr (requires { rows.front().entry; }) {
        if (moves) {
            RotateLeaves(rows, from, to, label, parent);
            return;
        }
    }
    if (moves) {
        beginMoveRows(parent, static_cast<int>(from), static_cast<int>(from), parent,
                      static_cast<int>(to > from ? to + 1 : to));
        const auto at = [&rows](std::size_t i) { return rows.begin() + static_cast<std::ptrdiff_t>(i); };
        if (to < from) {
            std::rotate(at(to), at(from), at(from + 1));
        } else {
            std::rotate(at(from), at(from + 1), at(to + 1));
        }
        Renumber(rows);
    }
    SetLabel(rows[to], label);
    if (moves) {
        endMoveRows();
    }
    const QModelIndex changed = index(static_cast<int>(to), 0, parent);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

void CCategoriesModel::RotateLeaves(std::vector<STriggerRow>& rows, std::size_t from, std::size_t to,
                                    const QString& label, const QModelIndex& parent)
{
    emit RowsAboutToRotate();
    const auto at = [&rows](std::size_t i) { return rows.begin() + static_cast<std::ptrdiff_t>(i); };
    if (to < from) {
        std::rotate(at(to), at(from), at(from + 1));
    } else {
        std::rotate(at(from), at(from + 1), at(to + 1));
    }
    rows[to].label = label;
    const int low = static_cast<int>(std::min(from, to));
    const int high = static_cast<int>(std::max(from, to));
    const int step = to < from ? 1 : -1;
    // Indexes kept elsewhere (the current one, an open editor) follow their rows, all at once.
    QModelIndexList before;
    QModelIndexList after;
    for (const QModelIndex& kept : persistentIndexList()) {
        if (kept.parent() == parent && kept.row() >= low && kept.row() <= high) {
            const int row = kept.row() == static_cast<int>(from) ? static_cast<int>(to) : kept.row() + step;
            before.push_back(kept);
            after.push_back(createIndex(row, kept.column(), kept.internalPointer()));
        }
    }
    changePersistentIndexList(before, after);
    emit dataChanged(index(low, 0, parent), index(high, columnCount() - 1, parent));
    emit RowsRotated();
}

template <class Row, class Make>
void CCategoriesModel::InsertNew(std::vector<Row>& rows, std::vector<std::pair<std::size_t, QString>> added,
                                 const QModelIndex& parent, const Make& make)
{
    // In display order; those that go before the same row go in together.
    std::ranges::stable_sort(added, [](const auto& a, const auto& b) { return DisplayLess(a.second, b.second); });
    for (std::size_t first = 0; first < added.size();) {
        const std::size_t at = LowerBound(rows, added[first].second);
        std::size_t last = first + 1;
        while (last < added.size() && (at == rows.size() || !DisplayLess(LabelOf(rows[at]), added[last].second))) {
            ++last;
        }
        std::vector<Row> made;
        made.reserve(last - first);
        for (std::size_t k = first; k < last; ++k) {
            made.push_back(make(added[k].first));
        }
        beginInsertRows(parent, static_cast<int>(at), static_cast<int>(at + made.size() - 1));
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(made.begin()),
                    std::make_move_iterator(made.end()));
        Renumber(rows);
        endInsertRows();
        first = last;
    }
}

} // namespace bram::gui
