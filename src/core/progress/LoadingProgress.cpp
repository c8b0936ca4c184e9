#include "progress/LoadingProgress.h"

#include "base/Paths.h"
#include "log/Assertion.h"

namespace bram {

void CLoadingProgress::AddFileTask(const std::string& path)
{
    if (const auto size = FileSize(path)) {
        AddSizeTask(path, static_cast<std::uint32_t>(*size & 0xFFFFFFFFu));
    }
}

void CLoadingProgress::AddSizeTask(const std::string& name, std::uint32_t size)
{
    m_tasks.push_back({name, size, false, 0.0f});
    Recompute();
}

int CLoadingProgress::AddFixedTask(float share)
{
    float sum = share;
    for (const Task& t : m_tasks) {
        sum += t.share;
    }
    BRAMBLETON_ASSERT(sum < 1.0f);
    m_tasks.push_back({std::string(), 0, false, share});
    Recompute();
    return static_cast<int>(m_tasks.size()) - 1;
}

void CLoadingProgress::Recompute()
{
    double sizeSum = 0;
    double shareSum = 0;
    double doneShare = 0;
    double doneSize = 0;
    for (const Task& t : m_tasks) {
        sizeSum += t.size;
        shareSum += t.share;
        if (t.done) {
            doneShare += t.share;
            doneSize += t.size;
        }
    }
    // Shares of 1 or more were refused by an assertion; keep the arithmetic finite anyway.
    const double rest = shareSum < 1.0 ? 1.0 - shareSum : 1.0;
    m_total = static_cast<std::uint32_t>(sizeSum / rest);
    m_done = static_cast<std::uint32_t>(doneSize + static_cast<std::uint32_t>(m_total * doneShare));
}

int CLoadingProgress::SelectTask(const std::string& name)
{
    m_current = -1;
    for (std::size_t i = 0; i < m_tasks.size(); ++i) {
        if (m_tasks[i].name == name) {
            m_current = static_cast<int>(i);
            break;
        }
    }
    return TaskCount();
}

int CLoadingProgress::SelectTask(int index)
{
    m_current = (index >= 0 && index < TaskCount()) ? index : -1;
    return TaskCount();
}

void CLoadingProgress::FinishTask()
{
    if (m_current >= 0) {
        Task& task = m_tasks[static_cast<std::size_t>(m_current)];
        task.done = true;
        m_done += task.size + static_cast<std::uint32_t>(m_total * static_cast<double>(task.share));
        m_current = -1;
        // The truncated shares leave a few units over: with every task done
        // the bar is full, not one step short.
        bool allDone = true;
        for (const Task& t : m_tasks) {
            allDone = allDone && t.done;
        }
        if (allDone) {
            m_done = m_total;
        }
    }
    SetPosition(m_total == 0 ? 0.0 : static_cast<double>(m_done) / m_total);
}

void CLoadingProgress::SetTaskProgress(double fraction)
{
    if (m_total == 0) {
        SetPosition(0.0);
        return;
    }
    double position = static_cast<double>(m_done) / m_total;
    if (m_current >= 0) {
        const Task& task = m_tasks[static_cast<std::size_t>(m_current)];
        if (task.share == 0.0f) {
            position += task.size * fraction / m_total;
        } else {
            position += fraction * task.share;
        }
    }
    SetPosition(position);
}

void CLoadingProgress::SetPosition(double fractionDone)
{
    double pos = fractionDone * kBarRange;
    if (pos < 0) {
        pos = 0;
    }
    if (pos > kBarRange) {
        pos = kBarRange;
    }
    m_position = static_cast<int>(pos);
    if (m_display != nullptr) {
        m_display->ShowProgress(m_position);
    }
}

void CLoadingProgress::SetStageText(const std::string& text)
{
    m_stage = text;
    if (m_display != nullptr) {
        m_display->ShowStageText(text);
    }
}

void CLoadingProgress::SetDetailText(const std::string& text)
{
    m_detail = text;
    if (m_display != nullptr) {
        m_display->ShowDetailText(text);
    }
}

} // namespace bram
