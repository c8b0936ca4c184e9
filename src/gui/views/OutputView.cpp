#include "gui/views/OutputView.h"

#include "gui/common/UserPrompts.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "localization/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace bram::gui {

COutputView::COutputView(CApplicationDocument& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setAccessibleName(Localized("MainFrame/Output"));
    m_text->setMaximumBlockCount(100000);
    m_places = new QListWidget(this);
    m_places->setAccessibleName(Localized("MainFrame/OutputPlaces"));
    m_status = new QLabel(this);
    m_status->setAccessibleName(Localized("MainFrame/OutputStatus"));
    m_stop = new QPushButton(Localized("MainFrame/StopRun"), this);
    m_stop->setObjectName(QStringLiteral("StopRunButton"));
    m_stop->setAccessibleName(m_stop->text());
    m_stop->setEnabled(false);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_status, 1);
    bar->addWidget(m_stop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(m_text, 2);
    layout->addWidget(m_places, 1);
    m_timer = new QTimer(this);
    m_timer->setInterval(30);
    connect(m_timer, &QTimer::timeout, this, &COutputView::PollChild);
    connect(m_stop, &QPushButton::clicked, this, &COutputView::Stop);
    connect(m_places, &QListWidget::itemActivated, this, &COutputView::Activate);
    // Any edit makes another state current: the counts no longer fit it.
    m_listener = m_document.AddUpdateListener(this, [this] {
        if (!m_counts.IsFor(m_document.GetState())) {
            m_counts.Clear();
        }
    });
}

COutputView::~COutputView() { m_document.RemoveUpdateListener(m_listener); }

void COutputView::ClearResults()
{
    const bool shown = m_counts.IsFor(m_document.GetState());
    m_counts.Clear();
    if (shown) {
        emit CountsChanged();
    }
    if (!m_runErrors.empty()) {
        m_runErrors.clear();
        emit RunErrorsChanged();
    }
}

bool COutputView::CanRun() { return !ReadRunSettings().command.empty(); }

bool COutputView::Start(bool trace)
{
    Stop();
    ClearResults();
    m_text->clear();
    m_places->clear();
    m_placeOfRow.clear();
    m_errorLine.clear();
    m_timedOut = false;
    const SRunSettings settings = ReadRunSettings();
    m_timeout = settings.timeout;
    m_files = std::make_unique<CRunFiles>();
    std::string error;
    if (settings.command.empty() || !m_files->Create(m_document, trace, &error)) {
        m_status->setText(Localized("MainFrame/RunFailed") + QStringLiteral(" ") + ToQ(error));
        return false;
    }
    m_mapper = std::make_unique<CRunErrorMapper>(settings.errorLine, m_files->GetLines(), m_files->GetLineOffset());
    m_trace = trace ? std::make_unique<CTraceCollector>() : nullptr;
    m_runState = m_document.GetState();
    std::vector<std::pair<std::string, std::string>> environment;
    if (trace) {
        environment.emplace_back(kTraceVariable, m_files->GetTracePath());
    }
    m_child = std::make_unique<CChildProcess>();
    if (!m_child->Start(SplitCommandLine(settings.command, m_files->GetScriptPath()), environment,
                        m_files->GetTracePath(), &error)) {
        m_status->setText(Localized("MainFrame/RunFailed") + QStringLiteral(" ") + ToQ(error));
        m_child.reset();
        return false;
    }
    m_clock.start();
    m_status->setText(Localized("MainFrame/Running"));
    m_stop->setEnabled(true);
    m_timer->start();
    emit RunningChanged();
    return true;
}

void COutputView::Stop()
{
    if (m_child == nullptr) {
        return;
    }
    m_child->Stop();
    // What the script's group held open closes as the kill lands: the run
    // has ended when Stop returns, with the last output taken.
    for (int i = 0; i < 40 && Poll(std::chrono::milliseconds(50)); ++i) {
    }
    Finish();
}

void COutputView::PollChild()
{
    if (m_child == nullptr) {
        return;
    }
    if (m_child->IsRunning() && m_clock.elapsed() >= static_cast<qint64>(m_timeout * 1000)) {
        m_timedOut = true;
        m_child->Stop();
    }
    if (!Poll(std::chrono::milliseconds(0))) {
        Finish();
    }
}

