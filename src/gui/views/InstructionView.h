#pragma once
// The instruction pane: for the current trigger the tree of its code (its
// root blocks, their instructions and the blocks of structures), where the
// user selects, adds, edits, deletes, enables and moves instructions; with
// no current trigger a text box with the script header, and for a trigger
// turned into code a text box with its code (typing becomes undo steps by
// the rules of CTextStepEdit).
//
// Items stand for nodes by their place: an item's path of child indexes
// under the top item is the node's path in the trigger, so any item (the
// one under a drag, not only the selected one) finds its node in the
// current state. Each label is the node's display text; disabled
// instructions are greyed, incomplete ones marked with the name of the
// parameter that has no value, blocks shown as folders (root blocks bold).
// After a run with trace, a second column says how often each traced
// instruction ran (greyed "never ran" for none).
//
// New and edit ask the instruction chooser; without one they do nothing.

#include "gui/common/Actions.h"

#include <QWidget>

#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace bram {
class CApplicationDocument;
class CCodeBase;
class CCodeInfoBase;
class CCodeTrigger;
class CVariableBase;
} // namespace bram

namespace bram::gui {

class CRunCounts;
class CTextStepEdit;
class IInstructionChooser;

class CInstructionView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxNewItems = 22;
    static constexpr int kMaxTextLength = 4194304;
    // Find usages entries of one instruction's menu, one per variable it uses.
    static constexpr std::size_t kMaxUsageItems = 10;

    explicit CInstructionView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CInstructionView() override;

    // The chooser New and edit ask (the caller keeps it); null: they do
    // nothing and the New items are greyed.
    void SetInstructionChooser(IInstructionChooser* chooser);
    // The counts shown beside the instructions (the caller keeps them); null: none.
    void SetRunCounts(const CRunCounts* counts) { m_counts = counts; }

signals:
    // The user selected another item; the state's current node follows it.
    void CurrentNodeChanged();
    // Find usages of a variable the current instruction uses (of the current state).
    void FindUsagesRequested(const bram::CVariableBase* variable);

public:
    // Shows the state as it is now: the tree of the current trigger, or the text box.
    void OnUpdate();

    // Context menu actions by name ("Delete", "New0", "Enable") or command id (ECommand) written out.
    QAction* Action(const QString& name) const { return m_actions.Find(name); }
    const CActionTable& Actions() const { return m_actions; }
    QStringList ContextMenuNames() const;
    // The variables the current instruction's parameters use (also through
    // calls given as values), first use first, at most kMaxUsageItems.
    std::vector<const CVariableBase*> UsedVariables() const;

    // The commands, on the current node.
    void OnDelete();
    void OnEnable();
    // The selected instruction with everything in it; a paste goes after the
    // selected instruction or at the end of the selected block, when the
    // block's type takes it, and becomes the selection.
    void OnCut();
    void OnCopy();
    void OnPaste();
    void OnNew(std::size_t rootBlock);
    // New with the instruction picked already (by name): for the root block
    // of its type, the one holding the selection first.
    void OnNewPicked(const CCodeInfoBase& definition);
    void OnEdit();
    // New for the root block that holds the selection.
    void OnInsert();
    // Moves the selected instruction one place within its block.
    void OnMove(bool up);
    void OpenContextMenu();

    // Drag and drop of the current node: whether `target` takes it, and the drop.
    bool CanDropOn(const QTreeWidgetItem* target) const;
    bool DropOn(const QTreeWidgetItem* target);
    const QTreeWidgetItem* DropTarget() const { return m_dropTarget; }

    QTreeWidget* Tree() const;
    CTextStepEdit* TextBox() const { return m_text; }
    QLabel* Description() const { return m_description; }
    // The node an item stands for in the current state, and the item of a node.
    CCodeBase* NodeOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(const CCodeBase* node) const;

private:
    class CTree;
    friend class CTree;

    const CCodeTrigger* CurrentTrigger() const;
    CCodeBase* CurrentNode() const;
    void BuildActions();
    void BuildNewActions();
    void BuildUsageActions();
    void Rebuild(const CCodeTrigger& trigger);
    // New for the root block; `picked`: the instruction the chooser opens on.
    void NewInstruction(std::size_t rootBlock, const CCodeInfoBase* picked);
    // Rebuilds and tells the other views, after an edit of this view.
    void Changed();
    void ShowText(bool text);
    void CopySelection(bool cut);
    void OnSelectionChanged();
    void ShowContextMenuAt(const QPoint& globalPos);
    void SetDropTarget(QTreeWidgetItem* item);

    CApplicationDocument& m_document;
    QLabel* m_description;
    CTree* m_tree;
    CTextStepEdit* m_text;
    CActionTable m_actions;
    IInstructionChooser* m_chooser = nullptr;
    std::size_t m_newCount = 0;
    bool m_filling = false;
    bool m_dragging = false;
    QTreeWidgetItem* m_dropTarget = nullptr;
    int m_listener = 0;
    const CRunCounts* m_counts = nullptr;
};

} // namespace bram::gui
