#include "gui/views/CommentView.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/views/TextStepEdit.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace bram::gui {

CCommentView::CCommentView(CApplicationDocument& document, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_enabled(new QCheckBox(Localized("CommentView/EnableCheckBoxText"), this)),
      m_enabledAtBeginning(new QCheckBox(Localized("CommentView/EnableAtBeginningCheckBoxText"), this)),
      m_description(new QLabel(this)),
      m_text(new CTextStepEdit(document, ETextField::Comment, kMaxTextLength, this))
{
    setObjectName(QStringLiteral("CommentView"));
    m_enabled->setObjectName(ControlName(EControl::CommentEnabled));
    m_enabledAtBeginning->setObjectName(ControlName(EControl::CommentEnabledAtBeginning));
    m_text->setObjectName(ControlName(EControl::CommentText));
    for (QCheckBox* box : {m_enabled, m_enabledAtBeginning}) {
        box->setAccessibleName(box->text());
        // The text box stays in place when the boxes are hidden.
        QSizePolicy policy = box->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        box->setSizePolicy(policy);
    }
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Comments seldom need tabs; Tab moves on to the next control.
    m_text->setTabChangesFocus(true);
    m_description->setBuddy(m_text);
    setFocusProxy(m_text);

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_enabled);
    boxes->addWidget(m_enabledAtBeginning);
    boxes->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addWidget(m_description);
    layout->addWidget(m_text, 1);

    // The state change, not the click: keys and accessibility tools toggle the boxes too.
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool checked) { OnFlagToggled(false, checked); });
    connect(m_enabledAtBeginning, &QCheckBox::toggled, this, [this](bool checked) { OnFlagToggled(true, checked); });
    // The Edit menu names the new step, and the views show the change.
    connect(m_text, &CTextStepEdit::StepRecorded, this, [this] { m_document.UpdateAllViews(this); });
    m_listener = m_document.AddChangeListener(this, [this](const CChangeReport& report) {
        // Only the current trigger's texts and flags, or the preamble, show here.
        const CState* state = m_document.GetState();
        const int current = state != nullptr ? state->GetCurrentTriggerId() : -1;
        const auto id = static_cast<std::uint32_t>(std::max(current, 0));
        if (report.Covers(EChangeKind::Selection) || report.Has({EChangeKind::Text, nullptr, id}) ||
            report.Has({EChangeKind::TriggerFlags, nullptr, id})) {
            OnUpdate();
        }
    });
    OnUpdate();
}

CCommentView::~CCommentView() { m_document.RemoveUpdateListener(m_listener); }

void CCommentView::OnUpdate()
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    m_description->setText(
        Localized(trigger != nullptr ? "CommentView/TriggerCommentDescription" : "CommentView/PreambleDescription"));
    m_text->setAccessibleName(m_description->text());
    m_text->setEnabled(state != nullptr);
    m_text->Load();
    m_enabled->setVisible(trigger != nullptr);
    m_enabledAtBeginning->setVisible(trigger != nullptr);
    if (trigger != nullptr) {
        // Showing the model is no edit of it.
        const QSignalBlocker blockEnabled(m_enabled);
        const QSignalBlocker blockAtBeginning(m_enabledAtBeginning);
        m_enabled->setChecked(trigger->IsEnabled());
        m_enabledAtBeginning->setChecked(trigger->IsEnabledAtBeginning());
    }
}

void CCommentView::OnFlagToggled(bool atBeginning, bool checked)
{
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    if (trigger != nullptr) {
        const std::uint32_t id = trigger->GetId();
        const bool changed = atBeginning ? SetTriggerEnabledAtBeginning(m_document, id, checked)
                                         : SetTriggerEnabled(m_document, id, checked);
        if (changed) {
            // The categories view greys a disabled trigger.
            m_document.UpdateAllViews(this);
        }
    }
    // The boxes show the model, not their own idea of the click.
    OnUpdate();
}

} // namespace bram::gui
