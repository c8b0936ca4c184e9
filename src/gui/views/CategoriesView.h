#pragma once
// The tree on the left of the main window: the document (root), its
// categories and their triggers, each level in alphabetical order. Selecting
// a trigger makes it the current trigger that the other views show. Every
// change (new, delete, rename, enable, drag and drop) is an edit of
// DocumentEdits.h and one undo step.
//
// Items keep the list indexes of their category and entry (the screen
// order is alphabetical, the data say which object an item is). The tree is
// rebuilt when the categories or names changed, and otherwise refreshed in
// place (greying disabled triggers, the selection), so selecting a trigger
// or typing elsewhere does not rebuild thousands of items.
//
// After a run with trace, a second column says how often each trigger ran
// (greyed "never ran" for none), refreshed with the flags.
//
// Labels: F2 or a click on the selected item edits one; within 750 ms of the
// click that selected the item, a click does not (it was meant as a second
// selecting click, not a rename).

#include "gui/common/Actions.h"

#include <QElapsedTimer>
#include <QTreeWidget>

#include <unordered_map>
#include <vector>

namespace bram {
class CApplicationDocument;
class CCategory;
class CTriggerEntry;
} // namespace bram

namespace bram::gui {

class CRunCounts;

class CCategoriesView : public QTreeWidget {
    Q_OBJECT
public:
    enum class EItemKind { None, Root, Category, Trigger };
    static constexpr int kLabelEditLockoutMs = 750;

    explicit CCategoriesView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CCategoriesView() override;

    // Context menu actions by name ("NewTrigger") or command id (ECommand) written out.
    QAction* Action(const QString& name) const { return m_actions.Find(name); }
    const CActionTable& Actions() const { return m_actions; }
    static QStringList ContextMenuNames();

    // Shows the state as it is now: rebuilds when categories or names
    // changed, refreshes in place otherwise; selects the current trigger.
    void OnUpdate();
    // The root's label: the document's title.
    void UpdateRootLabel();
    // The counts shown beside the triggers (the caller keeps them); null: none.
    void SetRunCounts(const CRunCounts* counts) { m_counts = counts; }

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
    bool CanDropOn(const QTreeWidgetItem* target) const;
    bool DropOn(const QTreeWidgetItem* target);
    // The item highlighted as drop target while dragging.
    const QTreeWidgetItem* DropTarget() const { return m_dropTarget; }

    QTreeWidgetItem* RootItem() const { return topLevelItem(0); }
    QTreeWidgetItem* ItemOf(const CCategory* category) const;
    QTreeWidgetItem* ItemOf(const CTriggerEntry* entry) const;
    static EItemKind KindOf(const QTreeWidgetItem* item);
    // The category of a category item, or of a trigger item's trigger.
    CCategory* CategoryOf(const QTreeWidgetItem* item) const;
    CTriggerEntry* EntryOf(const QTreeWidgetItem* item) const;

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

private:
    // What the tree was built from, in list order, to tell whether a rebuild is needed.
    struct Shape {
        const CCategory* category;
        std::string name;
        std::vector<std::pair<const CTriggerEntry*, std::string>> entries;
    };

    void BuildActions();
    void Rebuild();
    // Brings the tree to the categories: only the trigger items of
    // categories whose entries changed when the categories are the same,
    // else a rebuild.
    void Sync();
    bool SyncEntries();
    void SyncCategory(std::size_t index);
    // Greys disabled triggers and shows the run counts.
    void RefreshFlags();
    // Selects the item, makes its trigger (or none) current and tells the other views.
    void SelectItem(QTreeWidgetItem* item);
    // Shows the current trigger selected (or keeps a selected category) without telling anyone.
    void ShowSelection(const CCategory* keptCategory);
    void OnSelectionChanged();
    void OnItemChanged(QTreeWidgetItem* item);
    void ShowContextMenuAt(const QPoint& globalPos);
    QTreeWidgetItem* SelectedItem() const;
    void EndDrag();
    void CopySelection(bool cut);

    CApplicationDocument& m_document;
    CActionTable m_actions;
    std::vector<Shape> m_shape;
    // The category items in list order, and the item of each entry.
    std::vector<QTreeWidgetItem*> m_categoryItems;
    std::unordered_map<const CTriggerEntry*, QTreeWidgetItem*> m_itemOfEntry;
    bool m_filling = false;
    QElapsedTimer m_clock;
    qint64 m_lockoutUntil = -1;
    bool m_dragging = false;
    QTreeWidgetItem* m_dropTarget = nullptr;
    int m_listener = 0;
    const CRunCounts* m_counts = nullptr;
    // Whether the items show run counts now: without, there is nothing to clear.
    bool m_countsShown = false;
};

} // namespace bram::gui
