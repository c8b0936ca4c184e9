#pragma once
// The instruction pane: for the current trigger the tree of its code (its
// root blocks, their instructions and the blocks of structures), where the
// user selects, adds, edits, deletes, enables and moves instructions; with
// no current trigger a text box with the script header, and for a trigger
// turned into code a text box with its code (typing becomes undo steps by
// the rules of CTextStepEdit).
//
// The tree shows a CInstructionModel, which keeps its rows in line with
// the current trigger from the document's change reports; the selection
// follows the trigger's current node and back. Disabled instructions are
// greyed, incomplete ones marked with the name of the parameter that has no
// value, blocks shown as folders (root blocks bold). After a run with
// trace, a second column says how often each traced instruction ran
// (greyed "never ran" for none).
//
// New and edit ask the instruction chooser; without one they do nothing.

#include "gui/common/Actions.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <vector>

class QLabel;
class QTreeView;

namespace bram {
class CApplicationDocument;
class CCodeBase;
class CCodeInfoBase;
class CCodeTrigger;
class CVariableBase;
} // namespace bram

namespace bram::gui {

class CInstructionModel;
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
    void SetRunCounts(const CRunCounts* counts);

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

    // Drag and drop of the current node: whether the row `target` takes it, and the drop.
    bool CanDropOn(const QModelIndex& target) const;
    bool DropOn(const QModelIndex& target);
    QModelIndex DropTarget() const { return m_dropTarget; }

    QTreeView* Tree() const;
    CInstructionModel* Model() const { return m_model; }
    CTextStepEdit* TextBox() const { return m_text; }
    QLabel* Description() const { return m_description; }
    // The node a row stands for in the current state, and the row of a node.
    CCodeBase* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const CCodeBase* node) const;
    // The selected rows (column 0), in the tree's order.
    QModelIndexList SelectedIndexes() const;
    // The one the trigger's current node follows: the current row when it is
    // selected, else the first selected one.
    QModelIndex SelectedIndex() const;
    // The nodes of the selected rows in tree order: Delete, Enable, Cut, Copy
    // and drag act on all of them as one step when there are several.
    std::vector<const CCodeBase*> SelectedNodes() const;
    // What a drag takes: the selection when the current node is part of it, else the current node.
    QModelIndexList DraggedIndexes() const;

private:
    class CTree;
    friend class CTree;

    const CCodeTrigger* CurrentTrigger() const;
    CCodeBase* CurrentNode() const;
    void BuildActions();
    void BuildNewActions();
    void BuildUsageActions();
    // Shows the state the model shows: the tree or the text box, and the selection.
    void Refresh();
    // Selects the row of the trigger's current node, unless the selection already stands for it.
    void ShowCurrentNode();
    // Shows the run count column fitted to the counts, or hides it without them.
    void FitCountColumn();
    // New for the root block; `picked`: the instruction the chooser opens on.
    void NewInstruction(std::size_t rootBlock, const CCodeInfoBase* picked);
    // Tells the other views and the model, after an edit of this view, and shows the result.
    void Changed();
    void ShowText(bool text);
    void CopySelection(bool cut);
    void OnSelectionChanged();
    void ShowContextMenuAt(const QPoint& globalPos);
    void SetDropTarget(const QModelIndex& index);

    CApplicationDocument& m_document;
    QLabel* m_description;
    CInstructionModel* m_model;
    CTree* m_tree;
    CTextStepEdit* m_text;
    CActionTable m_actions;
    IInstructionChooser* m_chooser = nullptr;
    std::size_t m_newCount = 0;
    bool m_filling = false;
    bool m_dragging = false;
    QPersistentModelIndex m_dropTarget;
    int m_listener = 0;
};

} // namespace bram::gui
