#pragma once
// Localized string tables: one XML file per key group and language, loaded
// on first use and kept until shut-down. A missing text shows as its
// identifier, never as an empty text.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CLocalizationTable {
public:
    CLocalizationTable() = default;
    explicit CLocalizationTable(std::string path) : m_path(std::move(path)) {}

    // Reads a string table file; logs "Could not open file" on failure.
    bool LoadFromFile(const std::string& path);

    // The text of the identifier, or the identifier itself (logged) when missing.
    std::string Lookup(std::string_view identifier) const;
    const std::string* Find(std::string_view identifier) const;

    const std::string& GetPath() const { return m_path; }
    std::size_t GetEntryCount() const { return m_entries.size(); }

private:
    bool ReadDocument(class CXmlDocument& doc);

    std::string m_path;
    std::map<std::string, std::string, std::less<>> m_entries;
};

void SetLocalizationPath(std::string_view folder);
const std::string& GetLocalizationPath();
void SetLanguage(std::string_view language);
const std::string& GetLanguage();

// "Group/Identifier" -> text from localization folder + language + "/" + group + ".xml".
std::string GetLocalizedString(std::string_view key);
CLocalizationTable* LoadLocalizationTable(std::string_view group);
CLocalizationTable* LoadLocalizationFile(const std::string& path);
void ReleaseLocalizationTables();
std::size_t GetLocalizationTableCount();
// Forgets folder and language too; for a fresh start (tests, a second start-up).
void ResetLocalization();

std::string FormatParameterPlaceholder(int index);
std::vector<std::string> SplitAtPlaceholders(std::string_view text, const std::vector<std::string>& parameters);
std::string FillPlaceholders(std::string_view text, const std::vector<std::string>& parameters);

// Fills a pattern numbered like FillPlaceholders (in order; the first missing
// number ends the filling; a repeated placeholder is an internal error), but
// each argument goes in once and is never scanned again, so text that an
// argument contributes (a user's literal holding "![Parameter2]") stays as
// it is. append(context, out, i) appends argument i.
using AppendArgument = void (*)(const void* context, std::string& out, std::size_t index);
void AppendFilledPlaceholders(std::string& out, std::string_view pattern, std::size_t count, AppendArgument append,
                              const void* context);

} // namespace bram
