#pragma once
// The progress model of the loading box: tasks sized by file bytes or by a
// fixed share of the whole. Start-up and module loading report through it;
// a display (the GUI's loading box, or nothing) shows the texts and the bar.

#include <cstdint>
#include <string>
#include <vector>

namespace bram {

class ILoadingDisplay {
public:
    virtual ~ILoadingDisplay() = default;
    virtual void ShowStageText(const std::string& text) = 0;
    virtual void ShowDetailText(const std::string& text) = 0;
    // Position of the bar, 0 to 1000.
    virtual void ShowProgress(int position) = 0;
};

class CLoadingProgress {
public:
    static constexpr int kBarRange = 1000;

    void SetDisplay(ILoadingDisplay* display) { m_display = display; }

    // Adds a size task for an existing file; a missing file adds nothing.
    void AddFileTask(const std::string& path);
    // A size task for work measured in bytes without a file of its own.
    void AddSizeTask(const std::string& name, std::uint32_t size);
    // Adds a fixed-share task; returns its index.
    int AddFixedTask(float share);
    int SelectTask(const std::string& name);
    int SelectTask(int index);
    void FinishTask();
    void SetTaskProgress(double fraction);

    void SetStageText(const std::string& text);
    void SetDetailText(const std::string& text);
    const std::string& GetStageText() const { return m_stage; }
    const std::string& GetDetailText() const { return m_detail; }

    int TaskCount() const { return static_cast<int>(m_tasks.size()); }
    int GetCurrentTask() const { return m_current; }
    int GetPosition() const { return m_position; }
    std::uint32_t GetTotal() const { return m_total; }
    std::uint32_t GetDone() const { return m_done; }

private:
    struct Task {
        std::string name;
        std::uint32_t size = 0;
        bool done = false;
        float share = 0.0f;
    };

    void Recompute();
    void SetPosition(double fractionDone);

    std::vector<Task> m_tasks;
    int m_current = -1;
    std::uint32_t m_total = 0;
    std::uint32_t m_done = 0;
    int m_position = 0;
    std::string m_stage;
    std::string m_detail;
    ILoadingDisplay* m_display = nullptr;
};

} // namespace bram
