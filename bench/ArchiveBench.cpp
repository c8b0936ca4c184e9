// Opening and saving module archives, measured against what zlib alone
// needs for the same packed data, and how opening scales with the number of
// entries. The summary at the end prints the ratios.

#include "archive/ModuleArchive.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <unistd.h>

namespace {

using namespace bram;

constexpr std::uint32_t kLargeFiles = 2000;
constexpr std::uint64_t kLargeBytes = 64ull << 20;

// Text-like content: words from a small vocabulary, so deflate packs it about
// as well as module scripts and XML.
std::string Content(std::mt19937& random, std::size_t size)
{
    static const char* const kWords[] = {"function", "takes",   "nothing",     "returns", "local", "integer",
                                         "call",     "set",     "endfunction", "<Call",   "Name=", "\"Value\"",
                                         "/>",       "if",      "then",        "else",    "endif", "loop",
                                         "exitwhen", "trigger", "unit",        "player",  "real"};
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += kWords[random() % std::size(kWords)];
        text += (random() % 9 == 0) ? '\n' : ' ';
        if (random() % 5 == 0) {
            text += std::to_string(random() % 100000);
        }
    }
    text.resize(size);
    return text;
}

CModuleArchive Generate(std::uint32_t files, std::uint64_t totalBytes, std::uint32_t compression)
{
    std::mt19937 random(1234);
    CModuleArchive archive;
    const std::size_t each = static_cast<std::size_t>(totalBytes / files);
    for (std::uint32_t i = 0; i < files; ++i) {
        const std::string path =
            "dir" + std::to_string(i % 40) + "/sub" + std::to_string(i % 7) + "/file" + std::to_string(i) + ".txt";
        const std::string data = Content(random, each);
        archive.AddFile(path, data.data(), static_cast<std::uint32_t>(data.size()));
    }
    archive.SetCompression(compression);
    return archive;
}

struct Fixture {
    std::string folder;
    std::map<std::string, std::string> files; // name -> path of the saved archive
    std::uint64_t unpackedBytes = 0;
    // The packed entries of the deflate archive, for the zlib baseline.
    std::vector<std::pair<std::string, std::uint32_t>> packedEntries;
};

Fixture& Data()
{
    static Fixture fixture = [] {
        Fixture f;
        char pattern[] = "/tmp/archive-bench-XXXXXX";
        f.folder = ::mkdtemp(pattern);
        const CModuleArchive deflate = Generate(kLargeFiles, kLargeBytes, kDeflateCompression);
        CModuleArchive copy(deflate);
        copy.Save(f.folder + "/large-deflate.modl");
        copy.SetCompression(kNoCompression);
        copy.Save(f.folder + "/large-plain.modl");
        for (std::uint32_t i = 0; i < deflate.GetNodeCount(); ++i) {
            const CArchiveNode* node = deflate.GetNode(i);
            if (node->IsDirectory()) {
                continue;
            }
            f.unpackedBytes += node->GetSize();
            uLongf length = ::compressBound(node->GetSize());
            std::string packed(length, '\0');
            ::compress(reinterpret_cast<Bytef*>(packed.data()), &length, node->GetData(), node->GetSize());
            packed.resize(length);
            f.packedEntries.emplace_back(std::move(packed), node->GetSize());
        }
        f.files["large-deflate"] = f.folder + "/large-deflate.modl";
        f.files["large-plain"] = f.folder + "/large-plain.modl";
        for (const std::uint32_t count : {2000u, 20000u}) {
            CModuleArchive small = Generate(count, std::uint64_t(count) * 64, kDeflateCompression);
            const std::string name = "small-" + std::to_string(count);
            small.Save(f.folder + "/" + name + ".modl");
            f.files[name] = f.folder + "/" + name + ".modl";
        }
        return f;
    }();
    return fixture;
}

void BM_Open(benchmark::State& state, const std::string& name)
{
    const std::string path = Data().files.at(name);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        CModuleArchive archive(path);
        bytes = 0;
        for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
            bytes += archive.GetNode(i)->GetSize();
        }
        benchmark::DoNotOptimize(archive.GetNodeCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["unpacked_bytes"] = static_cast<double>(bytes);
}

void BM_Save(benchmark::State& state, const std::string& name)
{
    CModuleArchive archive(Data().files.at(name));
    const std::string target = Data().folder + "/saved-" + name + ".modl";
    for (auto _ : state) {
        archive.Save(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().unpackedBytes));
}

// What zlib alone needs for the same data: uncompress and crc32 of every entry.
void BM_ZlibUncompressCrc(benchmark::State& state)
{
    const auto& entries = Data().packedEntries;
    std::string buffer;
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const auto& [packed, size] : entries) {
            buffer.resize(size);
            uLongf length = size;
            ::uncompress(reinterpret_cast<Bytef*>(buffer.data()), &length,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size());
            sum ^= static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(buffer.data()), size));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().unpackedBytes));
}

// Keeps the mean CPU time of every run so the summary can compare them; CPU
// time is what stays comparable on a machine shared with other work.
class CSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Every benchmark here reports in milliseconds; with repetitions
            // the median wins over the single runs.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                seconds[run.run_name.function_name] = run.GetAdjustedCPUTime() / 1000.0;
            }
        }
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const char* name : {"large-deflate", "large-plain"}) {
        benchmark::RegisterBenchmark((std::string("Open/") + name).c_str(), BM_Open, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Save/") + name).c_str(), BM_Save, name)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("ZlibUncompressCrc/large-deflate", BM_ZlibUncompressCrc)
        ->Unit(benchmark::kMillisecond);
    for (const char* name : {"small-2000", "small-20000"}) {
        benchmark::RegisterBenchmark((std::string("Open/") + name).c_str(), BM_Open, name)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    CSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double mib = static_cast<double>(Data().unpackedBytes) / (1 << 20);
    auto rate = [&](const std::string& name) {
        const auto it = reporter.seconds.find(name);
        return it == reporter.seconds.end() ? 0.0 : mib / it->second;
    };
    std::printf("\nsummary, by CPU time (%u files, %.1f MiB unpacked):\n", kLargeFiles, mib);
    const double raw = rate("ZlibUncompressCrc/large-deflate");
    std::printf("  zlib uncompress + crc32 alone: %8.1f MiB/s\n", raw);
    for (const char* name : {"Open/large-deflate", "Open/large-plain", "Save/large-deflate", "Save/large-plain"}) {
        std::printf("  %-28s %8.1f MiB/s  (%.2f of the zlib rate)\n", name, rate(name), raw > 0 ? rate(name) / raw : 0);
    }
    const double small2k = reporter.seconds["Open/small-2000"];
    const double small20k = reporter.seconds["Open/small-20000"];
    if (small2k > 0 && small20k > 0) {
        std::printf("  open 20,000 vs 2,000 small entries: %.2f ms vs %.2f ms = %.1fx\n", small20k * 1e3, small2k * 1e3,
                    small20k / small2k);
    }
    std::filesystem::remove_all(Data().folder);
    benchmark::Shutdown();
    return 0;
}
