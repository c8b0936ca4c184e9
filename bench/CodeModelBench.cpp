// Cost of the code model at document scale: the generated 5,000-trigger
// document of the sample workspace. A state copy is the cost of every undo
// step, so it is set against copying the DOM of the document's data file;
// GetCode, which writes the script, against pugixml saving that data file;
// and the heap a copy takes against the size of the file.

#include "code/State.h"
#include "document/ApplicationDocument.h"

#include "SampleDocument.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>
#include <pugixml.hpp>

namespace {

using namespace bram;

constexpr int kTriggers = 5000;

using Fixture = bench::CSampleDocument;
std::unique_ptr<Fixture> g_fixture;
double g_copyBytes = 0;

Fixture& Data()
{
    if (!g_fixture) {
        g_fixture = bench::LoadSampleDocument(kTriggers);
    }
    return *g_fixture;
}

void BM_StateClone(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::unique_ptr<CState> copy = f.document->GetState()->Clone();
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["instructions"] = static_cast<double>(f.instructions);
}

void BM_PugixmlDomCopy(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        pugi::xml_document copy;
        copy.reset(f.dom);
        benchmark::DoNotOptimize(copy.first_child());
    }
}

void BM_StateGetCode(benchmark::State& state)
{
    Fixture& f = Data();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string script = f.document->GetState()->GetCode(0);
        bytes = script.size();
        benchmark::DoNotOptimize(script.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["script_bytes"] = static_cast<double>(bytes);
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

void BM_MemoryPerInstruction(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        std::unique_ptr<CState> copy = f.document->GetState()->Clone();
        g_copyBytes = static_cast<double>(mallinfo2().uordblks - before);
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["bytes_per_instruction"] = g_copyBytes / static_cast<double>(f.instructions);
}

BENCHMARK(BM_StateClone)->Unit(benchmark::kMillisecond)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_PugixmlDomCopy)->Unit(benchmark::kMillisecond)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_StateGetCode)->Unit(benchmark::kMillisecond)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_MemoryPerInstruction)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithTargets(argc, argv, [](bench::CTargets& targets) {
        targets.Ratio("state copy against DOM copy", "BM_StateClone", "BM_PugixmlDomCopy", 1);
        targets.Ratio("GetCode against saving", "BM_StateGetCode", "BM_PugixmlSave", 1);
        if (g_fixture) {
            const double perInstruction = g_copyBytes / static_cast<double>(g_fixture->instructions);
            std::printf("state copy: %.0f bytes per instruction, %.2f per byte of the data file\n", perInstruction,
                        g_copyBytes / static_cast<double>(g_fixture->file.size()));
            targets.Value("heap of a state copy against the data file",
                          g_copyBytes / static_cast<double>(g_fixture->file.size()), 1, "times");
        }
        g_fixture.reset();
    });
}
