#include "base/Paths.h"

#include "base/Text.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {

std::string ToDiskPath(std::string_view path)
{
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

std::string WithTrailingSeparator(std::string_view path)
{
    std::string out(path);
    if (out.empty() || !IsPathSeparator(out.back())) {
        out += '/';
    }
    return out;
}

std::string FileNamePart(std::string_view path)
{
    const auto pos = path.find_last_of("\\/");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string TextBeforeLastSeparator(std::string_view path)
{
    const auto pos = path.find_last_of("\\/");
    return std::string(pos == std::string_view::npos ? path : path.substr(0, pos));
}

std::string ResolveFrom(std::string_view base, std::string_view path)
{
    std::string disk = ToDiskPath(path);
    if (!disk.empty() && disk.front() == '/') {
        return disk;
    }
    return WithTrailingSeparator(ToDiskPath(base)) + disk;
}

bool FolderExists(std::string_view path)
{
    if (path.empty()) {
        return false;
    }
    struct stat st {};
    return ::stat(ToDiskPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(std::string_view path)
{
    if (path.empty()) {
        return false;
    }
    struct stat st {};
    return ::stat(ToDiskPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<unsigned long long> FileSize(std::string_view path)
{
    struct stat st {};
    if (path.empty() || ::stat(ToDiskPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<unsigned long long>(st.st_size);
}

namespace {

// The folders of a disk path up to its last "/"; empty when it has none.
std::string_view FoldersOf(std::string_view diskPath)
{
    const auto slash = diskPath.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    return slash == 0 ? diskPath.substr(0, 1) : diskPath.substr(0, slash);
}

// Calls step(folderFd, folderPath, part) for each element of a "/" path,
// walking from the root or the working folder; each step opens the next
// folder relative to the one before, so the work grows with the path's
// length, not with its square. Stops early when step returns false or a
// folder cannot be opened. Returns the descriptor of the last folder reached
// (the caller closes it) or -1.
template <typename Step>
int WalkFolders(std::string_view folders, Step step)
{
    int fd = ::open(!folders.empty() && folders.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::size_t pos = 0;
    while (fd >= 0 && pos < folders.size()) {
        std::size_t end = folders.find('/', pos);
        if (end == std::string_view::npos) {
            end = folders.size();
        }
        if (end > pos) {
            const std::string part(folders.substr(pos, end - pos));
            std::string_view folderPath = folders.substr(0, pos);
            while (folderPath.size() > 1 && folderPath.back() == '/') {
                folderPath.remove_suffix(1);
            }
            if (!step(fd, folderPath.empty() ? std::string_view(".") : folderPath, part)) {
                ::close(fd);
                return -1;
            }
            const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        pos = end + 1;
    }
    return fd;
}

void CreateFolders(std::string_view folders, mode_t mode)
{
    const int fd = WalkFolders(folders, [mode](int parent, std::string_view, const std::string& part) {
        ::mkdirat(parent, part.c_str(), mode); // an existing folder is fine
        return true;
    });
    if (fd >= 0) {
        ::close(fd);
    }
}

// Why another user could change what is in the folder, or empty.
std::string ForeignAccess(int fd, std::string_view name, bool holdsTheFile)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return "the folder " + std::string(name) + " cannot be checked";
    }
    if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        return "the folder " + std::string(name) + " belongs to another user";
    }
    // The sticky bit keeps others from renaming what is ours in a shared
    // folder above; in the folder of the file they could still plant names.
    if ((st.st_mode & S_IWOTH) != 0 && (holdsTheFile || (st.st_mode & S_ISVTX) == 0)) {
        return "the folder " + std::string(name) + " is writable by other users";
    }
    return {};
}

} // namespace

void PrepareFoldersForPath(std::string_view path)
{
    const std::string disk = ToDiskPath(path);
    if (disk.size() < kMaxPathBytes) {
        CreateFolders(FoldersOf(disk), 0700);
    }
}

void CreateFolderChain(std::string_view folder)
{
    const std::string disk = ToDiskPath(folder);
    if (disk.size() < kMaxPathBytes) {
        CreateFolders(FoldersOf(disk), 0777);
    }
}

int OpenPrivateFolder(std::string_view path, std::string& problem)
{
    problem.clear();
    const std::string disk = ToDiskPath(path);
    if (disk.size() >= kMaxPathBytes) {
        problem = StringPrintf("the path is longer than the system's limit of %zu bytes", kMaxPathBytes);
        return -1;
    }
    const std::string_view folders = FoldersOf(disk);
    // Each folder above is checked as the walk leaves it, the file's own
    // folder at the end.
    const int fd = WalkFolders(folders, [&problem](int parent, std::string_view parentPath, const std::string&) {
        problem = ForeignAccess(parent, parentPath, false);
        return problem.empty();
    });
    if (fd < 0) {
        return -1;
    }
    problem = ForeignAccess(fd, folders.empty() ? std::string_view(".") : folders, true);
    if (!problem.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

// A descriptor of the regular file at path (its status in st), or -1; for a
// file that is not regular the reason goes to *reason. Without O_NONBLOCK
// opening a FIFO waits for a writer, maybe forever.
int OpenRegularFile(int folder, std::string_view path, int flags, struct stat& st, std::string* reason)
{
    const int fd = ::openat(folder, ToDiskPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0) {
        if (errno == ELOOP && (flags & O_NOFOLLOW) != 0 && reason != nullptr) {
            *reason = "The file is a symbolic link.";
        }
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (reason != nullptr) {
            *reason = "Not a regular file.";
        }
        return -1;
    }
    return fd;
}

// Reads the rest of the file and closes the descriptor.
std::optional<std::string> ReadFromDescriptor(int fd, const struct stat& st)
{
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

} // namespace

std::optional<std::string> ReadWholeFile(std::string_view path, std::string* reason)
{
    struct stat st {};
    const int fd = OpenRegularFile(AT_FDCWD, path, 0, st, reason);
    return fd < 0 ? std::nullopt : ReadFromDescriptor(fd, st);
}

std::optional<std::string> ReadWholeFileAt(int folder, std::string_view name, std::string* reason)
{
    struct stat st {};
    const int fd = OpenRegularFile(folder, name, O_NOFOLLOW, st, reason);
    return fd < 0 ? std::nullopt : ReadFromDescriptor(fd, st);
}

std::optional<CFileText> CFileText::Read(std::string_view path, std::string* reason)
{
    struct stat st {};
    const int fd = OpenRegularFile(AT_FDCWD, path, 0, st, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    CFileText text;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    // One byte more than the size, so that a file that grew is noticed.
    text.m_capacity = (static_cast<std::size_t>(st.st_size) + page) / page * page;
    void* memory = ::mmap(nullptr, text.m_capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        ::close(fd);
        return std::nullopt;
    }
    text.m_data = static_cast<char*>(memory);
    for (;;) {
        if (text.m_size == text.m_capacity) {
            void* grown = ::mremap(text.m_data, text.m_capacity, 2 * text.m_capacity, MREMAP_MAYMOVE);
            if (grown == MAP_FAILED) {
                ::close(fd);
                return std::nullopt;
            }
            text.m_data = static_cast<char*>(grown);
            text.m_capacity *= 2;
        }
        const ssize_t n = ::read(fd, text.m_data + text.m_size, text.m_capacity - text.m_size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            return n == 0 ? std::optional<CFileText>(std::move(text)) : std::nullopt;
        }
        text.m_size += static_cast<std::size_t>(n);
    }
}

CFileText::CFileText(CFileText&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_capacity(other.m_capacity), m_released(other.m_released)
{
    other.m_data = nullptr;
}

CFileText::~CFileText()
{
    if (m_data != nullptr) {
        ::munmap(m_data, m_capacity);
    }
}

void CFileText::ReleaseBefore(const char* upTo)
{
    if (m_data == nullptr || upTo < m_data || upTo > m_data + m_size) {
        return;
    }
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = static_cast<std::size_t>(upTo - m_data) / page * page;
    if (end > m_released) {
        ::madvise(m_data + m_released, end - m_released, MADV_DONTNEED);
        m_released = end;
    }
}

namespace {

constexpr std::string_view kTempInfix = ".tmp";

// The file a save replaces: links are followed to the file they name.
std::optional<std::string> SaveTarget(std::string target)
{
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[kMaxPathBytes];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) {
            return target; // not a link (or not there yet)
        }
        std::string next(buffer, static_cast<std::size_t>(n));
        // A relative link is taken from the link's own folder.
        if (const auto slash = target.rfind('/'); next.front() != '/' && slash != std::string::npos) {
            next.insert(0, target, 0, slash + 1);
        }
        target = std::move(next);
    }
    return std::nullopt;
}

// ".NAME.tmp", to which mkstemp adds six characters. A name too long to
// take that keeps its start and gets a hash of the whole name instead of the
// rest, so the temporary name fits the system's limit too.
std::string TempPrefix(std::string_view name)
{
    constexpr std::size_t kRoom = NAME_MAX - 1 - kTempInfix.size() - 6;
    if (name.size() <= kRoom) {
        return "." + std::string(name) + std::string(kTempInfix);
    }
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    std::size_t keep = kRoom - 9; // "~" and eight hex digits
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
        --keep; // not inside a UTF-8 sequence
    }
    return "." + std::string(name.substr(0, keep)) + StringPrintf("~%08x", hash) + std::string(kTempInfix);
}

bool IsTempSuffix(std::string_view suffix)
{
    if (suffix.size() != 6) {
        return false;
    }
    for (const char c : suffix) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// Removes what a killed save of the same file left: our own regular files of
// the temporary pattern, nothing else.
void RemoveStaleTempFiles(const std::string& folder, const std::string& prefix)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        struct stat st {};
        if (name.starts_with(prefix) && IsTempSuffix(name.substr(prefix.size())) &&
            ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid()) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// While a save runs, a termination request waits until the temporary file is
// renamed or removed, and a file size limit fails the write (EFBIG) instead
// of ending the process.
class CSaveSignalGuard {
public:
    CSaveSignalGuard()
    {
        sigset_t blocked;
        ::sigemptyset(&blocked);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            ::sigaddset(&blocked, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &blocked, &m_mask);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &m_fileSize);
    }
    ~CSaveSignalGuard()
    {
        ::sigaction(SIGXFSZ, &m_fileSize, nullptr);
        ::pthread_sigmask(SIG_SETMASK, &m_mask, nullptr);
    }
    CSaveSignalGuard(const CSaveSignalGuard&) = delete;
    CSaveSignalGuard& operator=(const CSaveSignalGuard&) = delete;

private:
    sigset_t m_mask{};
    struct sigaction m_fileSize {};
};

} // namespace

std::string WriteFileAtomically(std::string_view path, std::string_view data)
{
    return WriteFileAtomically(path, [data](const FileWriter& write) { write(data); });
}

std::string WriteFileAtomically(std::string_view path, const std::function<void(const FileWriter&)>& produce)
{
    const std::optional<std::string> resolved = SaveTarget(ToDiskPath(path));
    if (!resolved) {
        return std::string("Could not follow the symbolic link: ") + std::strerror(ELOOP);
    }
    const std::string& target = *resolved;
    // Renaming over a FIFO or a device would replace the node itself (as root
    // even /dev/null), not write to it.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return "Not a regular file.";
    }
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string prefix = TempPrefix(slash == std::string::npos ? target : target.substr(slash + 1));
    RemoveStaleTempFiles(folder, prefix);

    const CSaveSignalGuard signals;
    std::string temp = folder + "/" + prefix + "XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return std::string("Could not create a temporary file: ") + std::strerror(errno);
    }
    auto fail = [&](const char* what) {
        std::string reason = std::string(what) + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return reason;
    };
    int writeError = 0;
    const FileWriter write = [&](std::string_view piece) {
        std::size_t written = 0;
        while (writeError == 0 && written < piece.size()) {
            const ssize_t n = ::write(fd, piece.data() + written, piece.size() - written);
            if (n >= 0) {
                written += static_cast<std::size_t>(n);
            } else if (errno != EINTR) {
                writeError = errno;
            }
        }
    };
    try {
        produce(write);
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (writeError != 0) {
        errno = writeError;
        return fail("Could not write the file");
    }
    // Keep the permissions of the file being replaced; new files get the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (::fsync(fd) != 0) {
        return fail("Could not flush the file");
    }
    if (::close(fd) != 0) {
        std::string reason = std::string("Could not close the file: ") + std::strerror(errno);
        ::unlink(temp.c_str());
        return reason;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        std::string reason = std::string("Could not replace the file: ") + std::strerror(errno);
        ::unlink(temp.c_str());
        return reason;
    }
    return {};
}

} // namespace bram
