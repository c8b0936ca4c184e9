// Finding text: where a match is reported, with case folded or kept and
// with whole words, also where occurrences overlap.

#include "document/Search.h"
#include "code/CodeTrigger.h"
#include "code/State.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(SearchTest, ReportsTheFirstFittingOccurrence)
{
    struct SCase {
        const char* comment;
        const char* needle;
        SSearchOptions options;
        std::size_t offset; // npos: no match
    };
    constexpr std::size_t kNone = std::string::npos;
    const SCase cases[] = {
        {"abaabaabab", "abab", {}, 6},
        {"aaaaab", "aaab", {}, 2},
        {"Hello HELLO", "hello", {.caseSensitive = true}, kNone},
        {"xHello HELLO", "hello", {}, 1},
        {"aaa aa", "aa", {.wholeWord = true}, 4},
        {"ab_ab ab", "ab", {.wholeWord = true}, 6},
        {"abab", "aba", {.wholeWord = true}, kNone},
        {"Größe GRÖSSE", "gröSSE", {}, 8},
        {"short", "longer than the text", {}, kNone},
    };
    for (const SCase& c : cases) {
        CState state;
        state.AddTrigger(std::make_unique<CCodeTrigger>(1, nullptr))->SetComment(c.comment);
        const std::vector<SMatch> matches = FindInState(state, c.needle, c.options);
        if (c.offset == kNone) {
            EXPECT_TRUE(matches.empty()) << c.comment << " / " << c.needle;
        } else {
            ASSERT_EQ(matches.size(), 1u) << c.comment << " / " << c.needle;
            EXPECT_EQ(matches[0].where, EMatchPlace::Comment);
            EXPECT_EQ(matches[0].offset, c.offset) << c.comment << " / " << c.needle;
        }
    }
}

} // namespace
} // namespace bram
