#include "gui/views/InstructionView.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/views/ClipboardTransfer.h"
#include "gui/views/InstructionChooser.h"
#include "gui/views/RunCounts.h"
#include "gui/views/TextStepEdit.h"
#include "gui/views/ViewIcons.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "document/EditPlaces.h"
#include "document/NodeWalk.h"
#include "generation/GenerationSettings.h"
#include "localization/Localization.h"
#include "records/BlockInfo.h"
#include "records/CodeInfoBase.h"
#include "records/ParameterInfo.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleOption>
#include <QTreeWidget>
#include <QVBoxLayout>

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

// What items look like, taken from the style once per build.
struct Look {
    QIcon block;
    QIcon instruction;
    QIcon incomplete;
    QFont rootFont;
    QBrush disabled;
};

QTreeWidgetItem* NewItem(const CCodeBase& node, bool rootBlock, const Look& look)
{
    QString text = ToQ(node.GetText());
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    auto* item = new QTreeWidgetItem(QStringList(text));
    if (node.GetCodeType() == CodeTypeBlock) {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setIcon(0, look.block);
        if (rootBlock) {
            item->setFont(0, look.rootFont);
        }
    } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
        const std::string missing = MissingParameter(node);
        item->setIcon(0, missing.empty() ? look.instruction : look.incomplete);
        if (!missing.empty()) {
            item->setToolTip(0,
                             ToQ(FillPlaceholders(GetLocalizedString("InstructionView/MissingParameter"), {missing})));
        }
    }
    if (!node.IsEnabled()) {
        item->setForeground(0, look.disabled);
    }
    for (std::size_t i = 0; node.IsContainer() && i < node.GetChildCount(); ++i) {
        item->addChild(NewItem(*node.GetChild(i), false, look));
    }
    return item;
}

// The run counts beside the items of `node` and what it holds; `path` is the node's.
void ShowCounts(QTreeWidgetItem& item, const CCodeBase& node, std::uint32_t triggerId, std::vector<std::size_t>& path,
                const CRunCounts& counts, const QBrush& grey)
{
    if (counts.IsTraced(node)) {
        const std::uint64_t count = counts.OfInstruction(triggerId, path);
        item.setText(1, CRunCounts::Label(count));
        if (count == 0) {
            item.setForeground(1, grey);
        }
    }
    for (std::size_t i = 0; node.IsContainer() && i < node.GetChildCount(); ++i) {
        path.push_back(i);
        ShowCounts(*item.child(static_cast<int>(i)), *node.GetChild(i), triggerId, path, counts, grey);
        path.pop_back();
    }
}

// The tree as the code model walks it to find the selected item's node.
class CTreeItems : public IItemTree {
public:
    explicit CTreeItems(const QTreeWidget& tree) : m_tree(tree) {}
    Item GetTopItem() const override { return m_tree.topLevelItem(0); }
    Item GetSelectedItem() const override
    {
        const QList<QTreeWidgetItem*> selected = m_tree.selectedItems();
        return selected.isEmpty() ? nullptr : selected.first();
    }
    Item GetFirstChild(Item item) const override
    {
        const auto* treeItem = static_cast<const QTreeWidgetItem*>(item);
        return treeItem->childCount() > 0 ? treeItem->child(0) : nullptr;
    }
    Item GetNextSibling(Item item) const override
    {
        const auto* treeItem = static_cast<const QTreeWidgetItem*>(item);
        const QTreeWidgetItem* parent = treeItem->parent();
        const int next = parent != nullptr ? parent->indexOfChild(const_cast<QTreeWidgetItem*>(treeItem)) + 1 : 0;
        return parent != nullptr && next < parent->childCount() ? parent->child(next) : nullptr;
    }

private:
    const QTreeWidget& m_tree;
};

} // namespace

