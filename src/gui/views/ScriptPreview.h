#pragma once
// The script preview: the generated text of the current trigger (or of the
// whole script without one), read-only, refreshed whenever the document
// changes, coloured by the words of the loaded language.

#include "document/ScriptPreview.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CScriptHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit CScriptHighlighter(QTextDocument* document);
    void SetWords(const SHighlightWords& words);

    enum class EKind { Comment, String, Number, Name };
    const QTextCharFormat& Format(EKind kind) const { return m_formats[static_cast<int>(kind)]; }

protected:
    void highlightBlock(const QString& text) override;

private:
    QString m_commentPrefix;
    std::vector<std::pair<QString, QString>> m_stringMarks;
    QRegularExpression m_names;
    QTextCharFormat m_formats[4];
};

class CScriptPreview : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CScriptPreview(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CScriptPreview() override;

    // Regenerates the text when it changed; keeps the scroll position. While
    // hidden it only notes that the text is stale.
    void Refresh();
    CScriptHighlighter& Highlighter() { return *m_highlighter; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ReplaceChanged(const QString& text);
    // Marks the lines the current instruction wrote and scrolls to them.
    void MarkCurrentInstruction();

    CApplicationDocument& m_document;
    CScriptHighlighter* m_highlighter;
    SHighlightWords m_words;
    // Where each line of the shown text came from, from the same generation.
    CScriptLineMap m_lines;
    bool m_stale = true;
    int m_listener = 0;
};

} // namespace bram::gui
