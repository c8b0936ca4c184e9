#include "document/Recovery.h"

#include "base/Paths.h"
#include "document/ApplicationDocument.h"
#include "settings/ApplicationBase.h"

#include <algorithm>
#include <cerrno>
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

std::string LockName(const std::string& pid) { return "editor-" + pid + ".lock"; }

// True when an editor still holds the lock of that process id.
bool EditorRuns(const std::string& folder, const std::string& pid)
{
    const int fd = ::open((folder + LockName(pid)).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
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
// name should not hold.
std::string Stem(const std::string& documentPath)
{
    std::string name = documentPath.empty() ? std::string("Untitled") : FileNamePart(documentPath);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.erase(dot); // "Work.bdf" is kept as "<pid>-Work.bdf", not "<pid>-Work.bdf.bdf"
    }
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; }, '_');
    return name;
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
        ::unlink((m_folder + LockName(std::to_string(::getpid()))).c_str());
    }
}

bool CRecoveryStore::Prepare()
{
    if (m_lock >= 0) {
        return true;
    }
    ::mkdir(m_folder.c_str(), 0700);
    const std::string lock = m_folder + LockName(std::to_string(::getpid()));
    m_lock = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock);
        m_lock = -1;
    }
    return m_lock >= 0;
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
    if (!Prepare()) {
        return fail("Could not use the recovery folder " + m_folder + ": " + std::strerror(errno));
    }
    std::string data;
    try {
        data = document.WriteDataFile();
    } catch (const CException& e) {
        return fail(e.GetErrorMessage());
    }
    const std::string base = m_folder + OwnStem() + Stem(document.GetPathName());
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

std::vector<CRecoveryStore::SRecoverable> CRecoveryStore::FindRecoverable() const
{
    std::vector<SRecoverable> found;
    DIR* dir = ::opendir(m_folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::size_t dash = name.find('-');
        if (dash == std::string::npos || !name.ends_with(kData) ||
            !std::all_of(name.begin(), name.begin() + static_cast<long>(dash), ::isdigit)) {
            continue;
        }
        const std::string pid = name.substr(0, dash);
        if (pid == std::to_string(::getpid()) || EditorRuns(m_folder, pid)) {
            continue;
        }
        const std::string base = m_folder + name.substr(0, name.size() - std::strlen(kData));
        const auto origin = ReadWholeFile(base + kOrigin);
        if (!origin) {
            continue;
        }
        const timespec written = ModifiedAt(base + kData);
        if (origin->empty() || Later(written, ModifiedAt(*origin))) {
            found.push_back({base + kData, *origin, written.tv_sec});
        }
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.written > b.written; });
    return found;
}

bool CRecoveryStore::Restore(CApplicationDocument& document, const SRecoverable& recoverable, std::string* error)
{
    if (!document.OpenDocument(recoverable.file, error)) {
        return false;
    }
    document.SetRecoveredPath(recoverable.documentPath);
    return true;
}

void CRecoveryStore::Discard(const SRecoverable& recoverable)
{
    ::unlink(recoverable.file.c_str());
    ::unlink((recoverable.file.substr(0, recoverable.file.size() - std::strlen(kData)) + kOrigin).c_str());
}

} // namespace bram
