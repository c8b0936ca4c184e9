// Opening and saving module archives, measured against what zlib alone
// needs for the same data (uncompressing or compressing it and its CRC-32),
// and how opening scales with the number of entries. The summary prints each
// ratio against its target.

#include "archive/ModuleArchive.h"

#include "BenchSupport.h"

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

// What zlib alone needs to pack the same data: compress and crc32 of every entry.
void BM_ZlibCompressCrc(benchmark::State& state)
{
    const auto& entries = Data().packedEntries;
    std::vector<std::string> unpacked;
    for (const auto& [packed, size] : entries) {
        std::string buffer(size, '\0');
        uLongf length = size;
        ::uncompress(reinterpret_cast<Bytef*>(buffer.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                     packed.size());
        unpacked.push_back(std::move(buffer));
    }
    std::string out;
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const std::string& data : unpacked) {
            uLongf length = ::compressBound(static_cast<uLong>(data.size()));
            out.resize(length);
            ::compress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                       data.size());
            sum ^= static_cast<std::uint32_t>(
                ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().unpackedBytes));
}

// What an archive without compression needs at least: the CRC-32 of every entry.
void BM_ZlibCrc(benchmark::State& state)
{
    const auto& entries = Data().packedEntries;
    std::vector<std::string> unpacked;
    for (const auto& [packed, size] : entries) {
        std::string buffer(size, '\0');
        uLongf length = size;
        ::uncompress(reinterpret_cast<Bytef*>(buffer.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                     packed.size());
        unpacked.push_back(std::move(buffer));
    }
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const std::string& data : unpacked) {
            sum ^= static_cast<std::uint32_t>(
                ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().unpackedBytes));
}

} // namespace

int main(int argc, char** argv)
{
    bram::PrepareProcess();
    benchmark::Initialize(&argc, argv);
    for (const char* name : {"large-deflate", "large-plain"}) {
        benchmark::RegisterBenchmark((std::string("Open/") + name).c_str(), BM_Open, name)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3)
            ->Apply(bram::bench::WithSpread);
        benchmark::RegisterBenchmark((std::string("Save/") + name).c_str(), BM_Save, name)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3)
            ->Apply(bram::bench::WithSpread);
    }
    benchmark::RegisterBenchmark("ZlibUncompressCrc/large-deflate", BM_ZlibUncompressCrc)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3)
        ->Apply(bram::bench::WithSpread);
    benchmark::RegisterBenchmark("ZlibCompressCrc/large-deflate", BM_ZlibCompressCrc)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3)
        ->Apply(bram::bench::WithSpread);
    benchmark::RegisterBenchmark("ZlibCrc/large", BM_ZlibCrc)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3)
        ->Apply(bram::bench::WithSpread);
    for (const char* name : {"small-2000", "small-20000"}) {
        benchmark::RegisterBenchmark((std::string("Open/") + name).c_str(), BM_Open, name)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Apply(bram::bench::WithSpread);
    }
    bram::bench::CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double mib = static_cast<double>(Data().unpackedBytes) / (1 << 20);
    std::printf("\n%u files, %.1f MiB unpacked", kLargeFiles, mib);
    bram::bench::CTargets targets(reporter.milliseconds);
    // Reading the file and copying each entry come on top of zlib's work.
    targets.Ratio("opening a packed archive against uncompressing", "Open/large-deflate",
                  "ZlibUncompressCrc/large-deflate", 1.5);
    targets.Ratio("saving a packed archive against compressing", "Save/large-deflate", "ZlibCompressCrc/large-deflate",
                  1.5);
    // A plain archive's body checksum is combined from those of its entries,
    // so opening reads each byte once for the checksum and once to copy it;
    // on saving the image is built as well.
    targets.Ratio("opening a plain archive against its CRC", "Open/large-plain", "ZlibCrc/large", 2.5);
    targets.Ratio("saving a plain archive against its CRC", "Save/large-plain", "ZlibCrc/large", 5.5);
    // Ten times the entries: ten times the time, not more than half again.
    targets.Ratio("opening 20,000 small entries against 2,000", "Open/small-20000", "Open/small-2000", 15);
    std::filesystem::remove_all(Data().folder);
    benchmark::Shutdown();
    return targets.Ok() ? 0 : 1;
}
