#include "document/Recovery.h"

#include "base/Paths.h"
#include "document/ApplicationDocument.h"
#include "log/Log.h"
#include "settings/ApplicationBase.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {

namespace {

constexpr char kData[] = ".bdf";
constexpr char kOrigin[] = ".origin";
constexpr std::size_t kSuffixRoom = 11; // "~" and a number

std::string LockName(const std::string& pid) { return "editor-" + pid + ".lock"; }

// True when an editor still holds the lock of that process id.
bool EditorRuns(int folder, const std::string& pid)
{
    const int fd = ::openat(folder, LockName(pid).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

struct timespec ModifiedAt(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim : timespec{};
}

bool Later(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// The document's file name without folders and without characters a file
// name should not hold, cut to `room` bytes so the recovery names fit the
// system's limit.
std::string Stem(const std::string& documentPath, std::size_t room)
{
    std::string name = documentPath.empty() ? std::string("Untitled") : FileNamePart(documentPath);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.erase(dot); // "Work.bdf" is kept as "<pid>-Work.bdf", not "<pid>-Work.bdf.bdf"
    }
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; }, '_');
    if (name.size() > room) {
        while (room > 0 && (static_cast<unsigned char>(name[room]) & 0xC0) == 0x80) {
            --room; // not inside a UTF-8 sequence
        }
        name.resize(room);
    }
    return name;
}

// What an origin file may name: nothing (an untitled document) or an
// absolute path, as the editor writes them.
bool IsOrigin(const std::string& origin)
{
    return origin.empty() || (origin.front() == '/' && origin.find('\0') == std::string::npos);
}

} // namespace

unsigned GetAutosaveMinutes()
{
    CApplicationBase* app = GetApplication();
    return app != nullptr ? app->GetSettingInt("User", "AutosaveMinutes", 2) : 2;
}

std::string RecoveryFolder(const std::string& userDataFolder)
{
    return WithTrailingSeparator(userDataFolder) + "recovery/";
}

CRecoveryStore::CRecoveryStore(const std::string& folder) : m_folder(WithTrailingSeparator(ToDiskPath(folder))) {}

CRecoveryStore::~CRecoveryStore()
{
    if (m_lock >= 0) {
        ::close(m_lock);
        ::unlinkat(m_dir, LockName(std::to_string(::getpid())).c_str(), 0);
    }
    if (m_dir >= 0) {
        ::close(m_dir);
    }
}

bool CRecoveryStore::OpenFolder(bool create, std::string& problem)
{
    problem.clear();
    if (m_dir >= 0) {
        return true;
    }
    if (create) {
        PrepareFoldersForPath(m_folder);
    }
    const int fd = OpenPrivateFolder(m_folder, problem);
    if (fd < 0) {
        if (!problem.empty()) {
            problem = "The recovery folder " + m_folder + " is not used: " + problem + ".";
        } else if (create) {
            problem = "Could not create the recovery folder " + m_folder + ".";
        }
        return false;
    }
    // The checks follow a link to a folder; this one must be the folder itself.
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) != 0 || ::lstat(m_folder.substr(0, m_folder.size() - 1).c_str(), &named) != 0 ||
        !S_ISDIR(named.st_mode) || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        ::close(fd);
        problem = "The recovery folder " + m_folder + " is not used: it is a symbolic link.";
        return false;
    }
    m_dir = fd;
    return true;
}

