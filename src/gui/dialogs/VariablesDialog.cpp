#include "gui/dialogs/VariablesDialog.h"

#include "gui/common/Actions.h"
#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/dialogs/VariableEditDialog.h"

#include "base/Text.h"
#include "category/CategorySystem.h"
#include "code/State.h"
#include "log/Assertion.h"
#include "records/TypeInfo.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace bram::gui {

// One edit of the list; the dialog's history calls it back to undo and redo.
// Whatever variable is out of the list while the step lies on its list is
// held by `out`, so destroying a step disposes of exactly the variables that
// belong to no list: a deleted, cut or replaced one while the step can be
// undone, an added or pasted one (or the replacement) while it can be redone.
struct CVariablesDialog::Step : CHistoryParam {
    enum class Kind { Add, Delete, Rename, Replace };

    Step(Kind k, std::string n) : kind(k), key(std::move(n)) {}
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;
    // A global out of the list goes to the state, whose history may keep it
    // (and its users' triggers) for the document's undo.
    ~Step() override
    {
        if (globalsOf != nullptr && out != nullptr) {
            globalsOf->RetireGlobal(std::move(out));
        }
    }

    void Undo() override { Undo(*list); }
    void Redo() override { Redo(*list); }

    Kind kind;
    std::string key;
    std::size_t position = 0;
    CUserDefinedVariable* renamed = nullptr;
    std::string oldName;
    std::string newName;
    std::unique_ptr<CUserDefinedVariable> out;
    VariableList* list = nullptr;
    CState* globalsOf = nullptr; // null for locals

    void Undo(VariableList& list)
    {
        switch (kind) {
        case Kind::Add: TakeOut(list); break;
        case Kind::Delete: PutBack(list); break;
        case Kind::Rename: renamed->SetName(oldName); break;
        case Kind::Replace: Swap(list); break;
        }
    }

    void Redo(VariableList& list)
    {
        switch (kind) {
        case Kind::Add: PutBack(list); break;
        case Kind::Delete: TakeOut(list); break;
        case Kind::Rename: renamed->SetName(newName); break;
        case Kind::Replace: Swap(list); break;
        }
    }

private:
    void TakeOut(VariableList& list)
    {
        BRAMBLETON_ASSERT(position < list.size() && !out);
        if (position < list.size() && !out) {
            out = std::move(list[position]);
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
        }
    }
    void PutBack(VariableList& list)
    {
        BRAMBLETON_ASSERT(position <= list.size() && out);
        if (position <= list.size() && out) {
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), std::move(out));
        }
    }
    void Swap(VariableList& list)
    {
        BRAMBLETON_ASSERT(position < list.size() && out);
        if (position < list.size() && out) {
            std::swap(list[position], out);
        }
    }
};

