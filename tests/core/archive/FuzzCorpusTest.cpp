// Replays the archive fuzzer's seed corpus (and any crash reproducers added
// to it) through the fuzzer's own check.

#include "ArchiveFuzzTarget.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(ArchiveFuzzCorpusTest, EveryInputOpensOrFailsCleanly)
{
    const std::filesystem::path folder = std::filesystem::path(BRAMBLETON_FUZZ_CORPUS_DIR) / "archive";
    int valid = 0;
    int broken = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string data = test::ReadFile(entry.path().string());
        const bool opened = fuzz::CheckArchiveInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        const std::string name = entry.path().filename().string();
        if (name.starts_with("valid-")) {
            EXPECT_TRUE(opened) << name;
            ++valid;
        } else if (name.starts_with("broken-") || name.starts_with("truncated")) {
            EXPECT_FALSE(opened) << name;
            ++broken;
        }
    }
    EXPECT_GE(valid, 4);
    EXPECT_GE(broken, 8);
}

} // namespace
} // namespace bram
