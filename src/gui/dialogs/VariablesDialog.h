#pragma once
// Lists the global variables of the program state, or the local variables
// of its current trigger, with how many parameters use each, and edits that
// list in place with its own undo and redo. Cancel takes back every step, so
// the caller's one history step keeps all changes or none. Deleting, cutting
// or retyping a used variable empties the parameters that use it: the
// dialog asks first.

#include "gui/common/Actions.h"
#include "history/History.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QTreeWidget;
class QTreeWidgetItem;

namespace bram {
class CCodeTrigger;
class CState;
class CUserDefinedVariable;
} // namespace bram

namespace bram::gui {

class CVariableEditDialog;

class CVariablesDialog : public QDialog {
    Q_OBJECT
public:
    using VariableList = std::vector<std::unique_ptr<CUserDefinedVariable>>;

    CVariablesDialog(CState* state, bool local, QWidget* parent = nullptr);
    ~CVariablesDialog() override;

    QTreeWidget* List() const { return m_list; }
    // Menu actions by name ("Undo", "Paste", "New") or command id (ECommand) written out.
    QAction* Action(const QString& name) const { return m_actions.Find(name); }
    // The step names of the undo list, oldest first.
    std::vector<std::string> UndoStepNames() const;
    std::size_t RedoStepCount() const { return m_history.GetRedoCount(); }
    // Offers Find usages, which ends the dialog as OK does and leaves the
    // variable's name in UsagesRequested for the caller to show.
    void EnableFindUsages();
    const std::string& UsagesRequested() const { return m_usagesOf; }
    // After OK: whether the variables differ from what the dialog was opened on
    // (steps undone inside the dialog do not count).
    bool Changed() const { return m_changed; }

    // Commands; they work on the selected row where they need one.
    void OnNew();
    void OnChange();
    void OnDelete();
    void OnCut();
    void OnCopy();
    void OnPaste();
    void OnUndo();
    void OnRedo();
    void OnFindUsages();
    // The end of in-place editing of a row's name.
    void OnRenameInPlace(int row, const QString& text);

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Runs the edit dialog modally; tests answer it here.
    virtual int RunEditDialog(CVariableEditDialog& dialog);

private:
    struct Step;

    int SelectedRow() const;
    void Record(std::unique_ptr<Step> step);
    // Undo (or redo) the newest step of `from` and move it to `to`; a beep when there is none.
    void Refresh(int selectRow);
    void UpdateMenu();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    // Whether the variable may lose its users: unused, or the user says yes.
    bool MayDetach(const CUserDefinedVariable& variable);
    // IsVariableNameTaken for the list shown.
    bool IsNameTaken(const std::string& name, const CUserDefinedVariable* self) const;

    CState* m_state;
    // The trigger whose locals are shown; null for the globals.
    CCodeTrigger* m_trigger = nullptr;
    VariableList* m_variables;
    VariableList m_noList;
    // Its own history over the list: no snapshots, each step undoes itself.
    CHistory m_history;
    bool m_changed = false;
    std::unique_ptr<CUserDefinedVariable> m_clipboard;
    QTreeWidget* m_list;
    CActionTable m_actions;
    bool m_filling = false;
    bool m_columnsSet = false;
    std::string m_usagesOf;
};

} // namespace bram::gui