CVariablesDialog::CVariablesDialog(CState* state, bool local, QWidget* parent)
    : QDialog(parent),
      m_state(state),
      m_variables(&m_noList),
      m_list(new QTreeWidget(this)),
      m_actions(this, "VariablesDialog")
{
    BRAMBLETON_ASSERT(state != nullptr);
    if (state != nullptr) {
        if (!local) {
            m_variables = &state->GetGlobals();
        } else if (CCodeTrigger* trigger = state->GetCurrentTrigger()) {
            m_trigger = trigger;
            m_variables = &trigger->GetLocals();
        } else {
            BRAMBLETON_ASSERT(false);
        }
    }
    setWindowTitle(Localized("VariablesDialog/Title"));

    m_list->setObjectName(ControlName(EControl::VariablesList));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_list->setHeaderLabels({Localized("VariablesDialog/ListCtrl_Column1"),
                             Localized("VariablesDialog/ListCtrl_Column2"),
                             Localized("VariablesDialog/ListCtrl_Column3")});
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    const auto selected = [this] { return SelectedRow() >= 0; };
    const CActionEntry entries[] = {
        {.name = "Undo",
         .textKey = "Menu_Edit_Undo",
         .keys = {QKeySequence(QKeySequence::Undo)},
         .handler = [this] { OnUndo(); },
         .enabled = [this] { return m_history.CanUndo(); }},
        {.name = "Redo",
         .textKey = "Menu_Edit_Redo",
         .keys = {QKeySequence(QKeySequence::Redo)},
         .handler = [this] { OnRedo(); },
         .enabled = [this] { return m_history.CanRedo(); }},
        {.name = "Cut",
         .textKey = "Menu_Edit_Cut",
         .keys = {QKeySequence(QKeySequence::Cut)},
         .handler = [this] { OnCut(); },
         .enabled = selected},
        {.name = "Copy",
         .textKey = "Menu_Edit_Copy",
         .keys = {QKeySequence(QKeySequence::Copy)},
         .handler = [this] { OnCopy(); },
         .enabled = selected},
        {.name = "Paste",
         .textKey = "Menu_Edit_Paste",
         .keys = {QKeySequence(QKeySequence::Paste)},
         .handler = [this] { OnPaste(); },
         .enabled = [this] { return m_clipboard != nullptr; }},
        {.name = "New", .command = ECommand::VariableNew, .textKey = "Menu_Edit_New", .handler = [this] { OnNew(); }},
        {.name = "Change",
         .command = ECommand::VariableChange,
         .textKey = "Menu_Edit_Mod",
         .handler = [this] { OnChange(); }},
        {.name = "Delete",
         .command = ECommand::VariableDelete,
         .textKey = "Menu_Edit_Del",
         .keys = {QKeySequence(QKeySequence::Delete)},
         .handler = [this] { OnDelete(); }},
        {.name = "FindUsages",
         .textKey = "Menu_Edit_FindUsages",
         .handler = [this] { OnFindUsages(); },
         .enabled = selected},
        {.name = "Close", .textKey = "Menu_Edit_Close", .handler = [this] { reject(); }},
    };
    for (const CActionEntry& entry : entries) {
        m_actions.Add(entry);
    }
    const QStringList menu = {"Undo", "Redo",   "-",      "Cut", "Copy",       "Paste", "-",
                              "New",  "Change", "Delete", "-",   "FindUsages", "-",     "Close"};
    auto* menuBar = new QMenuBar(this);
    m_actions.AddMenu(menuBar, "Menu_Edit", menu);
    Action(QStringLiteral("FindUsages"))->setVisible(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVariablesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CVariablesDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(520, 340);

    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnChange(); });
    connect(m_list, &QTreeWidget::itemChanged, this, &CVariablesDialog::OnItemChanged);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CVariablesDialog::UpdateMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this, menu](const QPoint& at) {
        m_actions.ContextMenu(menu, this)->exec(m_list->viewport()->mapToGlobal(at));
    });
    // A row is selected from the start, so that Delete and Modify act at once.
    Refresh(0);
}

CVariablesDialog::~CVariablesDialog() = default;

void CVariablesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The columns share the list's client width once it is known.
    if (!m_columnsSet) {
        m_columnsSet = true;
        if (layout() != nullptr) {
            layout()->activate();
        }
        m_list->setColumnWidth(0, m_list->viewport()->width() / 2);
    }
}

int CVariablesDialog::RunEditDialog(CVariableEditDialog& dialog) { return dialog.exec(); }

std::vector<std::string> CVariablesDialog::UndoStepNames() const { return m_history.GetUndoNames(); }

int CVariablesDialog::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        return -1;
    }
    const int row = m_list->indexOfTopLevelItem(selected.first());
    return row >= 0 && row < static_cast<int>(m_variables->size()) ? row : -1;
}

void CVariablesDialog::Record(std::unique_ptr<Step> step)
{
    step->list = m_variables;
    step->globalsOf = m_trigger == nullptr ? m_state : nullptr;
    std::string key = step->key;
    m_history.Record(std::move(key), std::move(step));
}