bool COutputView::Poll(std::chrono::milliseconds wait)
{
    return m_child->Poll(wait, [this](CChildProcess::EStream stream, std::string_view data) { Take(stream, data); });
}

void COutputView::Take(CChildProcess::EStream stream, std::string_view data)
{
    if (stream == CChildProcess::EStream::Extra) {
        if (m_trace != nullptr) {
            m_trace->Feed(data);
        }
        return;
    }
    m_text->moveCursor(QTextCursor::End);
    m_text->insertPlainText(QString::fromUtf8(data.data(), static_cast<qsizetype>(data.size())));
    if (stream == CChildProcess::EStream::Error) {
        for (const char c : data) {
            if (c == '\n') {
                AddErrorLine(m_errorLine);
                m_errorLine.clear();
            } else {
                m_errorLine += c;
            }
        }
    }
}

void COutputView::AddErrorLine(const std::string& line)
{
    const CState* state = m_document.GetState();
    const auto mapped = state != nullptr && m_mapper != nullptr ? m_mapper->Map(line, *state) : std::nullopt;
    if (!mapped) {
        return;
    }
    QString place = ToQ(mapped->where.trigger);
    if (!mapped->where.place.empty()) {
        place += QStringLiteral(", ") + ToQ(mapped->where.place);
    }
    m_places->addItem(place + QStringLiteral(": ") + ToQ(mapped->message));
    m_placeOfRow.emplace_back(mapped->where.triggerId, mapped->where.path);
    m_runErrors.push_back({.level = EProblemLevel::Error,
                           .kind = EProblemKind::RunError,
                           .hasTrigger = mapped->where.known,
                           .triggerId = mapped->where.triggerId,
                           .trigger = mapped->where.trigger,
                           .path = mapped->where.path,
                           .place = mapped->where.place,
                           .subject = mapped->message});
    emit RunErrorsChanged();
}

void COutputView::Finish()
{
    m_timer->stop();
    if (!m_errorLine.empty()) {
        AddErrorLine(m_errorLine);
        m_errorLine.clear();
    }
    const int code = m_timedOut ? 124 : m_child->GetExitCode();
    const double seconds = static_cast<double>(m_clock.elapsed()) / 1000.0;
    QString status = ToQ(FillPlaceholders(GetLocalizedString("MainFrame/RunEnded"),
                                          {std::to_string(code), QString::number(seconds, 'f', 2).toStdString()}));
    if (m_timedOut) {
        status += QStringLiteral(" ") + Localized("MainFrame/RunTimedOut");
    }
    m_status->setText(status);
    if (m_trace != nullptr && m_document.GetState() != nullptr) {
        m_trace->Finish();
        // Each place is looked up once, however often it ran.
        std::vector<std::optional<SRunPlace>> places(m_trace->GetEntries().size());
        for (const std::uint32_t index : m_trace->GetRecent()) {
            if (!places[index]) {
                places[index] = CTraceCollector::Resolve(m_trace->GetEntries()[index], *m_document.GetState());
            }
            const SRunPlace& place = *places[index];
            m_places->addItem(ToQ(place.trigger) + (place.place.empty() ? QString() : QStringLiteral(", ")) +
                              ToQ(place.place));
            m_placeOfRow.emplace_back(place.known ? place.triggerId : UINT32_MAX, place.path);
        }
        // Edited meanwhile: the places no longer fit the state.
        if (m_document.GetState() == m_runState) {
            m_counts.Set(*m_trace, *m_document.GetState());
        }
    }
    m_stop->setEnabled(false);
    m_child.reset();
    m_files.reset();
    emit RunningChanged();
    if (m_counts.IsFor(m_document.GetState())) {
        emit CountsChanged();
    }
}

void COutputView::Activate(QListWidgetItem* item)
{
    const int row = m_places->row(item);
    if (row >= 0 && static_cast<std::size_t>(row) < m_placeOfRow.size() &&
        m_placeOfRow[static_cast<std::size_t>(row)].first != UINT32_MAX) {
        emit PlaceActivated(m_placeOfRow[static_cast<std::size_t>(row)].first,
                            m_placeOfRow[static_cast<std::size_t>(row)].second);
    }
}

} // namespace bram::gui
