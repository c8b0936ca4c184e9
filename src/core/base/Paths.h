#pragma once
// Path helpers. Settings and data may name paths with "\" or "/"; on disk we
// always use "/". Folders are held with a trailing separator.

#include <optional>
#include <string>
#include <string_view>

namespace bram {

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Turns every "\" into "/".
std::string ToDiskPath(std::string_view path);

// Adds "/" unless the path already ends in "\" or "/".
std::string WithTrailingSeparator(std::string_view path);

// The name after the last "\" or "/".
std::string FileNamePart(std::string_view path);

// The text before the last separator, or the whole path when it has none.
std::string TextBeforeLastSeparator(std::string_view path);

// Relative paths (after conversion) are taken from base; absolute ones stay.
std::string ResolveFrom(std::string_view base, std::string_view path);

bool FolderExists(std::string_view path);
bool FileExists(std::string_view path);
std::optional<unsigned long long> FileSize(std::string_view path);

// Creates the folders on the way to the last separator, never the last
// element; failures are ignored. Used for the log and dump paths.
void PrepareFoldersForPath(std::string_view path);

// Creates every missing folder of a folder path (which ends in a separator).
void CreateFolderChain(std::string_view folder);

// Reads a whole file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(std::string_view path);

// Writes through a temporary file beside the target, flushed, then renamed
// over it, so a failure never leaves a truncated target. Returns an empty
// text on success, else the reason.
std::string WriteFileAtomically(std::string_view path, std::string_view data);

} // namespace bram
