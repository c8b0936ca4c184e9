#pragma once
// Files under tests/data (BRAMBLETON_TEST_DATA_DIR): whole files, XML laid
// out over indented lines, and tables of cases.
//
// Two forms of case table, '#' starting a comment line in both:
// - FieldCases: a line starting in the first column names a case, the
//   indented "key: value" lines below it are its fields; values take the
//   escapes \n, \r, \t, \\ and \xHH.
// - ExpectedCases: the lines of an input (joined with "\n"), then a line
//   "=> expected" ("=>" alone: expected is empty; "\n" in it is a line break).

#include "TestSupport.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bram::test {

inline std::string DataPath(const std::string& name) { return std::string(BRAMBLETON_TEST_DATA_DIR) + "/" + name; }
inline std::string DataFile(const std::string& name) { return ReadFile(DataPath(name)); }

// XML laid out over indented lines, as one line: a line break followed by
// blanks goes with them, as does the final line break; a line starting in
// the first column (text that holds a line break) keeps its own.
inline std::string JoinedDataFile(const std::string& name)
{
    const std::string text = DataFile(name);
    std::string joined;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i + 1 == text.size() || text[i + 1] == ' ')) {
            i = std::min(text.find_first_not_of(' ', i + 1), text.size()) - 1;
        } else {
            joined += text[i];
        }
    }
    return joined;
}

inline std::string Unescaped(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

struct FieldCase {
    std::string name;
    std::map<std::string, std::string> fields;
    // The field's value; "" when the case has none.
    std::string operator[](const std::string& key) const
    {
        const auto it = fields.find(key);
        return it != fields.end() ? it->second : std::string();
    }
    bool Has(const std::string& key) const { return fields.contains(key); }
};

inline std::vector<FieldCase> FieldCases(const std::string& name)
{
    std::vector<FieldCase> cases;
    std::istringstream in(DataFile(name));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] != ' ') {
            cases.push_back({line, {}});
        } else if (!cases.empty()) {
            const std::size_t start = line.find_first_not_of(' ');
            const std::size_t colon = line.find(':', start);
            const std::string value = colon + 1 < line.size() ? line.substr(colon + 1) : std::string();
            cases.back().fields[line.substr(start, colon - start)] =
                Unescaped(value.starts_with(' ') ? value.substr(1) : value);
        }
    }
    return cases;
}

struct ExpectedCase {
    std::string input;
    std::string expected;
};

inline std::vector<ExpectedCase> ExpectedCases(const std::string& name)
{
    std::vector<ExpectedCase> cases;
    std::istringstream lines(DataFile(name));
    std::string input;
    bool inCase = false;
    for (std::string line; std::getline(lines, line);) {
        if (!inCase && (line.empty() || line.starts_with('#'))) {
            continue;
        }
        if (line.starts_with("=>")) {
            std::string expected = line.size() > 3 ? line.substr(3) : "";
            for (std::size_t at = expected.find("\\n"); at != std::string::npos; at = expected.find("\\n", at)) {
                expected.replace(at, 2, "\n");
            }
            cases.push_back({input, expected});
            input.clear();
            inCase = false;
        } else {
            input += (inCase ? "\n" : "") + line;
            inCase = true;
        }
    }
    return cases;
}

} // namespace bram::test