// The tree control: menus, dragging and the drop highlight go to the view.
class CInstructionView::CTree : public QTreeWidget {
public:
    explicit CTree(CInstructionView& view) : QTreeWidget(&view), m_view(view) {}
    using QTreeWidget::setState;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (event->reason() == QContextMenuEvent::Keyboard) {
            m_view.OpenContextMenu();
        } else {
            m_view.ShowContextMenuAt(event->globalPos());
        }
    }
    void startDrag(Qt::DropActions /*supportedActions*/) override
    {
        const QTreeWidgetItem* item = currentItem();
        if (!IsInstruction(m_view.CurrentNode()) || item == nullptr) {
            return;
        }
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setData(QLatin1String(kInstructionMime), item->text(0).toUtf8());
        drag->setMimeData(data);
        m_view.m_dragging = true;
        drag->exec(Qt::MoveAction);
        m_view.m_dragging = false;
        EndDrag();
    }
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (Ours(event)) {
            setState(DraggingState);
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        QTreeWidgetItem* target = Ours(event) ? itemAt(event->position().toPoint()) : nullptr;
        QTreeWidgetItem* highlight = m_view.CanDropOn(target) ? target : nullptr;
        m_view.SetDropTarget(highlight);
        if (highlight != nullptr) {
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
        const int y = event->position().toPoint().y();
        if (y < autoScrollMargin() || y > viewport()->height() - autoScrollMargin()) {
            startAutoScroll();
        }
    }
    void dragLeaveEvent(QDragLeaveEvent* /*event*/) override { EndDrag(); }
    void dropEvent(QDropEvent* event) override
    {
        const QTreeWidgetItem* target = itemAt(event->position().toPoint());
        const bool ours = Ours(event);
        EndDrag();
        if (!ours) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::MoveAction);
        event->accept();
        m_view.DropOn(target);
    }
    void paintEvent(QPaintEvent* event) override
    {
        QTreeWidget::paintEvent(event);
        if (m_view.m_dropTarget != nullptr) {
            QPainter painter(viewport());
            QStyleOption option;
            option.initFrom(this);
            option.rect = visualItemRect(m_view.m_dropTarget);
            style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemDrop, &option, &painter, this);
        }
    }

private:
    bool Ours(const QDropEvent* event) const { return event->source() == this && m_view.m_dragging; }
    void EndDrag()
    {
        stopAutoScroll();
        setState(NoState);
        m_view.SetDropTarget(nullptr);
    }

    CInstructionView& m_view;
};

CInstructionView::CInstructionView(CApplicationDocument& document, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_description(new QLabel(this)),
      m_tree(new CTree(*this)),
      m_text(new CTextStepEdit(document, ETextField::Code, kMaxTextLength, this)),
      m_actions(m_tree, "InstructionView")
{
    setObjectName(QStringLiteral("InstructionView"));
    m_tree->setObjectName(ControlName(EControl::InstructionTree));
    m_text->setObjectName(ControlName(EControl::InstructionText));
    m_tree->setHeaderHidden(true);
    // The label, and the run count (empty without one).
    m_tree->setColumnCount(2);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDragDropMode(QAbstractItemView::DragDrop);
    m_tree->setDropIndicatorShown(false);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTabStopDistance(QFontMetricsF(m_text->font()).horizontalAdvance(QLatin1Char(' ')) * 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_description);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_text, 1);
    BuildActions();
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CInstructionView::OnSelectionChanged);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnEdit(); });
    connect(m_text, &CTextStepEdit::StepRecorded, this, [this] { m_document.UpdateAllViews(this); });
    m_listener = m_document.AddUpdateListener(this, [this] { OnUpdate(); });
    OnUpdate();
}

CInstructionView::~CInstructionView() { m_document.RemoveUpdateListener(m_listener); }

QTreeWidget* CInstructionView::Tree() const { return m_tree; }

void CInstructionView::SetInstructionChooser(IInstructionChooser* chooser)
{
    m_chooser = chooser;
    m_actions.Update();
}

