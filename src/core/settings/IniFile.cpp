#include "settings/IniFile.h"

#include "base/Paths.h"
#include "base/Text.h"

namespace bram {

CIniFile CIniFile::Load(std::string_view path)
{
    const auto text = ReadWholeFile(path);
    return text ? Parse(*text) : CIniFile{};
}

CIniFile CIniFile::Parse(std::string_view text)
{
    CIniFile ini;
    if (StartsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::string section;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            const auto close = line.find(']');
            section = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inSection = true;
            continue;
        }
        const auto eq = line.find('=');
        if (!inSection || eq == std::string::npos) {
            continue;
        }
        std::string value = Trim(std::string_view(line).substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        ini.m_entries.push_back({section, Trim(std::string_view(line).substr(0, eq)), std::move(value)});
    }
    return ini;
}

std::optional<std::string> CIniFile::Find(std::string_view section, std::string_view key) const
{
    for (const Entry& e : m_entries) {
        if (EqualsNoCase(e.section, section) && EqualsNoCase(e.key, key)) {
            return e.value;
        }
    }
    return std::nullopt;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key, std::string_view def) const
{
    auto value = Find(section, key);
    return value ? *value : std::string(def);
}

unsigned CIniFile::GetInt(std::string_view section, std::string_view key, unsigned def) const
{
    const auto value = Find(section, key);
    return value ? ParseProfileInt(*value) : def;
}

bool CIniFile::GetBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& data) const
{
    data.clear();
    const auto value = Find(section, key);
    if (!value || value->size() % 2 != 0) {
        return false;
    }
    std::vector<std::uint8_t> out(value->size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int lo = (*value)[2 * i] - 'A';
        const int hi = (*value)[2 * i + 1] - 'A';
        if (lo < 0 || lo > 15 || hi < 0 || hi > 15) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
    data = std::move(out);
    return true;
}

unsigned ParseProfileInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<unsigned>(text[i] - '0');
    }
    return negative ? 0u - value : value;
}

} // namespace bram
