// The Edit menu's cut, copy and paste: a text box or line (the find bar's,
// a label being renamed) takes them as text; the
// categories and the instruction tree take them on their selection.

#include "gui/mainframe/MainFrame.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/TextStepEdit.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace bram::gui {

namespace {

// The focused view's action for the command.
QString ActionName(CMainFrame::EClipboardCommand command)
{
    switch (command) {
    case CMainFrame::EClipboardCommand::Cut: return QStringLiteral("Cut");
    case CMainFrame::EClipboardCommand::Copy: return QStringLiteral("Copy");
    case CMainFrame::EClipboardCommand::Paste: return QStringLiteral("Paste");
    }
    return {};
}

} // namespace

const CActionTable* CMainFrame::FocusedViewActions() const
{
    if (m_lastFocus == m_categories) {
        return &m_categories->Actions();
    }
    if (m_lastFocus == m_instructions->Tree()) {
        return &m_instructions->Actions();
    }
    return nullptr;
}

bool CMainFrame::ClipboardTarget(EClipboardCommand command) const
{
    // A text box's selection changes as the user works; its commands are
    // offered while it can be edited (copy always) and do nothing without one.
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(m_lastFocus.data())) {
        return command == EClipboardCommand::Copy || (!text->isReadOnly() && text->isEnabled());
    }
    if (const auto* line = qobject_cast<const QLineEdit*>(m_lastFocus.data())) {
        return command == EClipboardCommand::Copy || (!line->isReadOnly() && line->isEnabled());
    }
    const CActionTable* actions = FocusedViewActions();
    if (actions == nullptr) {
        return false;
    }
    actions->Update();
    return actions->Find(ActionName(command))->isEnabled();
}

void CMainFrame::OnEditClipboard(EClipboardCommand command)
{
    if (!ClipboardTarget(command)) {
        UserPrompts().Beep();
        return;
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(m_lastFocus.data())) {
        if (command == EClipboardCommand::Copy) {
            text->copy();
        } else if (command == EClipboardCommand::Paste) {
            text->paste();
        } else if (auto* box = qobject_cast<CTextStepEdit*>(text)) {
            box->CutSelection();
        } else {
            text->cut();
        }
    } else if (auto* line = qobject_cast<QLineEdit*>(m_lastFocus.data())) {
        if (command == EClipboardCommand::Copy) {
            line->copy();
        } else if (command == EClipboardCommand::Paste) {
            line->paste();
        } else {
            line->cut();
        }
    } else {
        FocusedViewActions()->Find(ActionName(command))->trigger();
    }
    UpdateCommandUI();
}

} // namespace bram::gui
