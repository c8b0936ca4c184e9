#include "gui/views/InstructionModel.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/RunCounts.h"
#include "gui/views/ViewIcons.h"

#include "code/ItemTree.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentChange.h"
#include "document/DocumentEdits.h"
#include "document/EditPlaces.h"
#include "localization/Localization.h"
#include "records/ParameterInfo.h"

#include <QApplication>
#include <QFont>
#include <QMimeData>
#include <QPalette>

#include <algorithm>

namespace bram::gui {

namespace {

constexpr char kInstructionMime[] = "application/x-brambleton-instruction";

// The name of the first parameter without a value, looking into nested
// calls; empty when the node is complete.
std::string MissingParameter(const CCodeBase& node)
{
    for (std::size_t i = 0; i < node.GetParameterCount(); ++i) {
        const CParameter* parameter = node.GetParameter(i);
        if (parameter == nullptr || parameter->IsComplete()) {
            continue;
        }
        if (const CCodeBase* value = parameter->GetValue()) {
            if (std::string inner = MissingParameter(*value); !inner.empty()) {
                return inner;
            }
        }
        const CParameterInfo* info = parameter->GetParameterInfo();
        return info != nullptr ? info->GetLocalizedName() : std::string("?");
    }
    return {};
}

// What a row shows of its node: rows of equal keys look the same.
std::string KeyOf(const CCodeBase& node)
{
    std::string key = node.GetText();
    key += '\0';
    key += node.GetCodeType() == CodeTypeBlock ? 'b' : 'i';
    key += node.IsEnabled() ? '1' : '0';
    key += MissingParameter(node);
    return key;
}

std::vector<const CCodeBase*> ChildrenOf(const CCodeBase& node)
{
    std::vector<const CCodeBase*> children;
    for (std::size_t i = 0; node.IsContainer() && i < node.GetChildCount(); ++i) {
        children.push_back(node.GetChild(i));
    }
    return children;
}

std::vector<const CCodeBase*> BlocksOf(const CCodeTrigger& trigger)
{
    std::vector<const CCodeBase*> blocks;
    for (std::size_t b = 0; b < trigger.GetBlockCount(); ++b) {
        blocks.push_back(trigger.GetBlock(b));
    }
    return blocks;
}

} // namespace

struct CInstructionModel::SRow {
    SRow* parent = nullptr;
    int number = 0; // the row in the parent
    std::string key;
    std::vector<std::unique_ptr<SRow>> children;

    void Renumber()
    {
        for (std::size_t i = 0; i < children.size(); ++i) {
            children[i]->number = static_cast<int>(i);
        }
    }
};

CInstructionModel::CInstructionModel(CApplicationDocument& document, QObject* parent)
    : QAbstractItemModel(parent),
      m_document(document),
      m_blockIcon(StandardIcon(QStyle::SP_DirIcon)),
      m_instructionIcon(StandardIcon(QStyle::SP_FileIcon)),
      m_incompleteIcon(StandardIcon(QStyle::SP_MessageBoxWarning))
{
    m_listener = m_document.AddChangeListener(this, [this](const CChangeReport& report) { OnChange(report); });
    Sync();
}

CInstructionModel::~CInstructionModel() { m_document.RemoveUpdateListener(m_listener); }

void CInstructionModel::SetRunCounts(const CRunCounts* counts)
{
    m_counts = counts;
    Sync();
}

const CCodeTrigger* CInstructionModel::ShownTrigger() const
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    return trigger != nullptr && m_top && trigger->GetId() == m_triggerId && !trigger->IsCode() ? trigger : nullptr;
}

