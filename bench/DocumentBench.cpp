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

#include "BenchLanguage.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

using namespace bram;

using bench::kLanguage;
using bench::Named;

struct Fixture {
    CApplicationDocument document;
    std::size_t instructions = 0;
    std::string file;
};

// Each trigger: a while loop holding 20 calls plus 19 calls beside it, so
// 40 instructions; 5,000 triggers give 200,000.
Fixture& Generated()
{
    static Fixture* f = [] {
        CModule* module = CreateModuleFromXml("bench", kLanguage);
        const CModule& m = *module;
        const CTypeInfo* number = Named(m.GetTypes(), "number");
        const CTypeInfo* string = Named(m.GetTypes(), "string");
        CGenerationSettings& g = CGenerationSettings::Instance();
        CTriggerDefinitions definitions;
        definitions.functionDefinition = "function ![Parameter1]()";
        definitions.triggerDefinition = "-- ![Parameter1]";
        definitions.functionPrefix = "fn_";
        g.SetTriggerDefinitions(definitions);
        g.SetLocalDeclaration("![Parameter1]");
        g.SetGlobalDeclaration("![Parameter1]");
        g.SetFunctionBlocks({Named(m.GetBlocks(), "actions")});
        g.SetVariablePrefix("v_");
        auto* d = new Fixture;
        d->document.NewDocument();
        CState* state = d->document.GetState();
        state->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("total", number));
        CUserDefinedVariable* total = state->GetGlobal(0);
        CCategory* category = d->document.GetCategorySystem().AddCategory("All");
        const CCallInfo* print = Named(m.GetCalls(), "print");
        const CCallInfo* add = Named(m.GetCalls(), "add");
        const CCallInfo* set = Named(m.GetCalls(), "set");
        const CStructureInfo* loop = Named(m.GetStructures(), "while");
        auto* pi = const_cast<CConstant*>(Named(m.GetConstants(), "pi"));
        auto makeCall = [&](int i) -> CCodeBase* {
            CCall* call = nullptr;
            if (i % 3 == 0) {
                call = static_cast<CCall*>(print->CreateCode());
                call->GetParameter(0)->SetValue(new CStringValue("line \"" + std::to_string(i) + "\" & more", string));
                auto* sum = static_cast<CCall*>(add->CreateCode());
                sum->GetParameter(0)->SetValue(total);
                sum->GetParameter(1)->SetValue(pi);
                call->GetParameter(1)->SetValue(sum);
            } else {
                call = static_cast<CCall*>(set->CreateCode());
                call->GetParameter(0)->SetValue(total);
                auto* n = new CNumberValue(number);
                n->SetValue(i * 0.5);
                call->GetParameter(1)->SetValue(n);
            }
            call->SetEnabled(true);
            return call;
        };
        for (int t = 0; t < 5000; ++t) {
            const std::uint32_t id = state->NewTriggerId();
            category->AddTrigger("Trigger " + std::to_string(t), id);
            CCodeTrigger* trigger = state->AddTrigger(std::make_unique<CCodeTrigger>(id, &d->document.GetCategorySystem()));
            trigger->SetComment("Trigger number " + std::to_string(t));
            CBlock* block = trigger->GetBlock(0);
            auto* whileNode = static_cast<CStructure*>(loop->CreateCode());
            whileNode->GetParameter(0)->SetValue(total);
            auto* limit = new CNumberValue(number);
            limit->SetValue(10);
            whileNode->GetParameter(1)->SetValue(limit);
            whileNode->SetEnabled(true);
            for (int i = 0; i < 20; ++i) {
                whileNode->GetChild(0)->AddChild(makeCall(i));
            }
            block->AddChild(whileNode);
            for (int i = 0; i < 19; ++i) {
                block->AddChild(makeCall(i));
            }
            d->instructions += 40;
        }
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

// Keeps the median CPU time of each benchmark (CPU time stays comparable on
// a machine shared with other work) for the summary lines.
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