void CVariablesDialog::Refresh(int selectRow)
{
    m_filling = true;
    m_list->clear();
    for (const auto& variable : *m_variables) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, ToQ(variable->GetName()));
        const CTypeInfo* type = variable->GetType();
        item->setText(1, type != nullptr ? ToQ(type->GetLocalizedName()) : QString());
        item->setText(2, QString::number(variable->GetPlacedUserCount()));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    if (selectRow >= 0 && selectRow < m_list->topLevelItemCount()) {
        m_list->setCurrentItem(m_list->topLevelItem(selectRow));
    }
    m_filling = false;
    UpdateMenu();
}

void CVariablesDialog::UpdateMenu() { m_actions.Update(); }

bool CVariablesDialog::IsNameTaken(const std::string& name, const CUserDefinedVariable* self) const
{
    return m_state != nullptr && IsVariableNameTaken(*m_state, m_trigger, name, self);
}

void CVariablesDialog::OnNew()
{
    if (m_state == nullptr || m_variables == &m_noList) {
        return;
    }
    CVariableEditDialog dialog(nullptr, *m_state, m_trigger, this);
    if (RunEditDialog(dialog) != QDialog::Accepted) {
        return;
    }
    std::unique_ptr<CUserDefinedVariable> created = dialog.TakeNewVariable();
    if (!created) {
        return;
    }
    auto step = std::make_unique<Step>(Step::Kind::Add, "History/VariablesDialog_AddVariable");
    step->position = m_variables->size();
    m_variables->push_back(std::move(created));
    Record(std::move(step));
    Refresh(static_cast<int>(m_variables->size()) - 1);
}

void CVariablesDialog::OnChange()
{
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    CUserDefinedVariable* variable = (*m_variables)[static_cast<std::size_t>(row)].get();
    const std::string oldName = variable->GetName();
    CVariableEditDialog dialog(variable, *m_state, m_trigger, this);
    if (RunEditDialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (std::unique_ptr<CUserDefinedVariable> replacement = dialog.TakeNewVariable()) {
        if (!MayDetach(*variable)) {
            return;
        }
        auto step = std::make_unique<Step>(Step::Kind::Replace, "History/VariablesDialog_ReplaceVariable");
        step->position = static_cast<std::size_t>(row);
        step->out = std::move((*m_variables)[step->position]);
        (*m_variables)[step->position] = std::move(replacement);
        Record(std::move(step));
    } else if (variable->GetName() != oldName) {
        auto step = std::make_unique<Step>(Step::Kind::Rename, "History/VariablesDialog_RenameVariable");
        step->renamed = variable;
        step->oldName = oldName;
        step->newName = variable->GetName();
        Record(std::move(step));
    }
    Refresh(row);
}

void CVariablesDialog::OnRenameInPlace(int row, const QString& text)
{
    if (row < 0 || row >= static_cast<int>(m_variables->size())) {
        return;
    }
    CUserDefinedVariable* variable = (*m_variables)[static_cast<std::size_t>(row)].get();
    const std::string name = text.toStdString();
    if (!NormalizedName(name).empty() && name != variable->GetName() && !IsNameTaken(name, variable)) {
        auto step = std::make_unique<Step>(Step::Kind::Rename, "History/VariablesDialog_RenameVariable");
        step->renamed = variable;
        step->oldName = variable->GetName();
        step->newName = name;
        variable->SetName(name);
        Record(std::move(step));
    }
    // The row shows the name the variable has now, taken or not. The item
    // stays (it may be the one whose edit is ending).
    if (QTreeWidgetItem* item = m_list->topLevelItem(row)) {
        m_filling = true;
        item->setText(0, ToQ(variable->GetName()));
        m_filling = false;
    }
    UpdateMenu();
}

void CVariablesDialog::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_filling || column != 0) {
        return;
    }
    OnRenameInPlace(m_list->indexOfTopLevelItem(item), item->text(0));
}