void CInstructionView::BuildActions()
{
    const auto instruction = [this] { return IsInstruction(CurrentNode()); };
    const auto widgetKeys = [](std::initializer_list<QKeyCombination> keys) {
        QList<QKeySequence> sequences;
        for (const QKeyCombination key : keys) {
            sequences << QKeySequence(key);
        }
        return sequences;
    };
    const CActionEntry entries[] = {
        // Their keys are the main frame's, which hands them to the focused view.
        {.name = "Cut",
         .command = ECommand::InstructionCut,
         .textKey = "InstructionsList_Menu_Cut",
         .handler = [this] { OnCut(); },
         .enabled = instruction},
        {.name = "Copy",
         .command = ECommand::InstructionCopy,
         .textKey = "InstructionsList_Menu_Copy",
         .handler = [this] { OnCopy(); },
         .enabled = instruction},
        {.name = "Paste",
         .command = ECommand::InstructionPaste,
         .textKey = "InstructionsList_Menu_Paste",
         .handler = [this] { OnPaste(); },
         .enabled = [this] { return CurrentNode() != nullptr && HasFragmentOnClipboard(); }},
        {.name = "Delete",
         .command = ECommand::InstructionDelete,
         .textKey = "InstructionsList_Menu_Del",
         .keys = widgetKeys({Qt::Key_Delete}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnDelete(); },
         .enabled = instruction},
        {.name = "Enable",
         .command = ECommand::InstructionEnable,
         .textKey = "InstructionsList_Menu_EnableInstruction",
         .handler = [this] { OnEnable(); },
         .enabled = [this, instruction] { return instruction() && CurrentNode()->IsComplete(); },
         .checked = [this, instruction] { return instruction() && CurrentNode()->IsEnabled(); }},
        // Keys without a menu item.
        {.name = "Edit",
         .keys = widgetKeys({Qt::Key_Return, Qt::Key_Enter}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnEdit(); }},
        {.name = "Insert",
         .keys = widgetKeys({Qt::Key_Insert}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnInsert(); }},
        {.name = "MoveUp",
         .keys = widgetKeys({Qt::ALT | Qt::Key_Up}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnMove(true); }},
        {.name = "MoveDown",
         .keys = widgetKeys({Qt::ALT | Qt::Key_Down}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OnMove(false); }},
        {.name = "ContextMenu",
         .keys = widgetKeys({Qt::Key_Menu, Qt::SHIFT | Qt::Key_F10}),
         .keyContext = Qt::WidgetShortcut,
         .handler = [this] { OpenContextMenu(); }},
    };
    for (const CActionEntry& entry : entries) {
        m_actions.Add(entry);
    }
    BuildNewActions();
    BuildUsageActions();
}

void CInstructionView::BuildNewActions()
{
    // One New item per root block that every trigger has.
    const std::vector<const CBlockInfo*>& blocks = CGenerationSettings::Instance().GetFunctionBlocks();
    m_newCount = std::min<std::size_t>(blocks.size(), kMaxNewItems);
    // Greyed while nothing can choose an instruction.
    const auto canAdd = [this](std::size_t block) {
        const CCodeTrigger* trigger = CurrentTrigger();
        return m_chooser != nullptr && trigger != nullptr && block < trigger->GetBlockCount();
    };
    for (std::size_t i = 0; i < m_newCount; ++i) {
        QAction* action = m_actions.Add({.name = QStringLiteral("New%1").arg(i),
                                         .command = InstructionNewCommand(i),
                                         .textKey = "InstructionsList_Menu_New",
                                         .handler = [this, i] { OnNew(i); },
                                         .enabled = [canAdd, i] { return canAdd(i); }});
        action->setText(action->text() + ToQ(blocks[i]->GetLocalizedName()));
    }
}

void CInstructionView::BuildUsageActions()
{
    // Offered greyed for an instruction that uses no variable, so the command is seen.
    m_actions.Add(
        {.name = "FindUsages", .textKey = "InstructionsList_Menu_FindUsages", .enabled = [] { return false; }});
    for (std::size_t i = 0; i < kMaxUsageItems; ++i) {
        const auto variable = [this, i]() -> const CVariableBase* {
            const std::vector<const CVariableBase*> used = UsedVariables();
            return i < used.size() ? used[i] : nullptr;
        };
        m_actions.Add({.name = QStringLiteral("FindUsages%1").arg(i),
                       .textKey = "InstructionsList_Menu_FindUsagesOf",
                       .handler =
                           [this, variable] {
                               if (const CVariableBase* used = variable()) {
                                   emit FindUsagesRequested(used);
                               }
                           },
                       .enabled = [variable] { return variable() != nullptr; },
                       .text =
                           [variable](const QString& label) {
                               const CVariableBase* used = variable();
                               return used != nullptr ? ToQ(FillPlaceholders(label.toStdString(), {used->GetText()}))
                                                      : label;
                           }});
    }
}

