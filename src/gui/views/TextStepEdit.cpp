#include "gui/views/TextStepEdit.h"

#include "gui/common/UserPrompts.h"

#include "document/ApplicationDocument.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextCursor>

#include <algorithm>
#include <memory>

namespace bram::gui {

namespace {

bool IsHistoryKey(const QKeyEvent* key)
{
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
           key->keyCombination() == QKeyCombination(Qt::CTRL | Qt::Key_Y);
}

// A key that puts its text into the box (a letter, a digit, a tab), not a
// command or a bare modifier.
bool TypesText(const QKeyEvent* key)
{
    const QString text = key->text();
    return !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == QLatin1Char('\t'));
}

} // namespace

CTextStepEdit::CTextStepEdit(CApplicationDocument& document, ETextField field, int maxLength, QWidget* parent)
    : QPlainTextEdit(parent), m_document(document), m_field(field), m_maxLength(maxLength)
{
    // The document's history is the only undo.
    setUndoRedoEnabled(false);
    connect(this, &QPlainTextEdit::textChanged, this, &CTextStepEdit::OnTextChanged);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CTextStepEdit::OnCaretMoved);
    connect(this, &QPlainTextEdit::selectionChanged, this, &CTextStepEdit::OnCaretMoved);
}

void CTextStepEdit::Load()
{
    const QString text = ToQ(GetFieldText(m_document, m_field));
    if (toPlainText() != text) {
        m_loading = true;
        setPlainText(text);
        m_loading = false;
    }
    m_kind.clear();
    m_typingRun = false;
    m_newStep = false;
    m_lastCaret = textCursor().position();
}

void CTextStepEdit::StartStep(const char* kind)
{
    m_kind = kind;
    m_typingRun = false;
}

bool CTextStepEdit::event(QEvent* event)
{
    // Undo and redo keys go to the window's commands, not to the text control.
    if (event->type() == QEvent::ShortcutOverride && IsHistoryKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void CTextStepEdit::keyPressEvent(QKeyEvent* event)
{
    if (IsHistoryKey(event)) {
        event->ignore();
        return;
    }
    const int key = event->key();
    if (event->matches(QKeySequence::Paste)) {
        StartStep("Paste");
    } else if (event->matches(QKeySequence::Cut)) {
        StartStep("Cut");
    } else if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        StartStep("Delete");
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        StartStep("Return");
    } else if (TypesText(event)) {
        m_newStep = !m_typingRun || textCursor().hasSelection();
        m_typingRun = true;
        m_kind = "Input";
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CTextStepEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // A composed character is typed like a key.
    if (!event->commitString().isEmpty()) {
        m_newStep = !m_typingRun || textCursor().hasSelection();
        m_typingRun = true;
        m_kind = "Input";
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void CTextStepEdit::focusInEvent(QFocusEvent* event)
{
    m_typingRun = false;
    m_lastCaret = textCursor().position();
    QPlainTextEdit::focusInEvent(event);
}

void CTextStepEdit::focusOutEvent(QFocusEvent* event)
{
    m_newStep = false;
    QPlainTextEdit::focusOutEvent(event);
}

void CTextStepEdit::insertFromMimeData(const QMimeData* source)
{
    // Paste and drop both arrive here.
    StartStep("Paste");
    QPlainTextEdit::insertFromMimeData(source);
}

void CTextStepEdit::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
            // The box keeps no undo of its own; the Edit menu undoes the document.
            action->setVisible(false);
        } else if (name == QLatin1String("edit-cut") || name == QLatin1String("edit-delete")) {
            const bool cut = name == QLatin1String("edit-cut");
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this, cut] {
                if (cut) {
                    CutSelection();
                } else {
                    StartStep("Delete");
                    textCursor().removeSelectedText();
                }
            });
        }
    }
    menu->exec(event->globalPos());
}

void CTextStepEdit::CutSelection()
{
    StartStep("Cut");
    cut();
}

void CTextStepEdit::OnCaretMoved()
{
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        m_lastCaret = cursor.selectionStart();
        m_typingRun = false;
        return;
    }
    // Typing moves the caret one place on; anything else ends the run. The
    // caret and selection signals may both report the same move.
    const int caret = cursor.position();
    if (caret != m_lastCaret && caret != m_lastCaret + 1) {
        m_typingRun = false;
    }
    m_lastCaret = caret;
}

bool CTextStepEdit::TrimToLimit()
{
    const int excess = document()->characterCount() - 1 - m_maxLength;
    if (excess <= 0) {
        return false;
    }
    // What was just typed or pasted ends at the caret.
    QTextCursor cursor = textCursor();
    int end = cursor.position();
    if (end < excess) {
        end = document()->characterCount() - 1;
    }
    cursor.setPosition(end - excess);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    m_loading = true;
    cursor.removeSelectedText();
    m_loading = false;
    setTextCursor(cursor);
    UserPrompts().Beep();
    return true;
}

void CTextStepEdit::OnTextChanged()
{
    if (m_loading || !HasTextField(m_document, m_field)) {
        return;
    }
    TrimToLimit();
    std::string text = toPlainText().toStdString();
    const bool join = m_typingRun && !m_newStep;
    if (text != GetFieldText(m_document, m_field)) {
        if (!join) {
            m_newStep = false;
        }
        const std::size_t steps = m_document.GetUndoCount();
        // An empty kind joins the change to the step before it (a drop's second half).
        SetFieldText(m_document, m_field, std::move(text), join ? std::string_view() : std::string_view(m_kind));
        if (m_document.GetUndoCount() != steps) {
            emit StepRecorded();
        }
    }
    m_kind.clear();
}

} // namespace bram::gui
