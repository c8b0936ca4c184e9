#pragma once
// The tree on the left of the main window: the document (root), its
// categories and their triggers, each level in alphabetical order (the rows
// are CCategoriesModel's, which follows the document's change reports).
// Selecting a trigger makes it the current trigger that the other views
// show. Every change (new, delete, rename, enable, drag and drop) is an
// edit of DocumentEdits.h and one undo step.
//
// After a run with trace, a second column says how often each trigger ran
// (greyed "never ran" for none), refreshed with the flags.
//
// Labels: F2 or a click on the selected item edits one; within 750 ms of the
// click that selected the item, a click does not (it was meant as a second
// selecting click, not a rename).

#include "gui/common/Actions.h"
#include "gui/views/CategoriesModel.h"

#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QTreeView>

namespace bram {
class CApplicationDocument;
class CCategory;
class CTriggerEntry;
} // namespace bram

namespace bram::gui {

class CRunCounts;

class CCategoriesView : public QTreeView {
    Q_OBJECT
public:
    using EItemKind = CCategoriesModel::EKind;
    static constexpr int kLabelEditLockoutMs = 750;

    explicit CCategoriesView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CCategoriesView() override;
    // edit(index) opens the label editor, as F2 does.
    using QTreeView::edit;

    // Context menu actions by name ("NewTrigger") or command id (ECommand) written out.
    QAction* Action(const QString& name) const { return m_actions.Find(name); }
    const CActionTable& Actions() const { return m_actions; }
    static QStringList ContextMenuNames();

    // Shows the run counts and the title as they are now, and the current trigger selected.
    void OnUpdate();
    // The root's label: the document's title.
    void UpdateRootLabel();
    // The counts shown beside the triggers (the caller keeps them); null: none.
    void SetRunCounts(const CRunCounts* counts) { m_model->SetRunCounts(counts); }

    // The commands of the context menu, on the selected item.
    void OnNewCategory();
    void OnNewTrigger();
    void OnDelete();
    void OnEnable(bool atBeginning);
    // The selected trigger, or category with its triggers; a paste puts
    // triggers into the selected (or the selected trigger's) category, a
    // category anywhere, and selects the last trigger it brought.
    void OnCut();
    void OnCopy();
    void OnPaste();
    // Ends a label edit as Return would, so that a window closing or saving
    // sees the rename; nothing while no label is being edited.
    void CommitLabelEdit();
    // Opens the context menu for the selected item (the keyboard's way).
    void OpenContextMenu();

    // Drag and drop of the selected trigger: whether `target` takes it
    // (another category, or a trigger of another category), and the drop.
    bool CanDropOn(const QModelIndex& target) const;
    bool DropOn(const QModelIndex& target);
    // The row highlighted as drop target while dragging.
    QModelIndex DropTarget() const { return m_dropTarget; }

    CCategoriesModel* Model() const { return m_model; }
    QModelIndex RootIndex() const { return m_model->RootIndex(); }
    QModelIndex IndexOf(const CCategory* category) const { return m_model->IndexOf(category); }
    QModelIndex IndexOf(const CTriggerEntry* entry) const { return m_model->IndexOf(entry); }
    EItemKind KindOf(const QModelIndex& index) const { return m_model->KindOf(index); }
    // The category of a category row, or of a trigger row's trigger.
    CCategory* CategoryOf(const QModelIndex& index) const { return m_model->CategoryOf(index); }
    CTriggerEntry* EntryOf(const QModelIndex& index) const { return m_model->EntryOf(index); }
    // The selected rows (their labels); the commands act on SelectedIndex:
    // the current row when selected, else the first selected.
    QModelIndexList SelectedRows() const;
    // The entries of the selected trigger rows; Delete, Enable, Cut, Copy and
    // drag act on all of them as one step when there are several.
    std::vector<CTriggerEntry*> SelectedEntries() const;
    QModelIndex SelectedIndex() const;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    void BuildActions();
    // Selects the row without telling anyone.
    void ShowRow(const QModelIndex& index);
    // Shows the current trigger selected (or keeps a selected category or the root).
    void ShowSelection();
    void OnApplied();
    // Shows the count column, as wide as the counts, while there are counts.
    void FitCountColumn();
    void OnSelectionChanged();
    void OnRowsInserted(const QModelIndex& parent, int first, int last);
    void ShowContextMenuAt(const QPoint& globalPos);
    void EndDrag();
    void CopySelection(bool cut);

    CApplicationDocument& m_document;
    CCategoriesModel* m_model = nullptr;
    CActionTable m_actions;
    // While the view selects rows itself: no user's choice.
    bool m_showing = false;
    QElapsedTimer m_clock;
    qint64 m_lockoutUntil = -1;
    bool m_dragging = false;
    QPersistentModelIndex m_dropTarget;
    // The selection while the model rotates rows.
    QList<QPersistentModelIndex> m_rotating;
};

} // namespace bram::gui