std::vector<const CVariableBase*> CInstructionView::UsedVariables() const
{
    std::vector<const CVariableBase*> variables;
    if (const CCodeBase* node = CurrentNode(); IsInstruction(node)) {
        variables = VariablesUsedBy(*node, false);
    }
    if (variables.size() > kMaxUsageItems) {
        variables.resize(kMaxUsageItems);
    }
    return variables;
}

QStringList CInstructionView::ContextMenuNames() const
{
    QStringList names = {"Cut", "Copy", "Paste", "Delete", "-"};
    for (std::size_t i = 0; i < m_newCount; ++i) {
        names << QStringLiteral("New%1").arg(i);
    }
    names << "-"
          << "Enable"
          << "-";
    const std::size_t used = UsedVariables().size();
    if (used == 0) {
        names << "FindUsages";
    }
    for (std::size_t i = 0; i < used; ++i) {
        names << QStringLiteral("FindUsages%1").arg(i);
    }
    return names;
}

// ---- the state ----------------------------------------------------------------------------

const CCodeTrigger* CInstructionView::CurrentTrigger() const
{
    const CState* state = m_document.GetState();
    return state != nullptr ? state->GetCurrentTrigger() : nullptr;
}

CCodeBase* CInstructionView::CurrentNode() const
{
    const CCodeTrigger* trigger = CurrentTrigger();
    return trigger != nullptr && !trigger->IsCode() ? trigger->GetCurrentNode() : nullptr;
}

CCodeBase* CInstructionView::NodeOf(const QTreeWidgetItem* item) const
{
    const CCodeTrigger* trigger = CurrentTrigger();
    if (trigger == nullptr || trigger->IsCode() || item == nullptr || m_tree->isHidden()) {
        return nullptr;
    }
    std::vector<std::size_t> path;
    for (; item->parent() != nullptr; item = item->parent()) {
        path.push_back(static_cast<std::size_t>(item->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(item))));
    }
    if (item != m_tree->topLevelItem(0)) {
        return nullptr;
    }
    std::reverse(path.begin(), path.end());
    return trigger->GetNodeFromPath(path);
}

QTreeWidgetItem* CInstructionView::ItemOf(const CCodeBase* node) const
{
    const CCodeTrigger* trigger = CurrentTrigger();
    QTreeWidgetItem* item = m_tree->topLevelItem(0);
    const std::vector<std::size_t> path =
        trigger != nullptr && node != nullptr ? trigger->GetNodePath(node) : std::vector<std::size_t>();
    if (path.empty()) {
        return nullptr;
    }
    for (std::size_t i = 0; item != nullptr && i < path.size(); ++i) {
        item = static_cast<int>(path[i]) < item->childCount() ? item->child(static_cast<int>(path[i])) : nullptr;
    }
    return item;
}

void CInstructionView::OnUpdate()
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const char* description = trigger == nullptr  ? "InstructionView/HeaderDescription"
                              : trigger->IsCode() ? "InstructionView/CodeDescription"
                                                  : "InstructionView/InstructionListDescription";
    m_description->setText(Localized(description));
    m_tree->setAccessibleName(m_description->text());
    m_text->setAccessibleName(m_description->text());
    const bool text = trigger == nullptr || trigger->IsCode();
    ShowText(text);
    if (text) {
        m_text->Load();
    } else {
        Rebuild(*trigger);
    }
    m_actions.Update();
}

