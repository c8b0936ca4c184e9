// Version control at document scale: two generated documents of 5,000
// triggers that differ in a hundred of them, outlined, compared and merged
// (with the original as base), each set against reading the documents it
// takes in the same run.

#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentDiff.h"
#include "document/DocumentMerge.h"
#include "document/Outline.h"

#include "SampleDocument.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bram;

constexpr int kTriggers = 5000;

struct SDocuments {
    std::unique_ptr<bench::CSampleDocument> base;
    std::string ours;
    std::string theirs;
    std::unique_ptr<CApplicationDocument> oursDocument;
    std::unique_ptr<CApplicationDocument> theirsDocument;
};
std::unique_ptr<SDocuments> g_documents;

std::unique_ptr<CApplicationDocument> Read(const std::string& file)
{
    auto document = std::make_unique<CApplicationDocument>();
    document->NewDocument();
    document->ReadDataFileFromMemory(file, "sample.bdf");
    return document;
}

// The base with every 100th trigger (from `first`) changed.
std::string Edited(const std::string& base, std::size_t first, bool comment)
{
    const auto document = Read(base);
    const CState& state = *document->GetState();
    for (std::size_t i = first; i < state.GetTriggerCount(); i += 100) {
        if (comment) {
            state.GetTrigger(i)->SetComment("changed on this side");
        } else {
            state.GetTrigger(i)->SetEnabled(!state.GetTrigger(i)->IsEnabled());
        }
    }
    return document->WriteDataFile();
}

SDocuments& Data()
{
    if (!g_documents) {
        g_documents = std::make_unique<SDocuments>();
        g_documents->base = bench::LoadSampleDocument(kTriggers);
        g_documents->ours = Edited(g_documents->base->file, 0, true);
        g_documents->theirs = Edited(g_documents->base->file, 50, false);
        g_documents->oursDocument = Read(g_documents->ours);
        g_documents->theirsDocument = Read(g_documents->theirs);
    }
    return *g_documents;
}

void BM_ReadDocuments(benchmark::State& state)
{
    SDocuments& d = Data();
    const std::vector<const std::string*> files = {&d.ours, &d.theirs, &d.base->file};
    for (auto _ : state) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(state.range(0)); ++i) {
            auto document = Read(*files[i]);
            benchmark::DoNotOptimize(document->GetState());
        }
    }
}

void BM_Outline(benchmark::State& state)
{
    SDocuments& d = Data();
    for (auto _ : state) {
        const std::string a = OutlineText(*d.oursDocument);
        const std::string b = OutlineText(*d.theirsDocument);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
    }
}

void BM_Diff(benchmark::State& state)
{
    SDocuments& d = Data();
    for (auto _ : state) {
        const std::string text =
            FormatChanges(DiffOutlines(MakeOutline(*d.oursDocument), MakeOutline(*d.theirsDocument)));
        benchmark::DoNotOptimize(text.data());
    }
}

void BM_Merge(benchmark::State& state)
{
    SDocuments& d = Data();
    for (auto _ : state) {
        const SMergeResult merged = MergeDocuments(*d.base->document, *d.oursDocument, *d.theirsDocument);
        if (!merged.conflicts.empty()) {
            state.SkipWithError("the disjoint edits conflict");
        }
        benchmark::DoNotOptimize(merged.data.data());
    }
}

BENCHMARK(BM_ReadDocuments)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->Apply(bench::WithSpread);
BENCHMARK(BM_Outline)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_Diff)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->Apply(bench::WithSpread);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithTargets(argc, argv, [](bench::CTargets& targets) {
        targets.Ratio("outlining two documents against reading them", "BM_Outline", "BM_ReadDocuments/2", 3);
        targets.Ratio("comparing two documents against reading them", "BM_Diff", "BM_ReadDocuments/2", 3);
        // The merge reads its result back, so that it always opens.
        targets.Ratio("merging two documents with their base against reading the three", "BM_Merge",
                      "BM_ReadDocuments/3", 3);
        g_documents.reset();
    });
}
