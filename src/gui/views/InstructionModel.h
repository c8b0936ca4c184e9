#pragma once
// The rows of the instruction tree: one top row for the current trigger,
// below it its root blocks, their instructions and the blocks of
// structures, with the run counts in a second column.
//
// The model keeps only the shape of the tree (one row per node, with a key
// of what its label and look are made of); what a row shows is read from
// the node at the row's path in the current state, so that no node address
// outlives an edit, an undo or a new document. Sync() compares the shape
// with the current trigger and tells the view what differs as row removals,
// inserts and data changes; a change report from the document syncs it,
// unless it names only other triggers or the category system (then only the
// trigger's label is compared). Another trigger (or none) resets it.
//
// Dragging an instruction carries its path; a drop follows the core's
// placement rules (CanDropInstruction, DropInstruction).

#include <QAbstractItemModel>
#include <QIcon>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bram {
class CApplicationDocument;
class CChangeReport;
class CCodeBase;
class CCodeTrigger;
} // namespace bram

namespace bram::gui {

class CRunCounts;

class CInstructionModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 2;

    explicit CInstructionModel(CApplicationDocument& document, QObject* parent = nullptr);
    ~CInstructionModel() override;

    // The counts of column 1 (the caller keeps them); null: none.
    void SetRunCounts(const CRunCounts* counts);
    // Brings the rows in line with the current trigger; the counts column is repainted.
    void Sync();
    // Whether column 1 has counts (of the current state).
    bool CountsShown() const { return m_counted; }
    // While Sync tells the view of its changes (the view's selection moves with them).
    bool IsSyncing() const { return m_syncing; }

    // The trigger's row; invalid while no trigger's tree is shown.
    QModelIndex TopIndex() const;
    // The node a row stands for in the current state (null for the trigger's
    // row), and the row of a node of the current trigger.
    CCodeBase* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const CCodeBase* node) const;
    // Makes the node of `selected` the trigger's current node, by the core's walk of the view's items.
    void SelectNodeOf(const QModelIndex& selected) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QStringList mimeTypes() const override;
    // Of the first instruction among the indexes; null when there is none.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

signals:
    // A drop moved an instruction (a new undo step); the other views are not told yet.
    void Dropped();

private:
    struct SRow;

    void OnChange(const CChangeReport& report);
    // The trigger's label, and the counts column when counts come or go.
    void SyncName();
    void SyncCounts();
    const CCodeTrigger* ShownTrigger() const;
    SRow* RowOf(const QModelIndex& index) const;
    QModelIndex IndexOfRow(const SRow* row, int column = 0) const;
    std::vector<std::size_t> PathOf(const SRow* row) const;
    std::unique_ptr<SRow> NewRow(const CCodeBase& node, SRow* parent, int number) const;
    void SyncChildren(SRow& row, const std::vector<const CCodeBase*>& nodes);
    void EmitCountsChanged(const SRow& row);
    // The instruction a drag carries, and the node of the drop target.
    std::vector<const CCodeBase*> Dragged(const QMimeData* data) const;
    const CCodeBase* DropTarget(int row, const QModelIndex& parent) const;

    CApplicationDocument& m_document;
    int m_listener = 0;
    const CRunCounts* m_counts = nullptr;
    std::uint32_t m_triggerId = 0;
    std::unique_ptr<SRow> m_top;
    bool m_syncing = false;
    bool m_counted = false;
    QIcon m_blockIcon;
    QIcon m_instructionIcon;
    QIcon m_incompleteIcon;
};

} // namespace bram::gui
