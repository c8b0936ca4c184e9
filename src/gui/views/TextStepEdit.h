#pragma once
// The text box of the comment view and of the instruction view: it edits one
// text field of the document and turns the user's editing into undo steps.
//
// Steps: a run of typing at consecutive places is one "Input" step that
// starts with its first key; each Backspace or Delete ("Delete"), Return
// ("Return"), cut ("Cut") and paste or drop ("Paste") is a step of its own;
// typing over a selection, after moving the caret or after regaining the
// focus starts a new step. Keys that type nothing (modifiers, arrows) change
// no step, so a lone Shift never joins the next letter to an older step.
// Loading the model's text records nothing.
//
// The box has no undo of its own: Ctrl+Z and the redo keys reach the main
// frame's commands, which undo the document's steps.

#include "document/DocumentEdits.h"

#include <QPlainTextEdit>

#include <string>

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CTextStepEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CTextStepEdit(CApplicationDocument& document, ETextField field, int maxLength, QWidget* parent = nullptr);

    // Shows the field's text as the model holds it (the caret stays when the
    // text is the same) and ends any typing run. Records nothing.
    void Load();
    int MaxLength() const { return m_maxLength; }
    // The Edit menu's cut: a "Cut" step, as the keys and the box's menu make.
    void CutSelection();

signals:
    // A change of the text recorded a new history step (not one that joined a typing run).
    void StepRecorded();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Ends the typing run; the next change records a step of this kind.
    void StartStep(const char* kind);
    void OnCaretMoved();
    void OnTextChanged();
    // Takes back what goes beyond the limit at the caret; false when nothing did.
    bool TrimToLimit();

    CApplicationDocument& m_document;
    ETextField m_field;
    int m_maxLength;
    std::string m_kind;
    bool m_typingRun = false;
    bool m_newStep = false;
    int m_lastCaret = -1;
    bool m_loading = false;
};

} // namespace bram::gui
