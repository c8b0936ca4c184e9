// The main window's find bar: finding text, listing the usages of a
// variable, and going to a result.

#include "gui/mainframe/MainFrame.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/CommentView.h"
#include "gui/views/FindView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/TextStepEdit.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"

#include <QApplication>
#include <QDockWidget>
#include <QTextCursor>
#include <QTreeWidget>

#include <algorithm>

namespace bram::gui {

namespace {

// A place in the model's text (UTF-8 bytes) as a place in the text box (UTF-16 units).
int BoxPosition(const std::string& text, std::size_t offset)
{
    return static_cast<int>(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(std::min(offset, text.size()))).size());
}

// Selects the matched text and gives the box the focus.
void SelectInBox(CTextStepEdit* box, const std::string& text, std::size_t offset, std::size_t length)
{
    const int end = static_cast<int>(box->document()->characterCount()) - 1;
    QTextCursor cursor(box->document());
    cursor.setPosition(std::clamp(BoxPosition(text, offset), 0, std::max(end, 0)));
    cursor.setPosition(std::clamp(BoxPosition(text, offset + length), 0, std::max(end, 0)), QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
    box->setFocus(Qt::OtherFocusReason);
}

} // namespace

void CMainFrame::BuildFindBar()
{
    m_findView = new CFindView(m_document);
    m_findDock = new QDockWidget(m_actions.Label("Find"), this);
    m_findDock->setObjectName(QStringLiteral("FindDock"));
    m_findDock->setWidget(m_findView);
    addDockWidget(Qt::TopDockWidgetArea, m_findDock);
    m_findDock->hide();
    connect(m_findView, &CFindView::MatchActivated, this, &CMainFrame::GoToMatch);
    connect(m_findView, &CFindView::CloseRequested, this, &CMainFrame::HideFindBar);
    connect(m_instructions, &CInstructionView::FindUsagesRequested, this,
            [this](const CVariableBase* variable) { ShowUsages(*variable); });
}

void CMainFrame::HideFindBar()
{
    m_findDock->hide();
    QWidget* back =
        m_focusBeforeFind != nullptr && m_focusBeforeFind->isVisible() ? m_focusBeforeFind.data() : CategoriesPane();
    back->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ShowFindBar()
{
    // Escape gives the focus back to where the user was.
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && !m_findDock->isAncestorOf(focus)) {
        m_focusBeforeFind = focus;
    }
    m_findDock->show();
    m_findDock->raise();
}

void CMainFrame::OnFind()
{
    ShowFindBar();
    m_findView->StartFind();
}

void CMainFrame::OnFindNext(bool forward)
{
    if (!m_findView->Step(forward)) {
        UserPrompts().Beep();
    }
}

void CMainFrame::ShowUsages(const CVariableBase& variable)
{
    if (!m_findView->ShowUsages(variable)) {
        UserPrompts().Beep();
        return;
    }
    ShowFindBar();
    QTreeWidget* results = m_findView->Results();
    if (results->currentItem() == nullptr && results->topLevelItemCount() > 0) {
        results->setCurrentItem(results->topLevelItem(0));
    }
    results->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ShowUsages(bool local, const std::string& name)
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    const CState::GlobalList* list = nullptr;
    if (local && trigger != nullptr) {
        list = &trigger->GetLocals();
    } else if (!local && state != nullptr) {
        list = &state->GetGlobals();
    }
    for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
        if ((*list)[i]->GetName() == name) {
            ShowUsages(*(*list)[i]);
            return;
        }
    }
    UserPrompts().Beep();
}

void CMainFrame::GoToMatch(const SMatch& match, std::size_t length)
{
    CState* state = m_document.GetState();
    CCodeTrigger* trigger = state != nullptr && match.hasTrigger ? state->FindTrigger(match.triggerId) : nullptr;
    CCodeBase* node = nullptr;
    if (match.where == EMatchPlace::Instruction && trigger != nullptr && !trigger->IsCode()) {
        node = trigger->GetNodeFromPath(match.path);
    }
    // The result may be older than the document: what it named may be gone.
    const bool gone = state == nullptr || (match.hasTrigger && trigger == nullptr) ||
                      (match.where == EMatchPlace::Instruction && node == nullptr) ||
                      (match.where == EMatchPlace::Code && (trigger == nullptr || !trigger->IsCode()));
    if (gone) {
        UserPrompts().Beep();
        return;
    }
    if (trigger != nullptr) {
        SelectTriggerById(trigger->GetId());
        if (state->GetCurrentTrigger() != trigger) { // in no category
            state->SetCurrentTrigger(static_cast<int>(trigger->GetId()));
        }
    } else {
        SelectTrigger(m_document, nullptr);
    }
    if (node != nullptr) {
        trigger->SetCurrentNode(node);
    }
    m_document.UpdateAllViews();
    switch (match.where) {
    case EMatchPlace::Comment:
    case EMatchPlace::Preamble:
        if (auto* comment = qobject_cast<CCommentView*>(CommentPane())) {
            SelectInBox(comment->TextBox(), GetFieldText(m_document, ETextField::Comment), match.offset, length);
        }
        break;
    case EMatchPlace::Code:
    case EMatchPlace::Header:
        SelectInBox(m_instructions->TextBox(), GetFieldText(m_document, ETextField::Code), match.offset, length);
        break;
    case EMatchPlace::TriggerName:
    case EMatchPlace::Instruction: break;
    }
}

} // namespace bram::gui
