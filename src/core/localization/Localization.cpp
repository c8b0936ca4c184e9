#include "localization/Localization.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "xml/XmlDocument.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace bram {

namespace {

struct Registry {
    std::string folder;
    std::string language;
    // Every table ever created, in creation order.
    std::vector<std::unique_ptr<CLocalizationTable>> tables;
    // Path -> the first registered table with that path, which answers lookups.
    std::unordered_map<std::string, CLocalizationTable*> firstByPath;
};

Registry& Reg()
{
    static Registry registry;
    return registry;
}

CLocalizationTable* Register(std::unique_ptr<CLocalizationTable> table)
{
    Registry& reg = Reg();
    CLocalizationTable* raw = table.get();
    reg.tables.push_back(std::move(table));
    reg.firstByPath.emplace(raw->GetPath(), raw);
    return raw;
}

std::string GroupPath(std::string_view group)
{
    const Registry& reg = Reg();
    return reg.folder + reg.language + "/" + std::string(group) + ".xml";
}

} // namespace

bool CLocalizationTable::ReadDocument(CXmlDocument& doc)
{
    const CXmlNode root = doc.GetDocumentElement();
    if (root.IsNull() || root.GetType() != EXmlNodeType::Element || root.GetName() != "stringtable") {
        return false;
    }
    for (pugi::xml_node s = root.Native().child("string"); s; s = s.next_sibling("string")) {
        const CXmlNode entry(s);
        const auto id = entry.GetAttribute("id");
        if (!id) {
            continue;
        }
        if (auto text = entry.FindText()) {
            m_entries[*id] = std::move(*text);
        }
    }
    return true;
}

bool CLocalizationTable::LoadFromFile(const std::string& path)
{
    m_path = path;
    CXmlDocument doc;
    if (!doc.LoadFile(path) || !ReadDocument(doc)) {
        LogPrintf("Could not open file %s.\n", path.c_str());
        return false;
    }
    return true;
}

const std::string* CLocalizationTable::Find(std::string_view identifier) const
{
    const auto it = m_entries.find(identifier);
    return it == m_entries.end() ? nullptr : &it->second;
}

std::string CLocalizationTable::Lookup(std::string_view identifier) const
{
    if (const std::string* text = Find(identifier)) {
        return *text;
    }
    std::string id(identifier);
    LogPrintf("Key %s in file %s not found.\n", id.c_str(), m_path.c_str());
    return id;
}

void SetLocalizationPath(std::string_view folder)
{
    if (!folder.empty()) {
        Reg().folder = WithTrailingSeparator(ToDiskPath(folder));
    }
}

const std::string& GetLocalizationPath() { return Reg().folder; }

void SetLanguage(std::string_view language)
{
    const std::size_t length = Utf16Length(language);
    if (length >= 2 && length < 5) {
        Reg().language = std::string(language);
    }
}

const std::string& GetLanguage() { return Reg().language; }

std::string GetLocalizedString(std::string_view key)
{
    const auto slash = key.find('/');
    if (slash == std::string_view::npos || slash == 0) {
        return {};
    }
    const std::string path = GroupPath(key.substr(0, slash));
    Registry& reg = Reg();
    CLocalizationTable* table = nullptr;
    if (const auto it = reg.firstByPath.find(path); it != reg.firstByPath.end()) {
        table = it->second;
    } else {
        auto loaded = std::make_unique<CLocalizationTable>();
        loaded->LoadFromFile(path);
        table = Register(std::move(loaded));
    }
    return table->Lookup(key.substr(slash + 1));
}

CLocalizationTable* LoadLocalizationTable(std::string_view group)
{
    auto table = std::make_unique<CLocalizationTable>();
    table->LoadFromFile(GroupPath(group));
    return Register(std::move(table));
}

CLocalizationTable* LoadLocalizationFile(const std::string& path)
{
    auto table = std::make_unique<CLocalizationTable>();
    table->LoadFromFile(ToDiskPath(path));
    return Register(std::move(table));
}

void ReleaseLocalizationTables()
{
    Registry& reg = Reg();
    reg.firstByPath.clear();
    reg.tables.clear();
}

std::size_t GetLocalizationTableCount() { return Reg().tables.size(); }

void ResetLocalization()
{
    ReleaseLocalizationTables();
    Reg().folder.clear();
    Reg().language.clear();
}

std::string FormatParameterPlaceholder(int index)
{
    // Called for every argument of every instruction the script prints.
    std::string placeholder = "![Parameter";
    placeholder += std::to_string(index + 1);
    placeholder += ']';
    return placeholder;
}