void CInstructionView::ShowText(bool text)
{
    const bool focused = isAncestorOf(QApplication::focusWidget());
    // The hidden control takes no input: a paste meant for the tree never
    // reaches the text box, which would store it as the trigger's code.
    m_text->setVisible(text);
    m_text->setEnabled(text && m_document.GetState() != nullptr);
    m_tree->setVisible(!text);
    QWidget* shown = text ? static_cast<QWidget*>(m_text) : m_tree;
    setFocusProxy(shown);
    if (focused) {
        shown->setFocus();
    }
}

void CInstructionView::Rebuild(const CCodeTrigger& trigger)
{
    m_filling = true;
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_dropTarget = nullptr;
    Look look{StandardIcon(QStyle::SP_DirIcon), StandardIcon(QStyle::SP_FileIcon),
              StandardIcon(QStyle::SP_MessageBoxWarning), m_tree->font(),
              palette().brush(QPalette::Disabled, QPalette::Text)};
    look.rootFont.setBold(true);
    auto* top = new QTreeWidgetItem(QStringList(ToQ(trigger.GetName())));
    top->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    // The trigger's icon, as in the categories view; the rows take the first one's height.
    top->setIcon(0, look.instruction);
    const bool counted = m_counts != nullptr && m_counts->IsFor(m_document.GetState());
    std::vector<std::size_t> path;
    for (std::size_t b = 0; b < trigger.GetBlockCount(); ++b) {
        QTreeWidgetItem* block = NewItem(*trigger.GetBlock(b), true, look);
        top->addChild(block);
        if (counted) {
            path.assign(1, b);
            ShowCounts(*block, *trigger.GetBlock(b), trigger.GetId(), path, *m_counts, look.disabled);
        }
    }
    m_tree->addTopLevelItem(top);
    m_tree->expandAll();
    if (QTreeWidgetItem* current = ItemOf(trigger.GetCurrentNode())) {
        m_tree->setCurrentItem(current);
        m_tree->scrollToItem(current);
    }
    m_tree->setUpdatesEnabled(true);
    m_filling = false;
}

void CInstructionView::OnSelectionChanged()
{
    if (m_filling) {
        return;
    }
    SelectNodeFromView(m_document, CTreeItems(*m_tree));
    m_actions.Update();
    emit CurrentNodeChanged();
}

void CInstructionView::Changed()
{
    OnUpdate();
    m_document.UpdateAllViews(this);
}

// ---- commands -------------------------------------------------------------------------------

void CInstructionView::OnDelete()
{
    if (DeleteInstruction(m_document, CurrentNode())) {
        Changed();
    }
}

void CInstructionView::OnCut() { CopySelection(true); }

void CInstructionView::OnCopy() { CopySelection(false); }

void CInstructionView::CopySelection(bool cut)
{
    const std::optional<SClipboardContent> content =
        cut ? CutInstruction(m_document, CurrentNode()) : CopyInstruction(m_document, CurrentNode());
    if (!content) {
        UserPrompts().Beep();
        return;
    }
    PutOnClipboard(*content);
    if (cut) {
        Changed();
    }
}

void CInstructionView::OnPaste()
{
    const std::string fragment = FragmentOnClipboard();
    if (fragment.empty()) {
        UserPrompts().Beep();
        return;
    }
    if (ReportPaste(this, Paste(m_document, fragment, {.node = CurrentNode()}))) {
        Changed();
    }
}

void CInstructionView::OnEnable()
{
    const CCodeBase* node = CurrentNode();
    if (IsInstruction(node) && SetInstructionEnabled(m_document, node, !node->IsEnabled())) {
        Changed();
    }
}

void CInstructionView::OnNew(std::size_t rootBlock) { NewInstruction(rootBlock, nullptr); }

void CInstructionView::OnNewPicked(const CCodeInfoBase& definition)
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const CCodeBase* held = CurrentNode();
    while (held != nullptr && held->GetParent() != nullptr) {
        held = held->GetParent();
    }
    std::size_t block = m_newCount;
    for (std::size_t i = 0; trigger != nullptr && i < std::min(m_newCount, trigger->GetBlockCount()); ++i) {
        if (trigger->GetBlock(i)->GetType() == definition.GetType() &&
            (block == m_newCount || trigger->GetBlock(i) == held)) {
            block = i;
        }
    }
    if (block < m_newCount) {
        NewInstruction(block, &definition);
    }
}

