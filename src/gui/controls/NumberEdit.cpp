#include "gui/controls/NumberEdit.h"

#include "gui/common/UserPrompts.h"

#include "log/Assertion.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace bram::gui {

namespace {

// Edits that do not come from keys (paste, cut, undo, drops) keep the rules too.
class CNumberValidator : public QValidator {
public:
    explicit CNumberValidator(CNumberEdit* edit) : QValidator(edit), m_edit(edit) {}
    State validate(QString& input, int&) const override
    {
        if (!m_edit->IsValidText(input)) {
            return Invalid;
        }
        const double value = m_edit->ValueOf(input);
        return value >= m_edit->GetMinimum() && value <= m_edit->GetMaximum() ? Acceptable : Invalid;
    }

private:
    CNumberEdit* m_edit;
};

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool IsSign(QChar c) { return c == QLatin1Char('-') || c == QLatin1Char('+'); }

} // namespace

CNumberEdit::CNumberEdit(QWidget* parent)
    : QLineEdit(parent), m_minimum(std::numeric_limits<double>::lowest()), m_maximum(std::numeric_limits<double>::max())
{
    setValidator(new CNumberValidator(this));
    setText(QStringLiteral("0"));
}

bool CNumberEdit::IsValidText(const QString& text) const
{
    int separators = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == m_separator) {
            ++separators;
        } else if (!IsAsciiDigit(c) && !(i == 0 && IsSign(c))) {
            return false;
        }
    }
    return separators <= 1;
}

double CNumberEdit::ValueOf(const QString& text) const
{
    BRAMBLETON_ASSERT(IsValidText(text));
    // Built in the C form, so neither the separator setting nor the system
    // locale changes how it is read.
    QString whole;
    QString fraction;
    bool negative = false;
    bool inFraction = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i == 0 && IsSign(c)) {
            negative = c == QLatin1Char('-');
        } else if (c == m_separator) {
            inFraction = true;
        } else if (IsAsciiDigit(c)) {
            (inFraction ? fraction : whole) += c;
        }
    }
    const QString number = QStringLiteral("%1%2.%3").arg(negative ? QStringLiteral("-") : QString(),
                                                         whole.isEmpty() ? QStringLiteral("0") : whole,
                                                         fraction.isEmpty() ? QStringLiteral("0") : fraction);
    return QLocale::c().toDouble(number);
}

double CNumberEdit::GetValue() const { return ValueOf(text()); }

QString CNumberEdit::GetStoredText() const
{
    QString stored = text();
    stored.replace(m_separator, QLatin1Char('.'));
    return stored;
}

QString CNumberEdit::Format(double value) const
{
    QString text = QString::number(value, 'f', static_cast<int>(m_decimals));
    // A value that rounds to zero carries no sign.
    if (text.startsWith(QLatin1Char('-')) &&
        std::all_of(text.begin() + 1, text.end(), [](QChar c) { return c == QLatin1Char('0') || !IsAsciiDigit(c); })) {
        text.remove(0, 1);
    }
    text.replace(QLatin1Char('.'), m_separator);
    return text;
}

void CNumberEdit::SetValue(double value)
{
    if (InRange(value)) {
        setText(Format(value));
    }
}

void CNumberEdit::SetRange(double minimum, double maximum)
{
    BRAMBLETON_ASSERT(minimum <= maximum);
    if (!(minimum <= maximum)) {
        return;
    }
    m_minimum = minimum;
    m_maximum = maximum;
    const double value = GetValue();
    if (!InRange(value)) {
        SetValue(std::clamp(value, minimum, maximum));
    }
}

void CNumberEdit::SetDecimals(unsigned decimals)
{
    const double value = GetValue();
    m_decimals = decimals;
    SetValue(value);
}

void CNumberEdit::SetSeparator(QChar separator)
{
    QString shown = text();
    shown.replace(m_separator, separator);
    m_separator = separator;
    setText(shown);
}

void CNumberEdit::StepBy(int steps) { SetValue(std::clamp(GetValue() + steps, m_minimum, m_maximum)); }

void CNumberEdit::Reject() { UserPrompts().Beep(); }

bool CNumberEdit::Apply(const QString& text, int caret, bool normalize)
{
    const qsizetype separator = text.indexOf(m_separator);
    const bool tooManyDecimals = separator >= 0 && text.size() - separator - 1 > static_cast<qsizetype>(m_decimals);
    if (!IsValidText(text) || !InRange(ValueOf(text)) || (tooManyDecimals && !normalize)) {
        Reject();
        return false;
    }
    QString shown = text;
    if (normalize) {
        // The caret keeps its place relative to the separator (or the end).
        const qsizetype anchor = separator >= 0 ? separator : text.size();
        shown = Format(ValueOf(text));
        const qsizetype newAnchor = shown.contains(m_separator) ? shown.indexOf(m_separator) : shown.size();
        caret = static_cast<int>(std::clamp<qsizetype>(newAnchor + (caret - anchor), 0, shown.size()));
    }
    setText(shown);
    setCursorPosition(caret);
    return true;
}

