#pragma once
// The Output dock: runs the generated script as the [Run] settings say (the
// core's child process, polled by a timer so the editor never waits), shows
// its output and error output as they arrive, the exit code and the run
// time, and lists the errors that name an instruction and, with trace, the
// last places that ran; activating a row asks the main window to go there.

#include "gui/views/RunCounts.h"

#include "base/ChildProcess.h"
#include "document/Problems.h"
#include "document/ScriptRun.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace bram {
class CApplicationDocument;
class CState;
} // namespace bram

namespace bram::gui {

class COutputView : public QWidget {
    Q_OBJECT
public:
    explicit COutputView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~COutputView() override;

    // Whether the settings say how to run a script.
    static bool CanRun();
    // Stops a running script first. False (and the reason shown) when nothing started.
    bool Start(bool trace);
    void Stop();
    bool IsRunning() const { return m_child != nullptr && m_child->IsRunning(); }

    QPlainTextEdit* Text() const { return m_text; }
    QListWidget* Places() const { return m_places; }
    QLabel* Status() const { return m_status; }
    // Trace counts of the last run by trigger id and place (empty: the trigger's entry).
    const CTraceCollector* Trace() const { return m_trace.get(); }
    // How often each trigger and instruction ran in the last run with trace.
    const CRunCounts& Counts() const { return m_counts; }
    // Forgets the last run's counts and errors (a new or opened document).
    void ClearResults();
    // The errors of the last run that name a place of the document.
    const std::vector<SProblem>& RunErrors() const { return m_runErrors; }

signals:
    void PlaceActivated(std::uint32_t triggerId, const std::vector<std::size_t>& path);
    void RunningChanged();
    void CountsChanged();
    void RunErrorsChanged();

private:
    void PollChild();
    // Takes what the child wrote; false once it has ended and its streams are closed.
    bool Poll(std::chrono::milliseconds wait);
    void Take(CChildProcess::EStream stream, std::string_view data);
    void AddErrorLine(const std::string& line);
    void Finish();
    void Activate(QListWidgetItem* item);

    CApplicationDocument& m_document;
    QPlainTextEdit* m_text = nullptr;
    QListWidget* m_places = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_stop = nullptr;
    QTimer* m_timer = nullptr;
    QElapsedTimer m_clock;
    double m_timeout = 60;
    bool m_timedOut = false;
    std::unique_ptr<CRunFiles> m_files;
    std::unique_ptr<CRunErrorMapper> m_mapper;
    std::unique_ptr<CChildProcess> m_child;
    std::unique_ptr<CTraceCollector> m_trace;
    CRunCounts m_counts;
    std::vector<SProblem> m_runErrors;
    // The state the run was generated from.
    const CState* m_runState = nullptr;
    int m_listener = 0;
    std::string m_errorLine;
    std::vector<std::pair<std::uint32_t, std::vector<std::size_t>>> m_placeOfRow;
};

} // namespace bram::gui