void CInstructionModel::OnChange(const CChangeReport& report)
{
    // Edits of other triggers leave the rows as they are. Those of the
    // category system may rename the shown trigger, or a trigger that labels
    // of its instructions name: the rows are compared, at the cost of the
    // shown trigger.
    const CState* state = m_document.GetState();
    const CCodeTrigger* current = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    const std::uint32_t currentId = current != nullptr ? current->GetId() : 0;
    bool rows = false;
    for (const SModelChange& change : report.Changes()) {
        switch (change.kind) {
        case EChangeKind::TriggerFlags:
        case EChangeKind::Text:
        case EChangeKind::Instructions:
            rows = rows || change.triggerId == currentId || change.triggerId == m_triggerId;
            break;
        default: rows = true; break;
        }
    }
    if (rows) {
        Sync();
    } else {
        // Any edit makes a state the counts are not of.
        SyncCounts();
    }
}

void CInstructionModel::Sync()
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger != nullptr && trigger->IsCode()) {
        trigger = nullptr;
    }
    m_syncing = true;
    if (trigger == nullptr || !m_top || trigger->GetId() != m_triggerId) {
        if (trigger != nullptr || m_top) {
            beginResetModel();
            m_top.reset();
            m_triggerId = 0;
            if (trigger != nullptr) {
                m_top = std::make_unique<SRow>();
                m_top->key = trigger->GetName();
                m_triggerId = trigger->GetId();
                const std::vector<const CCodeBase*> blocks = BlocksOf(*trigger);
                for (std::size_t b = 0; b < blocks.size(); ++b) {
                    m_top->children.push_back(NewRow(*blocks[b], m_top.get(), static_cast<int>(b)));
                }
            }
            endResetModel();
        }
    } else {
        SyncName();
        SyncChildren(*m_top, BlocksOf(*trigger));
    }
    SyncCounts();
    m_syncing = false;
}

void CInstructionModel::SyncName()
{
    if (const CCodeTrigger* trigger = ShownTrigger()) {
        if (std::string name = trigger->GetName(); name != m_top->key) {
            m_top->key = std::move(name);
            emit dataChanged(TopIndex(), TopIndex());
        }
    }
}

void CInstructionModel::SyncCounts()
{
    // Counts belong to the state that ran: any other one shows none.
    const bool counted = m_counts != nullptr && m_counts->IsFor(m_document.GetState());
    if (m_top && (counted || m_counted)) {
        EmitCountsChanged(*m_top);
    }
    m_counted = counted;
}

std::unique_ptr<CInstructionModel::SRow> CInstructionModel::NewRow(const CCodeBase& node, SRow* parent,
                                                                   int number) const
{
    auto row = std::make_unique<SRow>();
    row->parent = parent;
    row->number = number;
    row->key = KeyOf(node);
    const std::vector<const CCodeBase*> children = ChildrenOf(node);
    for (std::size_t i = 0; i < children.size(); ++i) {
        row->children.push_back(NewRow(*children[i], row.get(), static_cast<int>(i)));
    }
    return row;
}

