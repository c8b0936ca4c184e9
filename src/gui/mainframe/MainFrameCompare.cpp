// File > Compare with...: the changes from another data file, or from the
// saved version of the document, to the open document in a dock.

#include "gui/mainframe/MainFrame.h"

#include "gui/common/UserPrompts.h"
#include "gui/views/ChangesView.h"

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentDiff.h"
#include "document/DocumentEdits.h"
#include "document/Outline.h"

#include <QDockWidget>

namespace bram::gui {

void CMainFrame::OnCompareWith(bool saved)
{
    EndEditing();
    if (saved) {
        CompareWith({});
        return;
    }
    if (const std::optional<QString> path = UserPrompts().GetOpenFileName(this, m_template.Filter())) {
        CompareWith(*path);
    }
}

bool CMainFrame::CompareWith(const QString& path)
{
    const QString file = path.isEmpty() ? ToQ(m_document.GetPathName()) : path;
    if (file.isEmpty()) {
        UserPrompts().Beep();
        return false;
    }
    // The other file is read into a document of its own, as the editor reads any file.
    CApplicationDocument other;
    other.NewDocument();
    std::string error;
    if (!other.OpenDocument(file.toStdString(), &error)) {
        ShowFailure("MainFrame/LoadingFailed", true, file, error);
        return false;
    }
    std::vector<SDocumentChange> changes = DiffOutlines(MakeOutline(other), MakeOutline(m_document));
    other.DeleteContents();
    const bool none = changes.empty();
    m_changesView->SetChanges(std::move(changes));
    m_changesDock->show();
    m_changesDock->raise();
    if (none) {
        ShowStatus(Localized("MainFrame/Status/NoChanges"));
    } else {
        m_changesView->setFocus();
    }
    return true;
}

void CMainFrame::GoToChange(const SDocumentChange& change)
{
    const bool aboutTrigger =
        change.subject == EChangeSubject::Trigger || change.subject == EChangeSubject::TriggerContent;
    const CTriggerEntry* entry = aboutTrigger ? m_document.GetCategorySystem().FindTrigger(change.name).entry : nullptr;
    // A removed trigger, or one renamed since the comparison.
    if (entry == nullptr || m_document.GetState() == nullptr) {
        UserPrompts().Beep();
        return;
    }
    SelectTrigger(m_document, entry);
    CCodeTrigger* trigger = m_document.GetState()->GetCurrentTrigger();
    if (trigger != nullptr && !change.path.empty()) {
        if (CCodeBase* node = trigger->GetNodeFromPath(change.path)) {
            trigger->SetCurrentNode(node);
        }
    }
    m_document.UpdateAllViews();
}

} // namespace bram::gui
