#pragma once
// What the benchmarks share: the sample workspace started as the programs
// start it, the reporter that keeps the CPU times of the repetitions, and the
// summary that prints each ratio against its target. Each benchmark's main
// calls PrepareProcess first, as the programs' start-up does, so that both
// sides of a ratio run with the allocator settings of the program.

#include "app/ApplicationCore.h"
#include "progress/LoadingProgress.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace bram::bench {

// Keeps the fastest and the slowest repetition beside the median, so that
// the summary shows how far they spread: ->Repetitions(n)->Apply(WithSpread).
inline void WithSpread(benchmark::internal::Benchmark* b)
{
    b->ComputeStatistics("min", [](const std::vector<double>& v) {
         return *std::min_element(v.begin(), v.end());
     })->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

// The CPU times of a benchmark's repetitions (CPU time stays comparable on a
// machine shared with other work): median, fastest and slowest.
struct STimes {
    double median = 0;
    double min = 0;
    double max = 0;
};

// Keeps the CPU times of each benchmark for the summary: the statistics of
// its repetitions, or those of single runs registered again and again under
// one name (PoolRuns), for figures taken in rounds.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& args = run.run_name.args;
            const std::string name = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            if (run.run_type != Run::RT_Aggregate) {
                m_runs[name].push_back(run.GetAdjustedCPUTime());
                continue;
            }
            STimes& times = milliseconds[name];
            if (run.aggregate_name == "median") {
                times.median = run.GetAdjustedCPUTime();
            } else if (run.aggregate_name == "min") {
                times.min = run.GetAdjustedCPUTime();
            } else if (run.aggregate_name == "max") {
                times.max = run.GetAdjustedCPUTime();
            }
        }
    }
    // Median, fastest and slowest of the single runs of names that have no
    // repetitions of their own.
    void PoolRuns()
    {
        for (auto& [name, times] : m_runs) {
            if (milliseconds.contains(name) || times.empty()) {
                continue;
            }
            std::ranges::sort(times);
            const std::size_t n = times.size();
            milliseconds[name] = {n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2, times.front(),
                                  times.back()};
        }
    }
    std::map<std::string, STimes> milliseconds;

private:
    std::map<std::string, std::vector<double>> m_runs;
};

// Prints "what: ours ms against theirs ms ...: ratio, limit L" lines with
// the spread of the repetitions and remembers whether every ratio kept its
// limit; a missing measurement fails.
class CTargets {
public:
    explicit CTargets(std::map<std::string, STimes>& milliseconds) : m_ms(milliseconds)
    {
        double load = 0;
        if (::getloadavg(&load, 1) == 1) {
            std::printf("\nload average %.2f\n", load);
        } else {
            std::printf("\n");
        }
    }

    void Ratio(const char* what, const char* ours, const char* theirs, double limit, double scale = 1.0)
    {
        const STimes a = m_ms[ours];
        const STimes b = m_ms[theirs];
        if (!(a.median > 0 && b.median > 0)) {
            std::printf("%s: not measured\n", what);
            m_ok = false;
            return;
        }
        const double ratio = a.median * scale / b.median;
        std::printf("%s: %.2f ms against %.2f ms (median CPU time; repeats %.2f-%.2f against %.2f-%.2f ms): %.2f "
                    "times (%.2f-%.2f), limit %.2f%s\n",
                    what, a.median * scale, b.median, a.min * scale, a.max * scale, b.min, b.max, ratio,
                    b.max > 0 ? a.min * scale / b.max : 0.0, b.min > 0 ? a.max * scale / b.min : 0.0, limit,
                    ratio <= limit ? "" : "  MISSED");
        m_ok = m_ok && ratio <= limit;
    }
    // A time against a fixed limit in milliseconds (scale: the share of one
    // iteration the limit is for, 1/n when an iteration does n of it).
    void Time(const char* what, const char* name, double limitMs, double scale = 1.0)
    {
        const STimes t = m_ms[name];
        if (!(t.median > 0)) {
            std::printf("%s: not measured\n", what);
            m_ok = false;
            return;
        }
        std::printf("%s: %.3f ms (median CPU time; repeats %.3f-%.3f ms), limit %.2f ms%s\n", what, t.median * scale,
                    t.min * scale, t.max * scale, limitMs, t.median * scale <= limitMs ? "" : "  MISSED");
        m_ok = m_ok && t.median * scale <= limitMs;
    }
    // For figures that are not times.
    void Value(const char* what, double value, double limit, const char* unit)
    {
        std::printf("%s: %.1f %s, limit %.1f%s\n", what, value, unit, limit, value <= limit ? "" : "  MISSED");
        m_ok = m_ok && value <= limit;
    }
    bool Ok() const { return m_ok; }

private:
    std::map<std::string, STimes>& m_ms;
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

// A ratio benchmark's main: the program's start-up settings, the runs, then
// `check` sets the targets (and frees what the runs kept) for the summary.
inline int RunWithTargets(int argc, char** argv, const std::function<void(CTargets&)>& check)
{
    PrepareProcess();
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CTargets targets(reporter.milliseconds);
    check(targets);
    benchmark::Shutdown();
    return targets.Ok() ? 0 : 1;
}

} // namespace bram::bench