void CInstructionModel::SyncChildren(SRow& row, const std::vector<const CCodeBase*>& nodes)
{
    // The rows before and after the part that differs stay; that part is a
    // move of one row, or changed in place when it keeps its size, else
    // removed and inserted anew.
    std::vector<std::string> keys;
    keys.reserve(nodes.size());
    for (const CCodeBase* node : nodes) {
        keys.push_back(KeyOf(*node));
    }
    std::vector<std::unique_ptr<SRow>>& rows = row.children;
    const std::size_t before = rows.size();
    const std::size_t after = nodes.size();
    std::size_t head = 0;
    while (head < before && head < after && rows[head]->key == keys[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before - head && tail < after - head && rows[before - 1 - tail]->key == keys[after - 1 - tail]) {
        ++tail;
    }
    const std::size_t removed = before - head - tail;
    const std::size_t added = after - head - tail;
    const QModelIndex parent = IndexOfRow(&row);
    const int first = static_cast<int>(head);
    std::size_t fresh = 0; // rows made anew, from `head` on
    // Whether `count` rows from `from` have the keys of the nodes from `to`.
    const auto same = [&](std::size_t from, std::size_t to, std::size_t count) {
        return std::equal(rows.begin() + static_cast<std::ptrdiff_t>(from),
                          rows.begin() + static_cast<std::ptrdiff_t>(from + count),
                          keys.begin() + static_cast<std::ptrdiff_t>(to),
                          [](const std::unique_ptr<SRow>& kept, const std::string& key) { return kept->key == key; });
    };
    const int last = first + static_cast<int>(added) - 1;
    if (removed == added && added >= 2 && same(head, head + added - 1, 1) && same(head + 1, head, added - 1)) {
        // One row moved down within the block (a drag, Alt+Down): it keeps its rows and their state.
        beginMoveRows(parent, first, first, parent, last + 1);
        std::rotate(rows.begin() + first, rows.begin() + first + 1, rows.begin() + last + 1);
        row.Renumber();
        endMoveRows();
    } else if (removed == added && added >= 2 && same(head + added - 1, head, 1) && same(head, head + 1, added - 1)) {
        beginMoveRows(parent, last, last, parent, first);
        std::rotate(rows.begin() + first, rows.begin() + last, rows.begin() + last + 1);
        row.Renumber();
        endMoveRows();
    } else if (removed == added) {
        for (std::size_t i = head; i < head + added; ++i) {
            rows[i]->key = keys[i];
        }
        if (added > 0) {
            emit dataChanged(index(first, 0, parent), index(last, 0, parent));
        }
    } else {
        if (removed > 0) {
            beginRemoveRows(parent, first, first + static_cast<int>(removed) - 1);
            rows.erase(rows.begin() + first, rows.begin() + first + static_cast<int>(removed));
            row.Renumber();
            endRemoveRows();
        }
        if (added > 0) {
            beginInsertRows(parent, first, first + static_cast<int>(added) - 1);
            std::vector<std::unique_ptr<SRow>> made;
            for (std::size_t i = head; i < head + added; ++i) {
                made.push_back(NewRow(*nodes[i], &row, 0));
            }
            rows.insert(rows.begin() + first, std::make_move_iterator(made.begin()),
                        std::make_move_iterator(made.end()));
            row.Renumber();
            endInsertRows();
            fresh = added;
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i < head || i >= head + fresh) {
            SyncChildren(*rows[i], ChildrenOf(*nodes[i]));
        }
    }
}

void CInstructionModel::EmitCountsChanged(const SRow& row)
{
    if (row.children.empty()) {
        return;
    }
    const QModelIndex parent = IndexOfRow(&row);
    emit dataChanged(index(0, 1, parent), index(static_cast<int>(row.children.size()) - 1, 1, parent));
    for (const std::unique_ptr<SRow>& child : row.children) {
        EmitCountsChanged(*child);
    }
}

// ---- rows and nodes --------------------------------------------------------------------------

CInstructionModel::SRow* CInstructionModel::RowOf(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this ? static_cast<SRow*>(index.internalPointer()) : nullptr;
}

QModelIndex CInstructionModel::IndexOfRow(const SRow* row, int column) const
{
    return row != nullptr ? createIndex(row->number, column, row) : QModelIndex();
}

QModelIndex CInstructionModel::TopIndex() const { return IndexOfRow(m_top.get()); }

std::vector<std::size_t> CInstructionModel::PathOf(const SRow* row) const
{
    std::vector<std::size_t> path;
    for (; row != nullptr && row->parent != nullptr; row = row->parent) {
        path.push_back(static_cast<std::size_t>(row->number));
    }
    std::reverse(path.begin(), path.end());
    return path;
}

CCodeBase* CInstructionModel::NodeOf(const QModelIndex& index) const
{
    const CCodeTrigger* trigger = ShownTrigger();
    const SRow* row = RowOf(index);
    return trigger != nullptr && row != nullptr ? trigger->GetNodeFromPath(PathOf(row)) : nullptr;
}

QModelIndex CInstructionModel::IndexOf(const CCodeBase* node) const
{
    const CCodeTrigger* trigger = ShownTrigger();
    const std::vector<std::size_t> path =
        trigger != nullptr && node != nullptr ? trigger->GetNodePath(node) : std::vector<std::size_t>();
    const SRow* row = path.empty() ? nullptr : m_top.get();
    for (std::size_t i = 0; row != nullptr && i < path.size(); ++i) {
        row = path[i] < row->children.size() ? row->children[path[i]].get() : nullptr;
    }
    return IndexOfRow(row);
}

void CInstructionModel::SelectNodeOf(const QModelIndex& selected) const
{
    // The rows as the core walks the view's items.
    class CRows : public IItemTree {
    public:
        CRows(const SRow* top, const SRow* selected) : m_top(top), m_selected(selected) {}
        Item GetTopItem() const override { return m_top; }
        Item GetSelectedItem() const override { return m_selected; }
        Item GetFirstChild(Item item) const override
        {
            const auto* row = static_cast<const SRow*>(item);
            return row->children.empty() ? nullptr : row->children.front().get();
        }
        Item GetNextSibling(Item item) const override
        {
            const auto* row = static_cast<const SRow*>(item);
            const std::size_t next = static_cast<std::size_t>(row->number) + 1;
            return row->parent != nullptr && next < row->parent->children.size() ? row->parent->children[next].get()
                                                                                 : nullptr;
        }

    private:
        const SRow* m_top;
        const SRow* m_selected;
    };
    if (ShownTrigger() != nullptr) {
        SelectNodeFromView(m_document, CRows(m_top.get(), RowOf(selected)));
    }
}

// ---- the model's answers ---------------------------------------------------------------------

QModelIndex CInstructionModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= kColumnCount) {
        return {};
    }
    if (!parent.isValid()) {
        return row == 0 && m_top ? IndexOfRow(m_top.get(), column) : QModelIndex();
    }
    const SRow* above = parent.column() == 0 ? RowOf(parent) : nullptr;
    return above != nullptr && static_cast<std::size_t>(row) < above->children.size()
               ? IndexOfRow(above->children[static_cast<std::size_t>(row)].get(), column)
               : QModelIndex();
}

