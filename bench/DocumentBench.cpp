// The data file at document scale: a generated file of 5,000 triggers for
// the sample workspace, read, written and turned into a script. Reading is
// set against pugixml parsing the same bytes, writing and generating against
// pugixml saving the same file, in the same run; both sides free what they
// made inside the timing.

#include "category/CategorySystem.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/Clipboard.h"

#include "SampleDocument.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <pugixml.hpp>

namespace {

using namespace bram;

constexpr int kTriggers = 5000;

using Fixture = bench::CSampleDocument;
std::unique_ptr<Fixture> g_fixture;

Fixture& Data()
{
    if (!g_fixture) {
        g_fixture = bench::LoadSampleDocument(kTriggers);
    }
    return *g_fixture;
}

void BM_ReadDataFile(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        auto document = std::make_unique<CApplicationDocument>();
        document->NewDocument();
        document->ReadDataFileFromMemory(f.file, "sample.bdf");
        benchmark::DoNotOptimize(document->GetState());
        document.reset();
    }
    state.counters["instructions"] = static_cast<double>(f.instructions);
    state.counters["file_bytes"] = static_cast<double>(f.file.size());
}

void BM_PugixmlParse(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        pugi::xml_document dom;
        const auto result = dom.load_buffer(f.file.data(), f.file.size(), pugi::parse_default | pugi::parse_declaration,
                                            pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
    }
}

void BM_WriteDataFile(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        const std::string file = f.document->WriteDataFile();
        benchmark::DoNotOptimize(file.data());
    }
}

void BM_PugixmlSave(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        bench::SStringWriter out;
        f.dom.save(out, "\t", pugi::format_raw, pugi::encoding_utf8);
        benchmark::DoNotOptimize(out.text.data());
    }
}

void BM_GenerateScript(benchmark::State& state)
{
    Fixture& f = Data();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string script = f.document->GenerateScriptData();
        bytes = script.size();
        benchmark::DoNotOptimize(script.data());
    }
    state.counters["script_bytes"] = static_cast<double>(bytes);
}

// Copy a trigger and paste it beside itself (a step: one copy of the state,
// as every edit; taken back untimed, so the document stays the same size).
void BM_CopyPasteTrigger(benchmark::State& state)
{
    Fixture& f = Data();
    CApplicationDocument& document = *f.document;
    CCategory* category = document.GetCategorySystem().GetCategory(0);
    for (auto _ : state) {
        const auto content = CopyTrigger(document, category->GetTrigger(0));
        const SPasteOutcome outcome = Paste(document, content->fragment, {.category = category});
        benchmark::DoNotOptimize(outcome.result);
        state.PauseTiming();
        document.RemoveLastHistoryStep();
        state.ResumeTiming();
    }
}

void BM_CloneState(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        auto copy = f.document->GetState()->Clone();
        benchmark::DoNotOptimize(copy.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ReadDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_WriteDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_GenerateScript)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_CopyPasteTrigger)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);
BENCHMARK(BM_CloneState)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    bench::KeepFreedMemory();
    benchmark::Initialize(&argc, argv);
    bench::CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::CTargets targets(reporter.milliseconds);
    targets.Ratio("reading against parsing", "BM_ReadDataFile", "BM_PugixmlParse", 3);
    targets.Ratio("writing against saving", "BM_WriteDataFile", "BM_PugixmlSave", 3);
    targets.Ratio("generating against saving", "BM_GenerateScript", "BM_PugixmlSave", 1);
    // A paste is an edit: one state copy for its step and little more.
    targets.Ratio("copy and paste of a trigger against a state copy", "BM_CopyPasteTrigger", "BM_CloneState", 1.5);
    g_fixture.reset();
    benchmark::Shutdown();
    return targets.Ok() ? 0 : 1;
}
