#pragma once
// A small search box over a view: a line edit and the list of the entries
// that hold every word typed (ranked by CNameRanking: name start, word start,
// anywhere, description; the entries chosen last come first on ties). The
// arrows move in the list, Enter takes the current row, Escape or the focus
// leaving closes it and nothing happens. The owner fills it on opening and
// acts on the entry chosen.

#include "base/NameRanking.h"

#include <QFrame>
#include <QHash>
#include <QPointer>

#include <functional>
#include <vector>

class QLineEdit;
class QListWidget;

namespace bram::gui {

class CPalette : public QFrame {
    Q_OBJECT
public:
    // Rows shown at most; typing more words narrows the list.
    static constexpr std::size_t kMaxRows = 100;

    struct SEntry {
        QString name;
        // Shown after the name and matched as the description is.
        QString detail;
        // Matched after the name, not shown.
        QString description;
        // The entry across openings, for the order of use.
        QString key;
    };

    // The palette lies on `host` over the area of `over` (a child of host or
    // host itself); the keys name the line edit (its accessible name and the
    // text shown while it is empty) and the list.
    CPalette(QWidget* host, QWidget* over, const char* fieldKey, const char* listKey);

    // Shows the entries for the text typed so far, with the focus in the line edit.
    void Open(std::vector<SEntry> entries, const QString& typed = {});
    // Closes without choosing; the focus goes back where it was.
    void Close();
    QLineEdit* Field() const { return m_field; }
    QListWidget* List() const { return m_list; }
    // The index (in the entries given to Open) of the current row, or -1.
    int CurrentEntry() const;

signals:
    // Enter on a row: the palette is closed already and the focus is back.
    void Chosen(int entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Refill();
    void Choose();
    void Place();

    QWidget* m_over;
    QLineEdit* m_field;
    QListWidget* m_list;
    std::vector<SEntry> m_entries;
    CNameRanking m_ranking;
    QHash<QString, std::uint64_t> m_used;
    std::uint64_t m_clock = 0;
    QPointer<QWidget> m_focusBefore;
};

// Opens on the first letter typed into `target` while `when` holds: `open`
// gets the letter, and the target does not (no item search of a tree).
void OpenOnLetter(QWidget* target, std::function<bool()> when, std::function<void(const QString&)> open);

} // namespace bram::gui
