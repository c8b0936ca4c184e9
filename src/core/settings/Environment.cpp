#include "settings/Environment.h"

#include "base/Text.h"

#include <cstdlib>
#include <optional>

extern char** environ;

namespace bram {

namespace {

std::optional<std::string> NonEmptyEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> PerUserCache()
{
    if (auto xdg = NonEmptyEnv("XDG_CACHE_HOME")) {
        return xdg;
    }
    if (auto home = NonEmptyEnv("HOME")) {
        return *home + "/.cache";
    }
    return std::nullopt;
}

std::optional<std::string> LookUp(std::string_view name)
{
    if (name.empty()) {
        return std::nullopt;
    }
    // Windows names ignore case; prefer an exact match, then any other spelling.
    if (auto exact = NonEmptyEnv(std::string(name).c_str())) {
        return exact;
    }
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string_view::npos && EqualsNoCase(entry.substr(0, eq), name) && eq + 1 < entry.size()) {
            return std::string(entry.substr(eq + 1));
        }
    }
    if (EqualsNoCase(name, "AppData")) {
        if (auto xdg = NonEmptyEnv("XDG_CONFIG_HOME")) {
            return xdg;
        }
        if (auto home = NonEmptyEnv("HOME")) {
            return *home + "/.config";
        }
    } else if (EqualsNoCase(name, "TEMP") || EqualsNoCase(name, "TMP")) {
        // A folder of this user's own before the shared /tmp, where another
        // user could have made our folders first.
        for (const char* variable : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
            if (auto folder = NonEmptyEnv(variable)) {
                return folder;
            }
        }
        if (auto cache = PerUserCache()) {
            return cache;
        }
        return std::string("/tmp");
    } else if (EqualsNoCase(name, "USERPROFILE")) {
        return NonEmptyEnv("HOME");
    }
    return std::nullopt;
}

} // namespace

std::string ExpandEnvironmentStrings(std::string_view text)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const auto close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        if (auto value = LookUp(text.substr(open + 1, close - open - 1))) {
            out.append(*value);
        } else {
            out.append(text.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    return out;
}

} // namespace bram