bool CVariablesDialog::MayDetach(const CUserDefinedVariable& variable)
{
    // A working copy of a dialog loses its value too, but the question is about the document.
    const std::size_t users = variable.GetPlacedUserCount();
    if (users == 0) {
        return true;
    }
    const QString question =
        Localized("VariablesDialog/UsedVariableQuestion", {ToQ(variable.GetName()), QString::number(users)});
    return UserPrompts().MessageBox(this, QMessageBox::Question, MessageTitle(), question,
                                    QMessageBox::Yes | QMessageBox::No, {}) == QMessageBox::Yes;
}

void CVariablesDialog::OnDelete()
{
    const int row = SelectedRow();
    if (row < 0 || !MayDetach(*(*m_variables)[static_cast<std::size_t>(row)])) {
        return;
    }
    auto step = std::make_unique<Step>(Step::Kind::Delete, "History/VariablDialog_DeleteVariable");
    step->position = static_cast<std::size_t>(row);
    step->Redo(*m_variables);
    Record(std::move(step));
    Refresh(std::min(row, static_cast<int>(m_variables->size()) - 1));
}

void CVariablesDialog::OnCopy()
{
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    const CUserDefinedVariable& variable = *(*m_variables)[static_cast<std::size_t>(row)];
    m_clipboard = std::make_unique<CUserDefinedVariable>(variable.GetName(), variable.GetType());
    UpdateMenu();
}

void CVariablesDialog::OnCut()
{
    const int row = SelectedRow();
    if (row < 0 || !MayDetach(*(*m_variables)[static_cast<std::size_t>(row)])) {
        return;
    }
    OnCopy();
    auto step = std::make_unique<Step>(Step::Kind::Delete, "History/VariablesDialog_Cut");
    step->position = static_cast<std::size_t>(row);
    step->Redo(*m_variables);
    Record(std::move(step));
    Refresh(std::min(row, static_cast<int>(m_variables->size()) - 1));
}

void CVariablesDialog::OnPaste()
{
    if (!m_clipboard) {
        UserPrompts().Beep();
        return;
    }
    const auto taken = [this](const std::string& name) { return IsNameTaken(name, nullptr); };
    const std::string name = FirstFreeName(m_clipboard->GetName(), taken);
    auto step = std::make_unique<Step>(Step::Kind::Add, "History/VariablesDialog_Paste");
    step->position = m_variables->size();
    m_variables->push_back(std::make_unique<CUserDefinedVariable>(name, m_clipboard->GetType()));
    Record(std::move(step));
    Refresh(static_cast<int>(m_variables->size()) - 1);
}

void CVariablesDialog::OnUndo()
{
    if (!m_history.CanUndo()) {
        UserPrompts().Beep();
        return;
    }
    m_history.Undo();
    Refresh(SelectedRow());
}

void CVariablesDialog::OnRedo()
{
    if (!m_history.CanRedo()) {
        UserPrompts().Beep();
        return;
    }
    m_history.Redo();
    Refresh(SelectedRow());
}

void CVariablesDialog::EnableFindUsages() { Action(QStringLiteral("FindUsages"))->setVisible(true); }

void CVariablesDialog::OnFindUsages()
{
    const QAction* action = Action(QStringLiteral("FindUsages"));
    const int row = SelectedRow();
    if (row < 0 || !action->isVisible()) {
        return;
    }
    m_usagesOf = (*m_variables)[static_cast<std::size_t>(row)]->GetName();
    accept();
}

void CVariablesDialog::accept()
{
    m_changed = m_history.CanUndo();
    m_history.Clear();
    QDialog::accept();
}

void CVariablesDialog::reject()
{
    while (m_history.CanUndo()) {
        m_history.Undo();
    }
    m_history.Clear();
    Refresh(-1);
    QDialog::reject();
}

} // namespace bram::gui
