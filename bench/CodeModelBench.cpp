// Cost of the code model at document scale: 5,000 triggers with about
// 200,000 instructions. A state copy is the cost of every undo step, so it is
// set against copying a DOM of the same size, and GetCode against a rate.

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include "BenchLanguage.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pugixml.hpp>

namespace {

using namespace bram;

using bench::kLanguage;
using bench::Named;

struct Document {
    CModule* module = nullptr;
    CCategorySystem categories;
    std::unique_ptr<CState> state;
    std::size_t instructions = 0;
    pugi::xml_document dom;
};

// Each trigger: a while loop holding 20 calls plus 19 calls beside it, so
// 40 instructions; 5,000 triggers give 200,000.
Document& Generated()
{
    static Document* doc = [] {
        auto* d = new Document;
        d->module = CreateModuleFromXml("bench", kLanguage);
        const CModule& m = *d->module;
        d->state = std::make_unique<CState>();
        CCategory* category = d->categories.AddCategory("All");
        pugi::xml_node triggersNode = d->dom.append_child("Data").append_child("Triggers");
        d->instructions = bench::FillLargeState(m, *d->state, *category, &d->categories, [&](int t, std::uint32_t id) {
            // The same shape as a DOM: one element per node, values as text.
            pugi::xml_node tn = triggersNode.append_child("Trigger");
            tn.append_attribute("id") = id;
            tn.append_child("Name").text() = ("Trigger_" + std::to_string(t)).c_str();
            pugi::xml_node bn = tn.append_child("Blocks").append_child("Block");
            for (int i = 0; i < 40; ++i) {
                pugi::xml_node in = bn.append_child("Instruction");
                in.append_attribute("type") = 8;
                in.append_attribute("enabled") = -1;
                in.append_child("Name").text() = "print";
                in.append_child("Module").text() = "bench";
                pugi::xml_node ps = in.append_child("Parameters");
                for (int p = 0; p < 2; ++p) {
                    pugi::xml_node pn = ps.append_child("Parameter");
                    pn.append_attribute("type") = 64;
                    pn.append_child("Value").text() = "12.50";
                }
            }
        });
        return d;
    }();
    return *doc;
}

void BM_StateClone(benchmark::State& state)
{
    Document& d = Generated();
    for (auto _ : state) {
        std::unique_ptr<CState> copy = d.state->Clone();
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["instructions"] = static_cast<double>(d.instructions);
}

void BM_PugixmlDomCopy(benchmark::State& state)
{
    Document& d = Generated();
    for (auto _ : state) {
        pugi::xml_document copy;
        copy.reset(d.dom);
        benchmark::DoNotOptimize(copy.first_child());
    }
}

void BM_StateGetCode(benchmark::State& state)
{
    Document& d = Generated();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string script = d.state->GetCode(0);
        bytes = script.size();
        benchmark::DoNotOptimize(script.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["script_bytes"] = static_cast<double>(bytes);
}

void BM_MemoryPerInstruction(benchmark::State& state)
{
    Document& d = Generated();
    double perInstruction = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        std::unique_ptr<CState> copy = d.state->Clone();
        const std::size_t after = mallinfo2().uordblks;
        perInstruction = static_cast<double>(after - before) / static_cast<double>(d.instructions);
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["bytes_per_instruction"] = perInstruction;
}

BENCHMARK(BM_StateClone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlDomCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StateGetCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerInstruction)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
