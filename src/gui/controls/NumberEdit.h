#pragma once
// A line edit that only ever holds a valid number within its range, shown
// with a fixed number of decimals and a configurable separator. Keys that
// would break that are refused with a beep; pasting and other edits that do
// not come from keys are checked the same way. Insert toggles overwrite mode.
// CNumberSpinBox puts it in a spin box whose arrows (and the Up and Down
// keys) step it.

#include <QAbstractSpinBox>
#include <QLineEdit>

namespace bram::gui {

class CNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CNumberEdit(QWidget* parent = nullptr);

    // The shown text with the separator read as a point.
    double GetValue() const;
    // Only a value within the range is taken; it is shown with exactly the
    // set number of decimals.
    void SetValue(double value);
    // The text with a point as separator, for storing.
    QString GetStoredText() const;

    // A value outside the new range is brought into it.
    void SetRange(double minimum, double maximum);
    double GetMinimum() const { return m_minimum; }
    double GetMaximum() const { return m_maximum; }
    void SetDecimals(unsigned decimals);
    unsigned GetDecimals() const { return m_decimals; }
    void SetSeparator(QChar separator);
    QChar GetSeparator() const { return m_separator; }
    bool IsOverwriteMode() const { return m_overwrite; }

    // Adds steps (negative to go down), stopping at the range's ends.
    void StepBy(int steps);

    // Whether a text has the form of a number: an optional sign first, then
    // digits with at most one separator.
    bool IsValidText(const QString& text) const;
    // The number of such a text; 0 for a text without digits.
    double ValueOf(const QString& text) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QString Format(double value) const;
    bool InRange(double value) const { return value >= m_minimum && value <= m_maximum; }
    // Shows the text when it is a number within the range; otherwise beeps
    // and keeps the text. normalize: bring it to the normal form, keeping the
    // caret at the same place relative to the separator.
    bool Apply(const QString& text, int caret, bool normalize);
    void Normalize();
    void Reject();
    void DeleteAtCaret(bool before);
    void TypeSign(QChar sign);
    void TypeSeparator();
    void TypeDigit(QChar digit);

    QChar m_separator = QLatin1Char('.');
    double m_minimum;
    double m_maximum;
    unsigned m_decimals = 4;
    bool m_overwrite = false;
};

class CNumberSpinBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CNumberSpinBox(QWidget* parent = nullptr);
    CNumberEdit* Edit() const { return m_edit; }
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    // The spin box keeps key releases to itself; Delete's release matters to the edit.
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    CNumberEdit* m_edit;
};

} // namespace bram::gui
