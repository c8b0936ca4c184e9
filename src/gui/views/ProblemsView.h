#pragma once
// The problems list: what would make the script wrong or surprising, one row
// a problem (level, trigger, place, message), refreshed with the document.
// Activating a row (double click, Enter) asks the main window to go there.

#include "document/Problems.h"

#include <QTreeWidget>

#include <vector>

namespace bram {
class CApplicationDocument;
}

class QTimer;

namespace bram::gui {

class CProblemsView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CProblemsView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CProblemsView() override;

    // Finds the problems now (it walks the whole document).
    void Refresh();
    // Errors of the last run, listed first until the next run replaces them.
    void SetRunErrors(std::vector<SProblem> errors);
    const std::vector<SProblem>& Problems() const { return m_problems; }
    // The localized message of a problem.
    static QString Message(const SProblem& problem);

signals:
    // The trigger and the instruction's path (empty for a global variable).
    void ProblemActivated(const bram::SProblem& problem);

private:
    CApplicationDocument& m_document;
    std::vector<SProblem> m_problems;
    std::vector<SProblem> m_runErrors;
    int m_listener = 0;
    // Edits ask for a refresh; it runs once they pause, and only while shown.
    QTimer* m_pending = nullptr;
    bool m_stale = false;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace bram::gui
