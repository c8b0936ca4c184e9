// The data file at document scale: 5,000 triggers with about 200,000
// instructions, read, written and turned into a script. Reading is set
// against pugixml parsing the same bytes and writing against pugixml
// serializing the same document, in the same run.

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "document/ApplicationDocument.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include "BenchLanguage.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <sstream>

namespace {

using namespace bram;

using bench::CRatioReporter;
using bench::kLanguage;

struct Fixture {
    CApplicationDocument document;
    std::size_t instructions = 0;
    std::string file;
};

Fixture& Generated()
{
    static Fixture* f = [] {
        CModule* module = CreateModuleFromXml("bench", kLanguage);
        auto* d = new Fixture;
        d->document.NewDocument();
        CCategorySystem& categories = d->document.GetCategorySystem();
        CState& state = *d->document.GetState();
        d->instructions = bench::FillLargeState(
            *module, state, *categories.AddCategory("All"), &categories, [&](int t, std::uint32_t) {
                state.GetTrigger(state.GetTriggerCount() - 1)->SetComment("Trigger number " + std::to_string(t));
            });
        d->file = d->document.WriteDataFile();
        return d;
    }();
    return *f;
}

void BM_ReadDataFile(benchmark::State& state)
{
    Fixture& f = Generated();
    for (auto _ : state) {
        auto document = std::make_unique<CApplicationDocument>();
        document->NewDocument();
        document->ReadDataFileFromMemory(f.file, "bench.bdf");
        benchmark::DoNotOptimize(document->GetState());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["instructions"] = static_cast<double>(f.instructions);
    state.counters["file_bytes"] = static_cast<double>(f.file.size());
}

void BM_PugixmlParse(benchmark::State& state)
{
    Fixture& f = Generated();
    for (auto _ : state) {
        pugi::xml_document dom;
        const auto result = dom.load_buffer(f.file.data(), f.file.size(), pugi::parse_default | pugi::parse_declaration,
                                            pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
    }
}

void BM_WriteDataFile(benchmark::State& state)
{
    Fixture& f = Generated();
    for (auto _ : state) {
        const std::string file = f.document.WriteDataFile();
        benchmark::DoNotOptimize(file.data());
    }
}

void BM_PugixmlSave(benchmark::State& state)
{
    Fixture& f = Generated();
    pugi::xml_document dom;
    dom.load_buffer(f.file.data(), f.file.size(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
    for (auto _ : state) {
        std::ostringstream out;
        dom.save(out, "\t", pugi::format_raw, pugi::encoding_utf8);
        benchmark::DoNotOptimize(out.str().data());
    }
}

void BM_GenerateScript(benchmark::State& state)
{
    Fixture& f = Generated();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string script = f.document.GenerateScriptData();
        bytes = script.size();
        benchmark::DoNotOptimize(script.data());
    }
    state.counters["script_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_ReadDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_WriteDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_GenerateScript)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& ms = reporter.milliseconds;
    bool ok = true;
    auto ratio = [&](const char* what, const char* ours, const char* theirs, double limit) {
        if (ms[ours] > 0 && ms[theirs] > 0) {
            const double r = ms[ours] / ms[theirs];
            std::printf("%s %.1f ms against %.1f ms (median CPU time): %.2f times, limit %.0f\n", what, ms[ours],
                        ms[theirs], r, limit);
            ok = ok && r <= limit;
        }
    };
    std::printf("\n");
    ratio("reading", "BM_ReadDataFile", "BM_PugixmlParse", 4);
    ratio("writing", "BM_WriteDataFile", "BM_PugixmlSave", 3);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
