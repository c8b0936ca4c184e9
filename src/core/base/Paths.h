#pragma once
// Path helpers. Settings and data may name paths with "\" or "/"; on disk we
// always use "/". Folders are held with a trailing separator.

#include <cstddef>
#include <functional>
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

// The longest path the system takes, in bytes with the terminator (PATH_MAX).
inline constexpr std::size_t kMaxPathBytes = 4096;

// Creates the folders on the way to the last separator with mode 0700, never
// the last element; failures are ignored. Used for the log and dump paths. A
// path of kMaxPathBytes or more creates nothing.
void PrepareFoldersForPath(std::string_view path);

// Creates every missing folder of a folder path (which ends in a separator).
void CreateFolderChain(std::string_view folder);

// Opens (O_PATH) the folder that holds `path`, the text before its last
// separator, for a file that only this user may see. Returns -1 with the
// reason in `problem` when another user could reach into it: the folder must
// belong to this user (or root) and not be writable by others; a folder above
// it may be writable by others only with the sticky bit (as /tmp is). A path
// of kMaxPathBytes or more is refused too. A folder that does not exist gives
// -1 with no problem.
int OpenPrivateFolder(std::string_view path, std::string& problem);

// Reads a whole file; nullopt when it cannot be read. A path that names no
// regular file (a FIFO, a device, a folder) is refused before anything is
// read, with "Not a regular file." in `reason` when it is given.
std::optional<std::string> ReadWholeFile(std::string_view path, std::string* reason = nullptr);
// The same for the file `name` in the folder of the descriptor (as from
// OpenPrivateFolder), never through a symbolic link: a link is refused with
// "The file is a symbolic link." in `reason`.
std::optional<std::string> ReadWholeFileAt(int folder, std::string_view name, std::string* reason = nullptr);

// A whole file in memory of its own (read as ReadWholeFile reads), whose
// pages a reader gives back once it is done with them, so that a big file
// does not stay in memory beside what is made of it.
class CFileText {
public:
    static std::optional<CFileText> Read(std::string_view path, std::string* reason = nullptr);
    CFileText(CFileText&& other) noexcept;
    CFileText& operator=(CFileText&&) = delete;
    CFileText(const CFileText&) = delete;
    ~CFileText();

    std::string_view View() const { return {m_data, m_size}; }
    // Gives back the whole pages before `upTo`, a place in View() (other
    // places are ignored). The bytes there must not be read again.
    void ReleaseBefore(const char* upTo);

private:
    CFileText() = default;
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_released = 0;
};

// Writes through a temporary file beside the target, flushed, then renamed
// over it, so a failure never leaves a truncated target. Returns an empty
// text on success, else the reason.
// - A symbolic link is followed: its target gets the new content and the
//   link stays, as editors do.
// - A target that is there but no regular file (a FIFO, a device, a folder)
//   is refused with "Not a regular file."
// - The temporary file is ".NAME.tmpXXXXXX" (a name too long for that keeps
//   its start and a hash of the rest); a failed save removes it, and
//   Ctrl+C or a termination request during the save waits until it is done.
//   Temporary files of that pattern left by a killed save are removed by
//   the next save of the same file.
std::string WriteFileAtomically(std::string_view path, std::string_view data);
// The same with the content made while it is written: produce hands each
// piece to the writer it gets (after a failed write the rest is dropped). An
// exception from produce removes the temporary file and goes on to the caller.
using FileWriter = std::function<void(std::string_view piece)>;
std::string WriteFileAtomically(std::string_view path, const std::function<void(const FileWriter&)>& produce);

} // namespace bram
