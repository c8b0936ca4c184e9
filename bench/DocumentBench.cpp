// The data file at document scale: a generated file of 5,000 triggers for
// the sample workspace, read, written and turned into a script. Reading is
// set against pugixml parsing the same bytes, writing and generating against
// pugixml saving the same file, in the same run; both sides free what they
// made inside the timing. Pasting a category of 40,000 triggers is set
// against ten pastes of 4,000, and finding a long text in a long comment
// against finding one letter there.

#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "code/ScriptLineMap.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/Clipboard.h"
#include "document/Search.h"

#include "SampleDocument.h"

#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

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

// What a run generates: the script with its line map (arg 1: and the trace
// statements); arg 0 of BM_GenerateTraced is the trace alone, without a map.
void GenerateForRun(benchmark::State& state, bool map, bool trace)
{
    Fixture& f = Data();
    std::size_t bytes = 0;
    for (auto _ : state) {
        CScriptLineMap lines;
        std::size_t offset = 0;
        const std::string script = f.document->GenerateScriptData(map ? &lines : nullptr, &offset, trace);
        bytes = script.size();
        benchmark::DoNotOptimize(script.data());
        benchmark::DoNotOptimize(lines.GetInstructions().data());
    }
    state.counters["script_bytes"] = static_cast<double>(bytes);
}

void BM_GenerateTraced(benchmark::State& state) { GenerateForRun(state, false, true); }
void BM_GenerateForRun(benchmark::State& state) { GenerateForRun(state, true, state.range(0) != 0); }

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

// A category of that many empty triggers, copied to the clipboard.
const std::string& CategoryFragment(int triggers)
{
    static std::map<int, std::string> fragments;
    std::string& fragment = fragments[triggers];
    if (fragment.empty()) {
        Data(); // the modules
        CApplicationDocument document;
        document.NewDocument();
        CCategorySystem& categories = document.GetCategorySystem();
        CCategory* category = categories.AddCategory("Pasted");
        for (int i = 0; i < triggers; ++i) {
            const std::uint32_t id = document.GetState()->NewTriggerId();
            category->AddTrigger("Trigger " + std::to_string(i), id);
            document.GetState()->AddTrigger(std::make_unique<CCodeTrigger>(id, &categories));
        }
        fragment = CopyCategory(document, category)->fragment;
    }
    return fragment;
}

// Paste a category into a new document (its step copies an empty state).
void BM_PasteCategory(benchmark::State& state)
{
    const int triggers = static_cast<int>(state.range(0));
    const std::string& fragment = CategoryFragment(triggers);
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<CApplicationDocument>();
        document->NewDocument();
        state.ResumeTiming();
        const SPasteOutcome outcome = Paste(*document, fragment, {});
        if (outcome.result != EPasteResult::Pasted ||
            document->GetCategorySystem().GetCategory(0)->GetTriggerCount() != static_cast<std::size_t>(triggers)) {
            state.SkipWithError("the category was not pasted");
        }
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
}

// A needle of 100 KB that matches everywhere but at its end, in a comment of
// 16 MiB: a search that starts over at each place reads the needle there.
// Set against a needle of one letter, found nowhere either: the same text
// folded and read once, so only the length of the needle differs.
void BM_FindInComment(benchmark::State& state)
{
    constexpr std::size_t kCommentBytes = 16u << 20;
    CState text;
    text.AddTrigger(std::make_unique<CCodeTrigger>(1, nullptr))->SetComment(std::string(kCommentBytes, 'a'));
    const std::string needle = std::string(static_cast<std::size_t>(state.range(0)) - 1, 'A') + "b";
    for (auto _ : state) {
        const std::vector<SMatch> matches = FindInState(text, needle, {});
        if (!matches.empty()) {
            state.SkipWithError("found what is not there");
        }
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

BENCHMARK(BM_ReadDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_WriteDataFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->Apply(bench::WithSpread);
// The trace ratios compare figures a tenth of a second long whose single
// runs spread by a third: more repetitions keep their medians steady.
BENCHMARK(BM_GenerateScript)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(9)->Apply(bench::WithSpread);
BENCHMARK(BM_GenerateTraced)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(9)->Apply(bench::WithSpread);
BENCHMARK(BM_GenerateForRun)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(9)
    ->Apply(bench::WithSpread);
BENCHMARK(BM_CopyPasteTrigger)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_CloneState)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_PasteCategory)
    ->Arg(4000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->Apply(bench::WithSpread);
BENCHMARK(BM_FindInComment)
    ->Arg(1)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->Apply(bench::WithSpread);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithTargets(argc, argv, [](bench::CTargets& targets) {
        targets.Ratio("reading against parsing", "BM_ReadDataFile", "BM_PugixmlParse", 3);
        targets.Ratio("writing against saving", "BM_WriteDataFile", "BM_PugixmlSave", 3);
        targets.Ratio("generating against saving", "BM_GenerateScript", "BM_PugixmlSave", 1);
        // Trace statements before each instruction: with trace against without,
        // for Generate Script's generation and for a run's (which keeps the line map).
        targets.Ratio("generating with trace against without", "BM_GenerateTraced", "BM_GenerateScript", 1.3);
        targets.Ratio("generating a run with trace against without", "BM_GenerateForRun/1", "BM_GenerateForRun/0", 1.3);
        targets.Ratio("generating with the line map against without", "BM_GenerateForRun/0", "BM_GenerateScript", 1.3);
        // A paste is an edit: one state copy for its step and little more.
        targets.Ratio("copy and paste of a trigger against a state copy", "BM_CopyPasteTrigger", "BM_CloneState", 1.5);
        // Ten times the triggers: ten times the time, and at most as much again
        // for a working set that no longer fits the caches (a quadratic paste
        // takes ten times).
        targets.Ratio("pasting 40,000 triggers against 10 x 4,000", "BM_PasteCategory/40000", "BM_PasteCategory/4000",
                      2, 0.1);
        // One pass over the text, however long the needle.
        targets.Ratio("finding 100 KB in a comment of 16 MiB against finding one letter", "BM_FindInComment/100000",
                      "BM_FindInComment/1", 1.5);
        g_fixture.reset();
    });
}
