#pragma once

#include <string>
#include <string_view>

namespace bram {

// Expands %NAME% references. Unknown names stay as written. When unset, the
// well-known Windows names fall back: AppData to $XDG_CONFIG_HOME or
// ~/.config; TEMP and TMP to $TMPDIR, $XDG_RUNTIME_DIR, $XDG_CACHE_HOME or
// ~/.cache, and only then to the shared /tmp; USERPROFILE to $HOME.
std::string ExpandEnvironmentStrings(std::string_view text);

} // namespace bram
