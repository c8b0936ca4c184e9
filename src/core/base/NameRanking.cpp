#include "base/NameRanking.h"

#include "base/Text.h"

#include <algorithm>

namespace bram {

namespace {

// The base letters of U+00C0..U+017F, lower case; '*' marks a letter that
// folds to two ("ae", "ij", "oe", "th", "ss"), '!' one that is no letter.
constexpr std::string_view kLatinBase = "aaaaaa*ceeeeiiiidnooooo!ouuuuy**"
                                        "aaaaaa*ceeeeiiiidnooooo!ouuuuy*y"
                                        "aaaaaaccccccccdd"
                                        "ddeeeeeeeeeegggg"
                                        "gggghhhhiiiiiiii"
                                        "ii**jjkkklllllll"
                                        "lllnnnnnnnnnoooo"
                                        "oo**rrrrrrssssss"
                                        "ssttttttuuuuuuuu"
                                        "uuuuwwyyyzzzzzzs";

std::string_view TwoLetters(char16_t c)
{
    switch (c) {
    case 0xC6:
    case 0xE6: return "ae";
    case 0xDE:
    case 0xFE: return "th";
    case 0xDF: return "ss";
    case 0x132:
    case 0x133: return "ij";
    case 0x152:
    case 0x153: return "oe";
    default: return {};
    }
}

bool IsWordCharacter(char c)
{
    // Bytes of other scripts count as letters.
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::vector<std::string> QueryWords(std::string_view query)
{
    std::vector<std::string> words;
    const std::string folded = FoldForMatching(query);
    std::size_t start = 0;
    while (start < folded.size()) {
        const std::size_t end = std::min(folded.find_first_of(" \t\r\n", start), folded.size());
        if (end > start) {
            words.push_back(folded.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

} // namespace

std::string FoldForMatching(std::string_view utf8)
{
    const std::u16string lowered = Utf8ToUtf16(ToLowerUnicode(utf8));
    std::string out;
    out.reserve(utf8.size());
    std::u16string other;
    const auto flush = [&out, &other] {
        if (!other.empty()) {
            out += Utf16ToUtf8(other);
            other.clear();
        }
    };
    for (const char16_t c : lowered) {
        if (c < 0x80) {
            flush();
            out += static_cast<char>(c);
            continue;
        }
        const char base = c >= 0xC0 && c < 0x180 ? kLatinBase[c - 0xC0] : '!';
        if (base == '!') {
            other += c;
        } else {
            flush();
            if (base == '*') {
                out += TwoLetters(c);
            } else {
                out += base;
            }
        }
    }
    flush();
    return out;
}

std::size_t CNameRanking::Add(std::string_view name, std::string_view description)
{
    m_entries.push_back({FoldForMatching(name), FoldForMatching(description), 0});
    return m_entries.size() - 1;
}

void CNameRanking::SetRecency(std::size_t entry, std::uint64_t stamp)
{
    if (entry < m_entries.size()) {
        m_entries[entry].recency = stamp;
    }
}

CNameRanking::EMatch CNameRanking::Match(std::size_t entry, std::string_view foldedWord) const
{
    const SEntry& e = m_entries[entry];
    EMatch best = NoMatch;
    for (std::size_t at = e.name.find(foldedWord); at != std::string::npos; at = e.name.find(foldedWord, at + 1)) {
        if (at == 0) {
            return NameStart;
        }
        if (!IsWordCharacter(e.name[at - 1])) {
            return WordStart;
        }
        best = Anywhere;
    }
    if (best == NoMatch && e.description.find(foldedWord) != std::string::npos) {
        best = InDescription;
    }
    return best;
}

std::vector<std::size_t> CNameRanking::Rank(std::string_view query, std::size_t limit) const
{
    struct SScore {
        unsigned score;
        std::uint64_t recency;
        std::size_t index;
    };
    const std::vector<std::string> words = QueryWords(query);
    std::vector<SScore> found;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        unsigned score = 0;
        bool all = true;
        for (const std::string& word : words) {
            const EMatch match = Match(i, word);
            all = match != NoMatch;
            if (!all) {
                break;
            }
            score += match;
        }
        if (all) {
            found.push_back({score, m_entries[i].recency, i});
        }
    }
    const auto better = [](const SScore& a, const SScore& b) {
        if (a.score != b.score) {
            return a.score < b.score;
        }
        if (a.recency != b.recency) {
            return a.recency > b.recency;
        }
        return a.index < b.index;
    };
    const std::size_t kept = std::min(limit, found.size());
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(kept), found.end(), better);
    std::vector<std::size_t> ranked;
    ranked.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) {
        ranked.push_back(found[i].index);
    }
    return ranked;
}

} // namespace bram