QModelIndex CInstructionModel::parent(const QModelIndex& child) const
{
    const SRow* row = RowOf(child);
    return row != nullptr ? IndexOfRow(row->parent) : QModelIndex();
}

int CInstructionModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return m_top ? 1 : 0;
    }
    const SRow* row = parent.column() == 0 ? RowOf(parent) : nullptr;
    return row != nullptr ? static_cast<int>(row->children.size()) : 0;
}

int CInstructionModel::columnCount(const QModelIndex& /*parent*/) const { return kColumnCount; }

QVariant CInstructionModel::data(const QModelIndex& index, int role) const
{
    const SRow* row = RowOf(index);
    const CCodeTrigger* trigger = ShownTrigger();
    if (row == nullptr || trigger == nullptr) {
        return {};
    }
    if (row == m_top.get()) {
        if (index.column() != 0) {
            return {};
        }
        // The trigger's icon, as in the categories view.
        return role == Qt::DisplayRole      ? QVariant(ToQ(trigger->GetName()))
               : role == Qt::DecorationRole ? QVariant(m_instructionIcon)
                                            : QVariant();
    }
    const std::vector<std::size_t> path = PathOf(row);
    const CCodeBase* node = trigger->GetNodeFromPath(path);
    if (node == nullptr) {
        return {};
    }
    const auto grey = [] { return QVariant(QApplication::palette().brush(QPalette::Disabled, QPalette::Text)); };
    if (index.column() == 1) {
        // After a run with trace: how often each traced instruction ran.
        if ((role != Qt::DisplayRole && role != Qt::ForegroundRole) || m_counts == nullptr ||
            !m_counts->IsFor(m_document.GetState()) || !m_counts->IsTraced(*node)) {
            return {};
        }
        const std::uint64_t count = m_counts->OfInstruction(trigger->GetId(), path);
        return role == Qt::DisplayRole ? QVariant(CRunCounts::Label(count)) : count == 0 ? grey() : QVariant();
    }
    const bool block = node->GetCodeType() == CodeTypeBlock;
    switch (role) {
    case Qt::DisplayRole: {
        QString text = ToQ(node->GetText());
        return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    case Qt::DecorationRole:
        return block ? m_blockIcon : MissingParameter(*node).empty() ? m_instructionIcon : m_incompleteIcon;
    case Qt::FontRole:
        if (block && path.size() == 1) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ForegroundRole: return node->IsEnabled() ? QVariant() : grey();
    case Qt::ToolTipRole:
        if (const std::string missing = block ? std::string() : MissingParameter(*node); !missing.empty()) {
            return ToQ(FillPlaceholders(GetLocalizedString("InstructionView/MissingParameter"), {missing}));
        }
        return {};
    default: return {};
    }
}

Qt::ItemFlags CInstructionModel::flags(const QModelIndex& index) const
{
    const SRow* row = RowOf(index);
    if (row == nullptr) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (row != m_top.get()) {
        flags |= Qt::ItemIsDropEnabled;
        if (IsInstruction(NodeOf(index))) {
            flags |= Qt::ItemIsDragEnabled;
        }
    }
    return flags;
}

// ---- drag and drop ---------------------------------------------------------------------------

QStringList CInstructionModel::mimeTypes() const { return {QLatin1String(kInstructionMime)}; }

QMimeData* CInstructionModel::mimeData(const QModelIndexList& indexes) const
{
    // The instructions' paths, ";" between them.
    QStringList paths;
    for (const QModelIndex& index : indexes) {
        if (IsInstruction(NodeOf(index))) {
            QStringList path;
            for (const std::size_t i : PathOf(RowOf(index))) {
                path << QString::number(i);
            }
            paths << path.join(QLatin1Char('/'));
        }
    }
    if (paths.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QLatin1String(kInstructionMime), paths.join(QLatin1Char(';')).toUtf8());
    return data;
}

std::vector<const CCodeBase*> CInstructionModel::Dragged(const QMimeData* data) const
{
    const CCodeTrigger* trigger = ShownTrigger();
    if (trigger == nullptr || data == nullptr || !data->hasFormat(QLatin1String(kInstructionMime))) {
        return {};
    }
    std::vector<const CCodeBase*> nodes;
    const QString text = QString::fromUtf8(data->data(QLatin1String(kInstructionMime)));
    for (const QString& pathText : text.split(QLatin1Char(';'))) {
        std::vector<std::size_t> path;
        for (const QString& part : pathText.split(QLatin1Char('/'))) {
            bool number = false;
            const uint i = part.toUInt(&number);
            if (!number) {
                return {};
            }
            path.push_back(i);
        }
        const CCodeBase* node = trigger->GetNodeFromPath(path);
        if (node == nullptr) {
            return {};
        }
        nodes.push_back(node);
    }
    return nodes;
}

const CCodeBase* CInstructionModel::DropTarget(int row, const QModelIndex& parent) const
{
    // Between rows: onto the row there.
    return NodeOf(row >= 0 ? index(row, 0, parent) : parent);
}

bool CInstructionModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int /*column*/,
                                        const QModelIndex& parent) const
{
    // Many go only where every one of them may go.
    const std::vector<const CCodeBase*> dragged = Dragged(data);
    const CCodeBase* target = DropTarget(row, parent);
    return action == Qt::MoveAction && !dragged.empty() &&
           std::ranges::all_of(dragged, [target](const CCodeBase* node) { return CanDropInstruction(node, target); });
}

bool CInstructionModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int /*column*/,
                                     const QModelIndex& parent)
{
    const std::vector<const CCodeBase*> dragged = Dragged(data);
    const CCodeBase* target = DropTarget(row, parent);
    if (action != Qt::MoveAction || dragged.empty() ||
        !(dragged.size() == 1 ? DropInstruction(m_document, dragged[0], target)
                              : DropInstructions(m_document, dragged, target))) {
        return false;
    }
    emit Dropped();
    return true;
}

} // namespace bram::gui
