#pragma once
// The rows of the categories tree: the document (root), its categories and
// their triggers, each level in alphabetical order. The model answers from
// the category system and keeps per category only the entries in screen
// order with what a row shows (label, greyed), so a large document costs no
// item objects. It follows the document's change reports, with row
// insertions, removals, moves and data changes for what differs; a report
// of anything compares every row, still signalling only the differences,
// so that selection, expansion and an open label editor survive.
//
// Rows name entries and categories by address; an address is read only
// after it is found in the category system again, since a report may come
// after the object is gone.
//
// Renaming (setData) and dropping a dragged trigger (the MIME data) are the
// edits of DocumentEdits.h, each one undo step.

#include <QAbstractItemModel>
#include <QBrush>

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bram {
class CApplicationDocument;
class CCategory;
class CChangeReport;
class CTriggerEntry;
} // namespace bram

namespace bram::gui {

class CRunCounts;

class CCategoriesModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum class EKind { None, Root, Category, Trigger };

    explicit CCategoriesModel(CApplicationDocument& document, QObject* parent = nullptr);
    ~CCategoriesModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    QModelIndex RootIndex() const { return createIndex(0, 0, kRootId); }
    // Null or invalid when not shown.
    QModelIndex IndexOf(const CCategory* category) const;
    QModelIndex IndexOf(const CTriggerEntry* entry) const;
    EKind KindOf(const QModelIndex& index) const;
    // The category of a category row, or of a trigger row's trigger; null when gone.
    CCategory* CategoryOf(const QModelIndex& index) const;
    CTriggerEntry* EntryOf(const QModelIndex& index) const;

    // The counts of the second column (the caller keeps them); null: none.
    void SetRunCounts(const CRunCounts* counts) { m_counts = counts; }
    // The brush of disabled triggers and triggers that never ran.
    void SetGreyBrush(const QBrush& grey) { m_grey = grey; }
    // Shows the counts as they are now.
    void RefreshCounts();
    // Whether the second column has counts (as of the last refresh).
    bool CountsShown() const { return m_countsShown; }
    void RefreshRootLabel();
    // Brings the rows to the category system as the report says it changed.
    void Apply(const CChangeReport& report);
    // While rows change: selection changes then are no user's.
    bool IsApplying() const { return m_applying; }

signals:
    // After a report was applied; the view shows the current trigger then.
    void Applied();
    // A renamed trigger's row goes to its place by the rows between
    // showing other triggers: kept indexes follow, a selection must be
    // taken before and put back after.
    void RowsAboutToRotate();
    void RowsRotated();

private:
    static constexpr quintptr kRootId = 0;
    static constexpr quintptr kCategoryId = 1;

    struct STriggerRow {
        const CTriggerEntry* entry;
        std::uint32_t id;
        QString label;
        bool disabled;
    };
    struct SCategoryNode {
        const CCategory* category;
        QString label;
        int row = 0;
        std::vector<STriggerRow> rows;
    };

    void SyncAll();
    void SyncCategories();
    void SyncEntries(SCategoryNode& node);
    void RefreshFlags(SCategoryNode& node);
    void RefreshFlagsOf(std::uint32_t triggerId);
    STriggerRow MakeRow(const CTriggerEntry* entry) const;
    std::unique_ptr<SCategoryNode> MakeNode(const CCategory* category) const;
    bool IsDisabled(std::uint32_t triggerId) const;
    SCategoryNode* NodeOf(const CCategory* category) const;
    const SCategoryNode* NodeAt(const QModelIndex& index) const;
    const STriggerRow* TriggerRowAt(const QModelIndex& index) const;
    // The dragged trigger the data name, when still in the category system.
    // The dragged entries the document still has.
    std::vector<CTriggerEntry*> DraggedEntries(const QMimeData* data) const;
    // A category or entry as the category system has it now, in list order.
    struct SShown {
        const void* key;
        std::string_view name;
    };
    // Only this entry changed: added, removed or renamed.
    void SyncEntry(SCategoryNode& node, const CTriggerEntry* entry);
    template <class Row, class Make>
    void SyncRows(std::vector<Row>& rows, const std::vector<SShown>& shown, const QModelIndex& parent,
                  const Make& make);
    template <class Row>
    void RemoveGone(std::vector<Row>& rows, const std::unordered_map<const void*, std::size_t>& place,
                    const QModelIndex& parent);
    template <class Row>
    void MoveRenamed(std::vector<Row>& rows, const void* key, const QString& label, const QModelIndex& parent);
    void RotateLeaves(std::vector<STriggerRow>& rows, std::size_t from, std::size_t to, const QString& label,
                      const QModelIndex& parent);
    template <class Row, class Make>
    void InsertNew(std::vector<Row>& rows, std::vector<std::pair<std::size_t, QString>> added,
                   const QModelIndex& parent, const Make& make);

    CApplicationDocument& m_document;
    std::vector<std::unique_ptr<SCategoryNode>> m_categories;
    QString m_title;
    const CRunCounts* m_counts = nullptr;
    // Whether the second column shows counts now: without, there is nothing to clear.
    bool m_countsShown = false;
    QBrush m_grey;
    bool m_applying = false;
    int m_listener = 0;
};

} // namespace bram::gui