void CInstructionView::NewInstruction(std::size_t rootBlock, const CCodeInfoBase* picked)
{
    if (m_chooser == nullptr || !BeginNewInstruction(m_document, rootBlock)) {
        return;
    }
    // The step made a new current state: the trigger is found again in it.
    const CTypeInfo* type = CurrentTrigger()->GetBlock(rootBlock)->GetType();
    const std::unique_ptr<CCodeBase> pick(picked != nullptr ? picked->CreateCode() : nullptr);
    IInstructionChooser::Result result = pick ? m_chooser->ChoosePicked(*m_document.GetState(), type, *pick, this)
                                              : m_chooser->Choose(*m_document.GetState(), type, nullptr, this);
    const bool variablesChanged = result.variablesChanged;
    if (!result.instruction || !PlaceNewInstruction(m_document, rootBlock, std::move(result.instruction))) {
        CancelInstructionDialog(m_document, variablesChanged);
    }
    Changed();
}

void CInstructionView::OnEdit()
{
    if (m_chooser == nullptr) {
        return;
    }
    const CCodeBase* node = BeginEditInstruction(m_document);
    if (node == nullptr) {
        return;
    }
    IInstructionChooser::Result result = m_chooser->Choose(*m_document.GetState(), node->GetType(), node, this);
    const bool variablesChanged = result.variablesChanged;
    if (!result.instruction || !ReplaceInstruction(m_document, std::move(result.instruction))) {
        CancelInstructionDialog(m_document, variablesChanged);
    }
    Changed();
}

void CInstructionView::OnInsert()
{
    const CCodeTrigger* trigger = CurrentTrigger();
    const CCodeBase* node = CurrentNode();
    while (node != nullptr && node->GetParent() != nullptr) {
        node = node->GetParent();
    }
    for (std::size_t i = 0; trigger != nullptr && node != nullptr && i < m_newCount; ++i) {
        if (trigger->GetBlock(i) == node) {
            OnNew(i);
            return;
        }
    }
}

void CInstructionView::OnMove(bool up)
{
    // Recorded as a drop: up onto the instruction two places above (it ends
    // right after it) or onto its block (it becomes the first); down onto the
    // next one.
    const CCodeBase* node = CurrentNode();
    const CCodeBase* parent = IsInstruction(node) ? node->GetParent() : nullptr;
    if (parent == nullptr) {
        return;
    }
    const int index = node->GetIndexInParent();
    const CCodeBase* target = nullptr;
    if (up && index >= 2) {
        target = parent->GetChild(static_cast<std::size_t>(index - 2));
    } else if (up && index == 1) {
        target = parent;
    } else if (!up && static_cast<std::size_t>(index) + 1 < parent->GetChildCount()) {
        target = parent->GetChild(static_cast<std::size_t>(index) + 1);
    }
    if (target != nullptr && DropInstruction(m_document, node, target)) {
        Changed();
    }
}

// ---- context menu and drag and drop ---------------------------------------------------------

void CInstructionView::OpenContextMenu()
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    const QPoint at = item != nullptr ? m_tree->visualItemRect(item).bottomLeft() : QPoint(0, 0);
    ShowContextMenuAt(m_tree->viewport()->mapToGlobal(at));
}

void CInstructionView::ShowContextMenuAt(const QPoint& globalPos)
{
    m_actions.ContextMenu(ContextMenuNames(), m_tree)->exec(globalPos);
}

bool CInstructionView::CanDropOn(const QTreeWidgetItem* target) const
{
    return CanDropInstruction(CurrentNode(), NodeOf(target));
}

bool CInstructionView::DropOn(const QTreeWidgetItem* target)
{
    const bool moved = DropInstruction(m_document, CurrentNode(), NodeOf(target));
    if (moved) {
        Changed();
    }
    return moved;
}

void CInstructionView::SetDropTarget(QTreeWidgetItem* item)
{
    if (item != m_dropTarget) {
        m_dropTarget = item;
        m_tree->viewport()->update();
    }
}

} // namespace bram::gui