void CNumberEdit::Normalize() { Apply(text(), cursorPosition(), true); }

void CNumberEdit::DeleteAtCaret(bool before)
{
    QString edited = text();
    int caret = cursorPosition();
    if (hasSelectedText()) {
        caret = selectionStart();
        edited.remove(caret, selectedText().size());
    } else if (before && caret > 0) {
        edited.remove(--caret, 1);
    } else if (!before && caret < edited.size()) {
        edited.remove(caret, 1);
    } else {
        return;
    }
    // Refused when what is left is out of range (the control never holds such a number).
    Apply(edited, caret, false);
}

void CNumberEdit::TypeSign(QChar sign)
{
    const QString shown = text();
    const QString digits = !shown.isEmpty() && IsSign(shown[0]) ? shown.mid(1) : shown;
    const double magnitude = std::fabs(GetValue());
    QString signedText = digits;
    if (sign == QLatin1Char('-')) {
        // Nothing negative fits a range from zero up; zero itself stays without a sign.
        if (-magnitude < m_minimum || (magnitude == 0 && m_minimum >= 0)) {
            Reject();
            return;
        }
        if (magnitude != 0) {
            signedText.prepend(QLatin1Char('-'));
        }
    } else if (magnitude > m_maximum) {
        Reject();
        return;
    }
    const int caret = std::max(0, cursorPosition() + static_cast<int>(signedText.size() - shown.size()));
    setText(signedText);
    setCursorPosition(caret);
}

void CNumberEdit::TypeSeparator()
{
    if (m_decimals == 0) {
        Reject();
        return;
    }
    QString edited = text();
    int caret = cursorPosition();
    if (hasSelectedText()) {
        caret = selectionStart();
        edited.remove(caret, selectedText().size());
    }
    if (const qsizetype old = edited.indexOf(m_separator); old >= 0) {
        edited.remove(old, 1);
        caret -= old < caret ? 1 : 0;
    }
    if (caret == 0 && !edited.isEmpty() && IsSign(edited[0])) {
        caret = 1;
    }
    edited.insert(caret, m_separator);
    Apply(edited, caret + 1, true);
}

void CNumberEdit::TypeDigit(QChar digit)
{
    QString edited = text();
    int caret = cursorPosition();
    if (hasSelectedText()) {
        caret = selectionStart();
        edited.remove(caret, selectedText().size());
    }
    if (caret == 0 && !edited.isEmpty() && IsSign(edited[0])) {
        caret = 1;
    }
    if (m_overwrite && !hasSelectedText()) {
        // Overwriting steps over the separator, so the number keeps its magnitude.
        if (caret < edited.size() && edited[caret] == m_separator) {
            ++caret;
        }
        if (caret < edited.size()) {
            edited.remove(caret, 1);
        }
    }
    edited.insert(caret, digit);
    Apply(edited, caret + 1, !m_overwrite);
}

void CNumberEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Backspace: DeleteAtCaret(true); return;
        case Qt::Key_Delete: DeleteAtCaret(false); return;
        case Qt::Key_Insert: m_overwrite = !m_overwrite; return;
        default: break;
        }
    }
    const QString typed = event->text();
    if (modifiers != Qt::NoModifier || typed.size() != 1 || !typed[0].isPrint()) {
        // Moving the caret, shortcuts, Return and Tab; edits among them go through the validator.
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed[0];
    if (IsSign(c)) {
        TypeSign(c);
    } else if (c == m_separator) {
        TypeSeparator();
    } else if (IsAsciiDigit(c)) {
        TypeDigit(c);
    } else {
        Reject();
    }
}

void CNumberEdit::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && !event->isAutoRepeat()) {
        Normalize();
    }
    QLineEdit::keyReleaseEvent(event);
}

// ---- CNumberSpinBox -----------------------------------------------------------

CNumberSpinBox::CNumberSpinBox(QWidget* parent) : QAbstractSpinBox(parent), m_edit(new CNumberEdit(this))
{
    setLineEdit(m_edit);
    // Room for about a dozen digits whatever the value shown.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")));
}

void CNumberSpinBox::stepBy(int steps)
{
    m_edit->StepBy(steps);
    update();
}

QAbstractSpinBox::StepEnabled CNumberSpinBox::stepEnabled() const
{
    if (isReadOnly() || !isEnabled()) {
        return StepNone;
    }
    const double value = m_edit->GetValue();
    StepEnabled enabled = StepNone;
    if (value < m_edit->GetMaximum()) {
        enabled |= StepUpEnabled;
    }
    if (value > m_edit->GetMinimum()) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

void CNumberSpinBox::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        QCoreApplication::sendEvent(m_edit, event);
    }
    QAbstractSpinBox::keyReleaseEvent(event);
}

} // namespace bram::gui