bool CRecoveryStore::Prepare(std::string& problem)
{
    if (m_lock >= 0) {
        return true;
    }
    if (!OpenFolder(true, problem)) {
        return false;
    }
    m_lock =
        ::openat(m_dir, LockName(std::to_string(::getpid())).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(m_lock);
        m_lock = -1;
        errno = error;
    }
    if (m_lock < 0) {
        problem = "Could not use the recovery folder " + m_folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string CRecoveryStore::OwnStem() const { return std::to_string(::getpid()) + "-"; }

bool CRecoveryStore::Write(const CApplicationDocument& document, std::string* error)
{
    auto fail = [error](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
        return false;
    };
    if (std::string problem; !Prepare(problem)) {
        return fail(problem);
    }
    std::string data;
    try {
        data = document.WriteDataFile();
    } catch (const CException& e) {
        return fail(e.GetErrorMessage());
    }
    const std::string own = OwnStem();
    // Room for "~N": a file of this name that this editor did not write was
    // left by an earlier editor with the same process id and is never overwritten.
    const std::string stem =
        own + Stem(document.GetPathName(), NAME_MAX - own.size() - std::strlen(kOrigin) - kSuffixRoom);
    const auto taken = [this](const std::string& name) {
        struct stat st {};
        return ::fstatat(m_dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    };
    std::string candidate = stem;
    for (unsigned n = 2; m_folder + candidate != m_written && (taken(candidate + kData) || taken(candidate + kOrigin));
         ++n) {
        candidate = stem + "~" + std::to_string(n);
    }
    const std::string base = m_folder + candidate;
    // The origin first: a data file without it would not be offered.
    std::string reason = WriteFileAtomically(base + kOrigin, document.GetPathName());
    if (reason.empty()) {
        reason = WriteFileAtomically(base + kData, data);
    }
    if (!reason.empty()) {
        return fail(reason);
    }
    if (!m_written.empty() && m_written != base) {
        Remove(); // the document was renamed: keep one recovery file
    }
    m_written = base;
    return true;
}

void CRecoveryStore::Remove()
{
    if (!m_written.empty()) {
        ::unlink((m_written + kData).c_str());
        ::unlink((m_written + kOrigin).c_str());
        m_written.clear();
    }
}

std::vector<CRecoveryStore::SRecoverable> CRecoveryStore::FindRecoverable()
{
    std::vector<SRecoverable> found;
    if (std::string problem; !OpenFolder(false, problem)) {
        if (!problem.empty()) {
            LogPrintf("%s\n", problem.c_str());
        }
        return found;
    }
    const int listing = ::openat(m_dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::size_t dash = name.find('-');
        if (dash == std::string::npos || !name.ends_with(kData) ||
            !std::all_of(name.begin(), name.begin() + static_cast<long>(dash), ::isdigit)) {
            continue;
        }
        // Under this editor's process id, a file it did not write was left by
        // an earlier editor with the same id (ids are reused, and each new
        // process namespace starts them again); the lock it holds is its own.
        const std::string pid = name.substr(0, dash);
        const bool ownId = pid == std::to_string(::getpid());
        if (ownId ? m_folder + name == m_written + kData || (m_lock < 0 && EditorRuns(m_dir, pid))
                  : EditorRuns(m_dir, pid)) {
            continue;
        }
        const std::string stem = name.substr(0, name.size() - std::strlen(kData));
        const auto origin = ReadWholeFileAt(m_dir, stem + kOrigin);
        struct stat data {};
        if (!origin || !IsOrigin(*origin) || ::fstatat(m_dir, name.c_str(), &data, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(data.st_mode)) {
            continue;
        }
        if (origin->empty() || Later(data.st_mtim, ModifiedAt(*origin))) {
            found.push_back({m_folder + name, *origin, data.st_mtim.tv_sec});
        }
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.written > b.written; });
    return found;
}

bool CRecoveryStore::Restore(CApplicationDocument& document, const SRecoverable& recoverable, bool pathConfirmed,
                             std::string* error)
{
    std::string reason;
    if (!OpenFolder(false, reason)) {
        if (error != nullptr) {
            *error = reason.empty() ? "The recovery folder " + m_folder + " is gone." : reason;
        }
        return false;
    }
    reason = "File could not be read.";
    const auto data = ReadWholeFileAt(m_dir, FileNamePart(recoverable.file), &reason);
    if (!data) {
        if (error != nullptr) {
            *error = "Could not load file " + recoverable.file + ": " + reason;
        }
        return false;
    }
    // Loaded on its own first: a file that does not load (broken, or of a
    // module that is not installed) must not cost the open document.
    if (!CApplicationDocument().OpenDocumentData(*data, recoverable.file, error) ||
        !document.OpenDocumentData(*data, recoverable.file, error)) {
        return false;
    }
    document.SetRecoveredPath(recoverable.documentPath, pathConfirmed);
    return true;
}

void CRecoveryStore::Discard(const SRecoverable& recoverable)
{
    ::unlink(recoverable.file.c_str());
    ::unlink((recoverable.file.substr(0, recoverable.file.size() - std::strlen(kData)) + kOrigin).c_str());
}

} // namespace bram
