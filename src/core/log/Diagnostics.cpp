#include "log/Diagnostics.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "Version.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace bram {

CDiagnostics& CDiagnostics::Instance()
{
    static CDiagnostics diagnostics;
    return diagnostics;
}

void CDiagnostics::SetUp(const std::string& logPath, const std::string& dumpPrefix, bool printAssertions)
{
    TearDown();
    m_fd = ::open(ToDiskPath(logPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_dumpPrefix = dumpPrefix;
    m_printAssertions = printAssertions;
    WriteBytes("\xFF\xFE");
    WriteHeader();
}

void CDiagnostics::TearDown()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CDiagnostics::WriteHeader()
{
    WriteToFile("----------------------------------- brambleton-----------------------------------\n");
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string name = FileNamePart(std::string_view(exe, static_cast<std::size_t>(n)));
        if (const auto dot = name.rfind('.'); dot != std::string::npos) {
            name.resize(dot);
        }
        WriteToFile(StringPrintf("%s: %d.%d.%d.%d\n", name.c_str(), BRAMBLETON_VERSION_MAJOR, BRAMBLETON_VERSION_MINOR,
                           BRAMBLETON_VERSION_PATCH, BRAMBLETON_VERSION_TWEAK));
    }
}

void CDiagnostics::Write(std::string_view text)
{
    if (m_observer) {
        m_observer(text);
    }
    WriteToFile(text);
}

void CDiagnostics::WriteToFile(std::string_view text)
{
    if (m_fd >= 0) {
        WriteBytes(Utf8ToUtf16LEBytes(text));
    }
}

void CDiagnostics::WriteBytes(std::string_view bytes)
{
    if (m_fd < 0) {
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace bram
