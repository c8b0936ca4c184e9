// Finding by name: folding, the order of the ranks, words in any order,
// recent first on ties and the stable order of the list.

#include "base/NameRanking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bram {
namespace {

TEST(NameRanking, FoldingLowersAndDropsAccentsOfLatinLetters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Über", "uber"},           {"Straße", "strasse"},          {"ÄÖÜäöü", "aouaou"},
        {"Café Noël", "cafe noel"}, {"Œuvre Æsir", "oeuvre aesir"}, {"Łódź Čapek", "lodz capek"},
        {"2×3 Ω", "2×3 ω"},
    };
    for (const auto& [text, folded] : cases) {
        EXPECT_EQ(FoldForMatching(text), folded) << text;
    }
}

class NameRankingList : public ::testing::Test {
protected:
    NameRankingList()
    {
        for (const auto& [name, description] : kEntries) {
            ranking.Add(name, description);
        }
    }
    std::vector<std::string> Ranked(std::string_view query) const
    {
        std::vector<std::string> names;
        for (const std::size_t i : ranking.Rank(query)) {
            names.emplace_back(kEntries[i].first);
        }
        return names;
    }

    static constexpr std::pair<const char*, const char*> kEntries[] = {
        {"Set variable", "Gives a variable a value."},
        {"Reprint", "Prints again."},
        {"Print text", "Prints a text on its own line."},
        {"Wait", "Waits, then prints nothing."},
        {"Über alles", ""},
        {"Clear and print", ""},
        {"Print number", "Prints a number."},
    };
    CNameRanking ranking;
};

TEST_F(NameRankingList, NameStartComesBeforeWordStartBeforeAnywhereBeforeTheDescription)
{
    EXPECT_EQ(Ranked("print"),
              (std::vector<std::string>{"Print text", "Print number", "Clear and print", "Reprint", "Wait"}));
    EXPECT_EQ(Ranked("PRINT"), Ranked("print")) << "case is ignored";
    EXPECT_TRUE(Ranked("prunt").empty());
}

TEST_F(NameRankingList, EveryWordMustMatchInAnyOrder)
{
    EXPECT_EQ(Ranked("text print"), (std::vector<std::string>{"Print text"}));
    EXPECT_EQ(Ranked("  print   text "), Ranked("text print"));
    EXPECT_EQ(Ranked("num pr"), (std::vector<std::string>{"Print number"}));
    EXPECT_EQ(Ranked("value variable"), (std::vector<std::string>{"Set variable"}));
}

TEST_F(NameRankingList, AccentsAreIgnoredBothWays)
{
    EXPECT_EQ(Ranked("uber"), (std::vector<std::string>{"Über alles"}));
    EXPECT_EQ(Ranked("ÜBER"), (std::vector<std::string>{"Über alles"}));
    EXPECT_EQ(Ranked("wäit"), (std::vector<std::string>{"Wait"}));
}

TEST_F(NameRankingList, TheMostRecentlyUsedComesFirstOnTiesOnly)
{
    ranking.SetRecency(6, 1); // Print number
    ranking.SetRecency(1, 2); // Reprint, most recent but a worse match
    EXPECT_EQ(Ranked("print"),
              (std::vector<std::string>{"Print number", "Print text", "Clear and print", "Reprint", "Wait"}));
    // An empty query lists everything, the used ones first.
    const std::vector<std::string> all = Ranked("");
    ASSERT_EQ(all.size(), std::size(kEntries));
    EXPECT_EQ(all[0], "Reprint");
    EXPECT_EQ(all[1], "Print number");
    EXPECT_EQ(all[2], "Set variable") << "the others keep the order of the list";
    EXPECT_EQ(ranking.Rank("", 2), (std::vector<std::size_t>{1, 6}));
}

} // namespace
} // namespace bram
