// Replays the fuzzers' seed corpora (and any crash reproducers added to them)
// through the fuzzers' own checks: "valid-" inputs load, "broken-" and
// "truncated" ones fail cleanly.

#include "ArchiveFuzzTarget.h"
#include "DataFileFuzzTarget.h"
#include "TestSupport.h"

#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace bram {
namespace {

void ExpectCorpus(const std::string& name, const std::function<bool(const std::uint8_t*, std::size_t)>& check,
                  int validAtLeast, int brokenAtLeast)
{
    int valid = 0;
    int broken = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(BRAMBLETON_FUZZ_CORPUS_DIR) + "/" + name)) {
        const std::string data = test::ReadFile(entry.path().string());
        const bool loaded = check(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        const std::string file = entry.path().filename().string();
        if (file.starts_with("valid-")) {
            EXPECT_TRUE(loaded) << file;
            ++valid;
        } else if (file.starts_with("broken-") || file.starts_with("truncated")) {
            EXPECT_FALSE(loaded) << file;
            ++broken;
        }
    }
    EXPECT_GE(valid, validAtLeast) << name;
    EXPECT_GE(broken, brokenAtLeast) << name;
}

TEST(FuzzCorpusTest, EveryArchiveOpensOrFailsCleanly) { ExpectCorpus("archive", &fuzz::CheckArchiveInput, 4, 8); }

TEST(FuzzCorpusTest, EveryDataFileLoadsOrFailsCleanlyOnTheSampleLanguage)
{
    test::ResetProcessState();
    const std::string examples = BRAMBLETON_EXAMPLES_SOURCE_DIR;
    fuzz::SetUpDataFileLanguage(test::ReadFile(examples + "/modules-src/core/Data/data.xml"),
                                test::ReadFile(examples + "/modules-src/standard/Data/data.xml"));
    ExpectCorpus("datafile", &fuzz::CheckDataFileInput, 3, 4);
    CGenerationSettings::Instance().Clear();
    ReleaseAllModules();
    test::ResetProcessState();
}

} // namespace
} // namespace bram
