#pragma once
// A reader of INI files with the Windows profile semantics: section and key
// names compare case-insensitively, values are trimmed and lose one pair of
// enclosing quotes, the first occurrence of a section or key wins, and a
// missing file, section or key yields the default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CIniFile {
public:
    CIniFile() = default;
    // A file that cannot be read gives an empty object.
    static CIniFile Load(std::string_view path);
    static CIniFile Parse(std::string_view text);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view def) const;
    unsigned GetInt(std::string_view section, std::string_view key, unsigned def) const;
    // Data stored the framework's way: two letters 'A'+nibble per byte, low nibble first.
    bool GetBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& data) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> m_entries;
};

// Integer parsing as the platform's profile reader does it: optional sign and
// leading digits; no digits reads as 0. Negative values wrap as unsigned.
unsigned ParseProfileInt(std::string_view text);

} // namespace bram
