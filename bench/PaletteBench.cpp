// The go-to palette on the generated document of 5,000 triggers: its list of
// triggers (matched with their category), categories and globals ranked
// against each keystroke of a query, held to 5 ms of CPU time per keystroke,
// and the list built as the palette opens.

#include "base/NameRanking.h"
#include "category/CategorySystem.h"
#include "code/State.h"
#include "code/Variables.h"

#include "SampleDocument.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>

namespace {

using namespace bram;

constexpr int kTriggers = 5000;
// Every trigger matches the first word; the second narrows to a few.
constexpr std::string_view kQuery = "trigger 4711";
// The rows the palette shows at most.
constexpr std::size_t kRows = 100;

std::unique_ptr<bench::CSampleDocument> g_fixture;

bench::CSampleDocument& Data()
{
    if (!g_fixture) {
        g_fixture = bench::LoadSampleDocument(kTriggers);
    }
    return *g_fixture;
}

CNameRanking GoToList(const CApplicationDocument& document)
{
    CNameRanking ranking;
    const CCategorySystem& categories = document.GetCategorySystem();
    for (std::size_t c = 0; c < categories.GetCategoryCount(); ++c) {
        const CCategory* category = categories.GetCategory(c);
        for (std::size_t t = 0; t < category->GetTriggerCount(); ++t) {
            ranking.Add(category->GetTrigger(t)->GetName(), category->GetName());
        }
    }
    for (std::size_t c = 0; c < categories.GetCategoryCount(); ++c) {
        ranking.Add(categories.GetCategory(c)->GetName(), "category");
    }
    for (const auto& global : document.GetState()->GetGlobals()) {
        ranking.Add(global->GetName(), "global variable");
    }
    return ranking;
}

void BM_OpenPalette(benchmark::State& state)
{
    const bench::CSampleDocument& f = Data();
    for (auto _ : state) {
        CNameRanking ranking = GoToList(*f.document);
        benchmark::DoNotOptimize(ranking.GetCount());
    }
}

// One iteration types the whole query, a keystroke at a time.
void BM_TypeQuery(benchmark::State& state)
{
    const CNameRanking ranking = GoToList(*Data().document);
    std::size_t found = 0;
    for (auto _ : state) {
        for (std::size_t length = 1; length <= kQuery.size(); ++length) {
            found = ranking.Rank(kQuery.substr(0, length), kRows).size();
            benchmark::DoNotOptimize(found);
        }
    }
    state.counters["entries"] = static_cast<double>(ranking.GetCount());
    state.counters["last_rows"] = static_cast<double>(found);
}

BENCHMARK(BM_OpenPalette)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->Apply(bench::WithSpread);
BENCHMARK(BM_TypeQuery)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->Apply(bench::WithSpread);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithTargets(argc, argv, [](bench::CTargets& targets) {
        targets.Time("a keystroke in the go-to palette on 5,000 triggers", "BM_TypeQuery", 5,
                     1.0 / static_cast<double>(kQuery.size()));
        targets.Time("opening the go-to palette on 5,000 triggers", "BM_OpenPalette", 50);
        g_fixture.reset();
    });
}
