#pragma once
// What the benchmarks share: the sample workspace started as the programs
// start it, the reporter that keeps median CPU times, and the summary that
// prints each ratio against its target.

#include "app/ApplicationCore.h"
#include "progress/LoadingProgress.h"

#include <benchmark/benchmark.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <string>
#include <unistd.h>

namespace bram::bench {

// Both sides of a ratio run with memory the process keeps once it has it:
// no large block goes back to the system, so no iteration pays the kernel
// for fresh pages and no result depends on what ran before it.
inline void KeepFreedMemory()
{
    ::mallopt(M_MMAP_MAX, 0);
    ::mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

// Keeps the median CPU time of each benchmark (CPU time stays comparable on
// a machine shared with other work) for the summary.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                milliseconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }
    std::map<std::string, double> milliseconds;
};

// Prints "what: ours ms against theirs ms ...: ratio, limit L" lines and
// remembers whether every ratio kept its limit; a missing measurement fails.
class CTargets {
public:
    explicit CTargets(std::map<std::string, double>& milliseconds) : m_ms(milliseconds) { std::printf("\n"); }

    void Ratio(const char* what, const char* ours, const char* theirs, double limit, double scale = 1.0)
    {
        const double a = m_ms[ours] * scale;
        const double b = m_ms[theirs];
        if (!(a > 0 && b > 0)) {
            std::printf("%s: not measured\n", what);
            m_ok = false;
            return;
        }
        const double ratio = a / b;
        std::printf("%s: %.2f ms against %.2f ms (median CPU time): %.2f times, limit %.2f%s\n", what, a, b, ratio,
                    limit, ratio <= limit ? "" : "  MISSED");
        m_ok = m_ok && ratio <= limit;
    }
    // For figures that are not times.
    void Value(const char* what, double value, double limit, const char* unit)
    {
        std::printf("%s: %.1f %s, limit %.1f%s\n", what, value, unit, limit, value <= limit ? "" : "  MISSED");
        m_ok = m_ok && value <= limit;
    }
    bool Ok() const { return m_ok; }

private:
    std::map<std::string, double>& m_ms;
    bool m_ok = true;
};

// The sample workspace the build assembles, started as the programs start
// it; its log and user files go to a private folder removed at the end.
class CSampleWorkspace {
public:
    CSampleWorkspace()
    {
        m_folder = (std::filesystem::temp_directory_path() / "brambleton-bench-XXXXXX").string();
        if (::mkdtemp(m_folder.data()) == nullptr) {
            std::abort();
        }
        ::setenv("TMPDIR", m_folder.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
        CLoadingProgress progress;
        if (!m_app.InitInstance(BRAMBLETON_EXAMPLES_DIR, progress)) {
            std::fprintf(stderr, "the sample workspace in %s did not start\n", BRAMBLETON_EXAMPLES_DIR);
            std::exit(2);
        }
    }
    ~CSampleWorkspace()
    {
        m_app.ExitInstance();
        std::filesystem::remove_all(m_folder);
    }
    CSampleWorkspace(const CSampleWorkspace&) = delete;
    CSampleWorkspace& operator=(const CSampleWorkspace&) = delete;

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    CApplicationCore m_app;
};

} // namespace bram::bench
