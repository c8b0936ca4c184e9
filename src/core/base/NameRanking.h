#pragma once
// Finding things by typing words of their names: a list of entries (a name
// and an optional description) ranked against a query. Every word of the
// query must occur, in any order, ignoring case and accents; an entry ranks
// higher the better its words match (at the start of the name, at the start
// of a word of the name, anywhere in the name, in the description). Among
// equal matches the most recently used entry comes first, then the order of
// the list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

// Lower case, with the accented Latin letters (Latin-1 and Latin Extended-A)
// as their base letters: "Über" -> "uber", "Straße" -> "strasse", "é" -> "e".
// Other characters are only lowered.
std::string FoldForMatching(std::string_view utf8);

class CNameRanking {
public:
    // How well one query word matches an entry, best first.
    enum EMatch : unsigned { NameStart = 0, WordStart = 1, Anywhere = 2, InDescription = 3, NoMatch = 4 };

    // Returns the entry's index.
    std::size_t Add(std::string_view name, std::string_view description = {});
    std::size_t GetCount() const { return m_entries.size(); }
    // When the entry was last used: a larger stamp is more recent; 0, never.
    void SetRecency(std::size_t entry, std::uint64_t stamp);

    // How well a (folded) query word matches entry.
    EMatch Match(std::size_t entry, std::string_view foldedWord) const;
    // The indexes of the entries that hold every word of the query, best
    // first, at most `limit`. An empty query lists every entry, the most
    // recently used first.
    std::vector<std::size_t> Rank(std::string_view query, std::size_t limit = SIZE_MAX) const;

private:
    struct SEntry {
        std::string name;
        std::string description;
        std::uint64_t recency = 0;
    };
    std::vector<SEntry> m_entries;
};

} // namespace bram
