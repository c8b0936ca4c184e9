#pragma once
// The changes between a data file and the open document (File > Compare
// with...), one row a change: what changed, the global, category or trigger,
// the place and the old and new texts. Activating a row (double click,
// Enter) asks the main window to go to its trigger and instruction.

#include "document/DocumentDiff.h"

#include <QTreeWidget>

#include <vector>

namespace bram::gui {

class CChangesView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CChangesView(QWidget* parent = nullptr);

    void SetChanges(std::vector<SDocumentChange> changes);
    const std::vector<SDocumentChange>& Changes() const { return m_changes; }
    // The localized "what" of a change, e.g. "Trigger renamed".
    static QString What(const SDocumentChange& change);

signals:
    void ChangeActivated(const bram::SDocumentChange& change);

private:
    std::vector<SDocumentChange> m_changes;
};

} // namespace bram::gui
