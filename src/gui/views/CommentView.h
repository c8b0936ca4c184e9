#pragma once
// The comment pane: with a current trigger it edits that trigger's comment
// and shows two check boxes for its enabled and enabled-at-beginning flags;
// without one it edits the document's preamble, which the script begins
// with. Typing becomes undo steps by the rules of CTextStepEdit; each change
// of a check box (click, key or accessibility action) is one step.

#include <QWidget>

class QCheckBox;
class QLabel;

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CTextStepEdit;

class CCommentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 131072;

    explicit CCommentView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CCommentView() override;

    // Shows the state as it is now. Records nothing.
    void OnUpdate();

    QCheckBox* EnabledBox() const { return m_enabled; }
    QCheckBox* EnabledAtBeginningBox() const { return m_enabledAtBeginning; }
    QLabel* Description() const { return m_description; }
    CTextStepEdit* TextBox() const { return m_text; }

private:
    void OnFlagToggled(bool atBeginning, bool checked);

    CApplicationDocument& m_document;
    QCheckBox* m_enabled;
    QCheckBox* m_enabledAtBeginning;
    QLabel* m_description;
    CTextStepEdit* m_text;
    int m_listener = 0;
};

} // namespace bram::gui
