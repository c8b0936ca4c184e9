#include "gui/views/ScriptPreview.h"

#include "gui/common/UserPrompts.h"

#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "localization/Localization.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QScrollBar>

namespace bram::gui {

CScriptHighlighter::CScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document)
{
    m_formats[static_cast<int>(EKind::Comment)].setForeground(QColor(0x6a, 0x73, 0x7d));
    m_formats[static_cast<int>(EKind::Comment)].setFontItalic(true);
    m_formats[static_cast<int>(EKind::String)].setForeground(QColor(0x0a, 0x7d, 0x2c));
    m_formats[static_cast<int>(EKind::Number)].setForeground(QColor(0x00, 0x5c, 0xc5));
    m_formats[static_cast<int>(EKind::Name)].setForeground(QColor(0x8a, 0x3f, 0xb8));
    m_formats[static_cast<int>(EKind::Name)].setFontWeight(QFont::Bold);
}

void CScriptHighlighter::SetWords(const SHighlightWords& words)
{
    m_commentPrefix = ToQ(words.commentPrefix);
    m_stringMarks.clear();
    for (const auto& [open, close] : words.stringMarks) {
        m_stringMarks.emplace_back(ToQ(open), ToQ(close));
    }
    QStringList names;
    for (const std::string& name : words.names) {
        names << QRegularExpression::escape(ToQ(name));
    }
    m_names = names.isEmpty()
                  ? QRegularExpression()
                  : QRegularExpression(QStringLiteral("\\b(") + names.join(QLatin1Char('|')) + QStringLiteral(")\\b"));
    rehighlight();
}

void CScriptHighlighter::highlightBlock(const QString& text)
{
    if (!m_commentPrefix.isEmpty() && text.trimmed().startsWith(m_commentPrefix)) {
        setFormat(0, static_cast<int>(text.size()), Format(EKind::Comment));
        return;
    }
    static const QRegularExpression number(QStringLiteral("\\b\\d+(\\.\\d+)?\\b"));
    for (auto it = number.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), Format(EKind::Number));
    }
    if (m_names.isValid() && !m_names.pattern().isEmpty()) {
        for (auto it = m_names.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), Format(EKind::Name));
        }
    }
    // Literals last: a number or a name inside one is part of the text.
    for (const auto& [open, close] : m_stringMarks) {
        qsizetype from = text.indexOf(open);
        while (from >= 0) {
            qsizetype end = from + open.size();
            while ((end = text.indexOf(close, end)) >= 0 && end > 0 && text[end - 1] == QLatin1Char('\\')) {
                end += close.size();
            }
            const qsizetype stop = end < 0 ? text.size() : end + close.size();
            setFormat(static_cast<int>(from), static_cast<int>(stop - from), Format(EKind::String));
            from = end < 0 ? -1 : text.indexOf(open, stop);
        }
    }
}

CScriptPreview::CScriptPreview(CApplicationDocument& document, QWidget* parent)
    : QPlainTextEdit(parent), m_document(document), m_highlighter(new CScriptHighlighter(this->document()))
{
    setObjectName(QStringLiteral("ScriptPreview"));
    setAccessibleName(ToQ(GetLocalizedString("MainFrame/Preview")));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_listener = m_document.AddChangeListener(this, [this](const CChangeReport& report) {
        // Selecting changes no line of the script, only the one marked.
        if (!m_stale && report.IsSelectionOnly()) {
            MarkCurrentInstruction();
        } else {
            Refresh();
        }
    });
    Refresh();
}

CScriptPreview::~CScriptPreview() { m_document.RemoveUpdateListener(m_listener); }

void CScriptPreview::showEvent(QShowEvent* event)
{
    QPlainTextEdit::showEvent(event);
    if (m_stale) {
        Refresh();
    }
}

void CScriptPreview::Refresh()
{
    // A hidden preview waits: the whole script of a large document costs.
    m_stale = !isVisible();
    if (m_stale) {
        return;
    }
    SPreview preview = PreviewScript(m_document);
    const QString text = ToQ(preview.text);
    m_lines = std::move(preview.lines);
    if (m_document.GetState() != nullptr) {
        // Recolouring a long script costs: only when the words changed.
        if (SHighlightWords words = HighlightWords(*m_document.GetState()); words != m_words) {
            m_words = std::move(words);
            m_highlighter->SetWords(m_words);
        }
    }
    ReplaceChanged(text);
    MarkCurrentInstruction();
}

void CScriptPreview::ReplaceChanged(const QString& text)
{
    // Only the stretch between the common start and end is replaced, so the
    // highlighter and the layout redo those lines alone: an edit of a long
    // script costs its generation, not a new document.
    const QString old = toPlainText();
    if (text == old) {
        return;
    }
    const qsizetype shorter = std::min(old.size(), text.size());
    qsizetype prefix = 0;
    while (prefix < shorter && old[prefix] == text[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix]) {
        ++suffix;
    }
    const int scroll = verticalScrollBar()->value();
    QTextCursor cursor(document());
    cursor.setPosition(static_cast<int>(prefix));
    cursor.setPosition(static_cast<int>(old.size() - suffix), QTextCursor::KeepAnchor);
    cursor.insertText(text.mid(prefix, text.size() - suffix - prefix));
    verticalScrollBar()->setValue(scroll);
}

void CScriptPreview::MarkCurrentInstruction()
{
    QList<QTextEdit::ExtraSelection> marks;
    const CState* state = m_document.GetState();
    const CCodeTrigger* trigger = state != nullptr ? state->GetCurrentTrigger() : nullptr;
    const CCodeBase* node = trigger != nullptr ? trigger->GetCurrentNode() : nullptr;
    if (node != nullptr && !trigger->IsRootBlock(node) && node->GetCodeType() != CodeTypeBlock) {
        const auto [first, count] = PreviewLinesOf(m_lines, *trigger, *node);
        if (count > 0) {
            QTextCursor cursor(document()->findBlockByNumber(static_cast<int>(first)));
            cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, static_cast<int>(count) - 1);
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            QTextEdit::ExtraSelection mark;
            mark.cursor = cursor;
            mark.format.setBackground(palette().color(QPalette::Highlight).lighter(170));
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks << mark;
            QTextCursor visible(document()->findBlockByNumber(static_cast<int>(first)));
            setTextCursor(visible);
            ensureCursorVisible();
        }
    }
    setExtraSelections(marks);
}

} // namespace bram::gui
