// The palettes of the main window: insert an instruction by name over the
// instruction tree, and go to a trigger, category or global by name.

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/Palette.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionView.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "code/Variables.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "records/CodeInfoBase.h"
#include "records/Definitions.h"
#include "records/TypeInfo.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeView>

namespace bram::gui {

namespace {

// A description as words to match: its parameter placeholders left out.
QString DescriptionWords(const std::string& description)
{
    static const QRegularExpression placeholder(QStringLiteral("!\\[Parameter[0-9]+\\]"));
    return ToQ(description).replace(placeholder, QStringLiteral(" "));
}

} // namespace

void CMainFrame::BuildPalettes()
{
    QTreeView* tree = m_instructions->Tree();
    m_insertPalette = new CPalette(m_instructions, tree, "Palette/InsertField", "Palette/InsertList");
    m_goToPalette = new CPalette(this, m_outer, "Palette/GoToField", "Palette/GoToList");
    connect(m_insertPalette, &CPalette::Chosen, this, [this](int entry) {
        m_instructions->OnNewPicked(*m_insertChoices.at(static_cast<std::size_t>(entry)));
        UpdateCommandUI();
    });
    connect(m_goToPalette, &CPalette::Chosen, this, &CMainFrame::GoTo);
    // On the trigger's own item, typing keeps searching the tree's labels.
    OpenOnLetter(
        tree,
        [this, tree] {
            return tree->currentIndex().parent().isValid() && Action(QStringLiteral("InsertByName"))->isEnabled();
        },
        [this](const QString& letter) { OnInsertByName(letter); });
}

void CMainFrame::OnInsertByName(const QString& typed)
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger == nullptr || trigger->IsCode()) {
        UserPrompts().Beep();
        return;
    }
    std::vector<CPalette::SEntry> entries;
    m_insertChoices.clear();
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        const CCodeBase* block = nullptr;
        for (std::size_t b = 0; block == nullptr && b < trigger->GetBlockCount(); ++b) {
            if (trigger->GetBlock(b)->GetType() == definition->GetType()) {
                block = trigger->GetBlock(b);
            }
        }
        if (block == nullptr) {
            continue;
        }
        entries.push_back({ToQ(definition->GetLocalizedName()), ToQ(block->GetText()),
                           DescriptionWords(definition->GetLocalizedDescription()),
                           ToQ(definition->GetNamespace() + "/" + definition->GetName())});
        m_insertChoices.push_back(definition);
    }
    m_insertPalette->Open(std::move(entries), typed);
}

void CMainFrame::OnGoTo()
{
    const CState* state = m_document.GetState();
    if (state == nullptr) {
        return;
    }
    std::vector<CPalette::SEntry> entries;
    m_goToChoices.clear();
    // Triggers first: on a tie with their category's name, the trigger is what is meant.
    const CCategorySystem& categories = m_document.GetCategorySystem();
    for (std::size_t c = 0; c < categories.GetCategoryCount(); ++c) {
        const CCategory* category = categories.GetCategory(c);
        for (std::size_t t = 0; t < category->GetTriggerCount(); ++t) {
            const CTriggerEntry* entry = category->GetTrigger(t);
            entries.push_back(
                {ToQ(entry->GetName()), ToQ(category->GetName()), {}, QStringLiteral("t:%1").arg(entry->GetId())});
            m_goToChoices.push_back({SGoToChoice::EKind::Trigger, entry->GetId(), entry->GetName()});
        }
    }
    const QString categoryWord = Localized("Palette/Category");
    for (std::size_t c = 0; c < categories.GetCategoryCount(); ++c) {
        const std::string& name = categories.GetCategory(c)->GetName();
        entries.push_back({ToQ(name), categoryWord, {}, QStringLiteral("c:") + ToQ(name)});
        m_goToChoices.push_back({SGoToChoice::EKind::Category, 0, name});
    }
    const QString globalWord = Localized("Palette/Global");
    for (const auto& global : state->GetGlobals()) {
        const CTypeInfo* type = global->GetType();
        entries.push_back({ToQ(global->GetName()), globalWord,
                           type != nullptr ? ToQ(type->GetLocalizedName()) : QString(),
                           QStringLiteral("g:") + ToQ(global->GetName())});
        m_goToChoices.push_back({SGoToChoice::EKind::Global, 0, global->GetName()});
    }
    m_goToPalette->Open(std::move(entries));
}

void CMainFrame::GoTo(int entry)
{
    const SGoToChoice choice = m_goToChoices.at(static_cast<std::size_t>(entry));
    CCategorySystem& categories = m_document.GetCategorySystem();
    switch (choice.kind) {
    case SGoToChoice::EKind::Trigger:
        if (categories.FindCategoryOfTrigger(choice.id) == nullptr) {
            UserPrompts().Beep();
            return;
        }
        SelectTriggerById(choice.id);
        m_document.UpdateAllViews();
        m_categories->setFocus(Qt::OtherFocusReason);
        break;
    case SGoToChoice::EKind::Category:
        if (const QModelIndex index = m_categories->IndexOf(categories.FindCategory(choice.name)); index.isValid()) {
            m_categories->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                       QItemSelectionModel::Rows);
            m_categories->setFocus(Qt::OtherFocusReason);
        } else {
            UserPrompts().Beep();
        }
        break;
    case SGoToChoice::EKind::Global: OnEditVariables(ECommand::EditGlobals, choice.name); break;
    }
}

} // namespace bram::gui