std::vector<std::string> SplitAtPlaceholders(std::string_view text, const std::vector<std::string>& parameters)
{
    std::vector<std::string> pieces;
    std::string_view rest = text;
    for (std::size_t n = 1; n <= parameters.size(); ++n) {
        const std::string placeholder = FormatParameterPlaceholder(static_cast<int>(n - 1));
        const auto pos = rest.find(placeholder);
        if (pos == std::string_view::npos) {
            break;
        }
        pieces.emplace_back(rest.substr(0, pos));
        pieces.push_back(parameters[n - 1]);
        rest.remove_prefix(pos + placeholder.size());
    }
    if (!rest.empty()) {
        pieces.emplace_back(rest);
    }
    return pieces;
}

void AppendFilledPlaceholders(std::string& out, std::string_view pattern, std::size_t count, AppendArgument append,
                              const void* context)
{
    static constexpr std::string_view kPrefix = "![Parameter";
    // The number of a well-formed placeholder at `at` ("![Parameter" digits "]",
    // without leading zeros, as FormatParameterPlaceholder writes it), or 0.
    auto numberAt = [&](std::size_t at, std::size_t& next) -> std::size_t {
        std::size_t i = at + kPrefix.size();
        if (i >= pattern.size() || pattern[i] < '1' || pattern[i] > '9') {
            return 0;
        }
        std::size_t number = 0;
        for (; i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9'; ++i) {
            number = number > count ? number : number * 10 + static_cast<std::size_t>(pattern[i] - '0');
        }
        if (i >= pattern.size() || pattern[i] != ']' || number > count) {
            return 0;
        }
        next = i + 1;
        return number;
    };
    // One scan notes every placeholder (a template has a handful); the
    // filling then stops at the first number that does not occur.
    struct Found {
        std::size_t at;
        std::size_t next;
        std::size_t number;
    };
    Found smallFound[16];
    std::vector<Found> largeFound;
    std::size_t foundCount = 0;
    unsigned char smallSeen[64];
    std::vector<unsigned char> largeSeen;
    unsigned char* seen = smallSeen;
    if (count > sizeof smallSeen) {
        largeSeen.resize(count);
        seen = largeSeen.data();
    }
    std::fill(seen, seen + count, static_cast<unsigned char>(0));
    for (std::size_t at = pattern.find(kPrefix); at != std::string_view::npos; at = pattern.find(kPrefix, at + 1)) {
        std::size_t next = 0;
        const std::size_t number = numberAt(at, next);
        if (number == 0) {
            continue;
        }
        if (seen[number - 1] < 2) {
            ++seen[number - 1];
        }
        const Found found{at, next, number};
        if (foundCount < std::size(smallFound)) {
            smallFound[foundCount] = found;
        } else {
            if (largeFound.empty()) {
                largeFound.assign(std::begin(smallFound), std::end(smallFound));
            }
            largeFound.push_back(found);
        }
        ++foundCount;
        at = next - 1;
    }
    const Found* placeholders = largeFound.empty() ? smallFound : largeFound.data();
    std::size_t filled = 0;
    while (filled < count && seen[filled] != 0) {
        ++filled;
    }
    std::size_t pos = 0;
    for (std::size_t i = 0; i < foundCount; ++i) {
        const Found& found = placeholders[i];
        if (found.number > filled) {
            continue;
        }
        out.append(pattern.substr(pos, found.at - pos));
        append(context, out, found.number - 1);
        pos = found.next;
    }
    out.append(pattern.substr(pos));
    for (std::size_t n = 0; n < filled; ++n) {
        if (seen[n] > 1) {
            AssertionFailed("Localization.cpp", __LINE__);
        }
    }
}

std::string FillPlaceholders(std::string_view text, const std::vector<std::string>& parameters)
{
    std::string out(text);
    for (std::size_t n = 1; n <= parameters.size(); ++n) {
        const std::string placeholder = FormatParameterPlaceholder(static_cast<int>(n - 1));
        const auto first = out.find(placeholder);
        if (first == std::string::npos) {
            break;
        }
        if (out.find(placeholder, first + placeholder.size()) == std::string::npos) {
            out.replace(first, placeholder.size(), parameters[n - 1]);
        } else {
            ReplaceAll(out, placeholder, parameters[n - 1]);
            AssertionFailed("Localization.cpp", __LINE__);
        }
    }
    return out;
}

} // namespace bram
