#include "base/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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
// Creates the folder named by each prefix that ends just before a separator.
void CreatePrefixes(std::string_view path)
{
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (!IsPathSeparator(path[i]) || i == 0) {
            continue;
        }
        const std::string_view prefix = path.substr(0, i);
        if (!FolderExists(prefix)) {
            ::mkdir(ToDiskPath(prefix).c_str(), 0777);
        }
    }
}
} // namespace

void PrepareFoldersForPath(std::string_view path)
{
    if (FolderExists(TextBeforeLastSeparator(path))) {
        return;
    }
    CreatePrefixes(path);
}

void CreateFolderChain(std::string_view folder)
{
    if (!FolderExists(folder)) {
        CreatePrefixes(folder);
    }
}

std::optional<std::string> ReadWholeFile(std::string_view path)
{
    const int fd = ::open(ToDiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
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

std::string WriteFileAtomically(std::string_view path, std::string_view data)
{
    const std::string target = ToDiskPath(path);
    std::string temp = target + ".XXXXXX";
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
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("Could not write the file");
        }
        written += static_cast<std::size_t>(n);
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
