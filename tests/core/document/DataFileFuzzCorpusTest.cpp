// Replays the data file fuzzer's seed corpus (and any crash reproducers
// added to it) through the fuzzer's own check, on the sample language.

#include "DataFileFuzzTarget.h"
#include "TestSupport.h"

#include "base/Paths.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(DataFileFuzzCorpusTest, EveryInputLoadsOrFailsCleanly)
{
    test::ResetProcessState();
    const std::string examples = BRAMBLETON_EXAMPLES_SOURCE_DIR;
    fuzz::SetUpDataFileLanguage(test::ReadFile(examples + "/modules-src/core/Data/data.xml"),
                                test::ReadFile(examples + "/modules-src/standard/Data/data.xml"));
    const std::filesystem::path folder = std::filesystem::path(BRAMBLETON_FUZZ_CORPUS_DIR) / "datafile";
    int valid = 0;
    int broken = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string data = test::ReadFile(entry.path().string());
        const bool loaded = fuzz::CheckDataFileInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        const std::string name = entry.path().filename().string();
        if (name.starts_with("valid-")) {
            EXPECT_TRUE(loaded) << name;
            ++valid;
        } else if (name.starts_with("broken-")) {
            EXPECT_FALSE(loaded) << name;
            ++broken;
        }
    }
    EXPECT_GE(valid, 3);
    EXPECT_GE(broken, 4);
    CGenerationSettings::Instance().Clear();
    ReleaseAllModules();
    test::ResetProcessState();
}

} // namespace
} // namespace bram
