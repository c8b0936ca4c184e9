#include "log/Diagnostics.h"

#include "Version.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "log/CallStack.h"
#include "log/CrashHandler.h"
#include "log/MiniDump.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {

CReportFacts CollectReportFacts()
{
    CReportFacts facts;
    facts.executablePath = ExecutablePath();
    facts.version[0] = BRAMBLETON_VERSION_MAJOR;
    facts.version[1] = BRAMBLETON_VERSION_MINOR;
    facts.version[2] = BRAMBLETON_VERSION_PATCH;
    facts.version[3] = BRAMBLETON_VERSION_TWEAK;
    facts.stackTraceLibrary = StackTraceLibraryLine();
    facts.machine = CollectMachineInfo();
    facts.modules = ListLoadedModules();
    return facts;
}

std::string FormatReportHeader(const CReportFacts& facts)
{
    std::string text = "----------------------------------- brambleton-----------------------------------\n";
    text +=
        FormatVersionLine(facts.executablePath, facts.version[0], facts.version[1], facts.version[2], facts.version[3]);
    text += facts.stackTraceLibrary;
    text += FormatSystemSection(facts.machine);
    if (!facts.stackTraceLibrary.empty()) {
        for (const CLoadedModule& module : facts.modules) {
            text += FormatModuleLine(module);
        }
        text += "\n\n";
    }
    return text;
}

namespace {

// The log file, created in a folder that only this user can change.
int OpenLogFile(const std::string& path, std::string& problem)
{
    const int folder = OpenPrivateFolder(path, problem);
    if (folder < 0) {
        return -1;
    }
    const int fd = ::openat(folder, FileNamePart(path).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int error = errno;
    ::close(folder);
    if (fd < 0) {
        if (error == ELOOP) {
            problem = "the log file " + path + " is a symbolic link";
        }
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        problem = "the log file " + path + " is not a regular file";
        return -1;
    }
    return fd;
}

void TellRefusal(const std::string& logProblem, const std::string& dumpProblem)
{
    if (!logProblem.empty() && logProblem == dumpProblem) {
        std::fprintf(stderr, "Logging and crash dumps are off: %s.\n", logProblem.c_str());
        return;
    }
    if (!logProblem.empty()) {
        std::fprintf(stderr, "Logging is off: %s.\n", logProblem.c_str());
    }
    if (!dumpProblem.empty()) {
        std::fprintf(stderr, "Crash dumps are off: %s.\n", dumpProblem.c_str());
    }
}

} // namespace

CDiagnostics& CDiagnostics::Instance()
{
    static CDiagnostics diagnostics;
    return diagnostics;
}

namespace {
// What the buffer holds reaches the file also when the program ends without
// its shut-down (exit from anywhere).
void FlushAtExit() { CDiagnostics::Instance().Flush(); }
} // namespace

void CDiagnostics::SetUp(const std::string& logPath, const std::string& dumpPrefix, bool printAssertions)
{
    TearDown();
    std::string logProblem;
    std::string dumpProblem;
    m_fd = OpenLogFile(logPath, logProblem);
    m_logPath = logPath;
    m_dumpFolder = dumpPrefix.empty() ? -1 : OpenPrivateFolder(dumpPrefix, dumpProblem);
    TellRefusal(logProblem, dumpProblem);
    m_dumpPrefix = dumpPrefix;
    m_printAssertions = printAssertions;
    m_setUp = true;
    m_unbuffered = false;
    WriteBytes("\xFF\xFE");
    if (m_fd >= 0) {
        WriteToFile(FormatReportHeader(CollectReportFacts()));
    }
    Flush();
    static const bool exitHandler = std::atexit(&FlushAtExit) == 0;
    (void)exitHandler;
    InstallCrashHandlers();
}

void CDiagnostics::TearDown()
{
    if (m_setUp) {
        RemoveCrashHandlers();
        m_setUp = false;
    }
    if (m_fd >= 0) {
        Flush();
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffered = 0;
    if (m_dumpFolder >= 0) {
        ::close(m_dumpFolder);
        m_dumpFolder = -1;
    }
}

[[gnu::noinline]] void CDiagnostics::WriteCallStack(int skip)
{
    if (m_fd < 0) {
        return;
    }
    std::vector<CStackFrame> frames = CaptureCallStack(skip);
    ResolveCallStack(frames);
    WriteToFile(FormatCallStack(frames));
    asm volatile("" ::: "memory"); // keeps this frame on the stack it walks
}

std::string CDiagnostics::WriteMiniDump(const ucontext_t* context, const siginfo_t* signal, const std::string& comment)
{
    if (!m_setUp || m_dumpFolder < 0) {
        return {};
    }
    ucontext_t own{};
    if (context == nullptr) {
        // The caller's own registers stand in for an exception context.
        if (::getcontext(&own) != 0) {
            return {};
        }
        context = &own;
    }
    CMiniDumpContent content = CollectMiniDump(*context, signal);
    content.comment = comment;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    const std::string name = MiniDumpFileName(m_dumpPrefix, utc);
    const std::string bytes = BuildMiniDump(content);
    // Two dumps within one second (assertions in a loop) keep both: the first
    // one usually shows the cause.
    for (int n = 1; n <= 100; ++n) {
        std::string path = name;
        if (n > 1) {
            path.insert(path.size() - 4, StringPrintf(" (%d)", n));
        }
        switch (WriteMiniDumpFile(m_dumpFolder, FileNamePart(path), bytes)) {
        case EDumpWrite::Written: return path;
        case EDumpWrite::Exists: continue;
        case EDumpWrite::Failed: return {};
        }
    }
    return {};
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
    if (m_unbuffered || bytes.size() > kBufferSize) {
        Flush();
        WriteOrStop(bytes);
        return;
    }
    if (m_buffered + bytes.size() > kBufferSize) {
        Flush();
    }
    const std::size_t at = m_buffered;
    std::memcpy(m_buffer + at, bytes.data(), bytes.size());
    std::atomic_signal_fence(std::memory_order_release);
    m_buffered = at + bytes.size();
}

void CDiagnostics::Flush()
{
    const std::size_t size = m_buffered;
    std::atomic_signal_fence(std::memory_order_acquire);
    if (m_fd >= 0 && size > 0) {
        WriteOrStop(std::string_view(m_buffer, size));
    }
    m_buffered = 0;
}

void CDiagnostics::WriteOrStop(std::string_view bytes)
{
    if (m_fd < 0 || WriteFully(m_fd, bytes)) {
        return;
    }
    // A full disk or the file size limit: the log ends here, and says so
    // where the user can see it. Only write(): this may run in a signal handler.
    const int error = errno;
    ::close(m_fd);
    m_fd = -1;
    const char* reason = ::strerrordesc_np(error);
    WriteFully(STDERR_FILENO, "Logging stopped: writing the log file ");
    WriteFully(STDERR_FILENO, m_logPath);
    WriteFully(STDERR_FILENO, " failed: ");
    WriteFully(STDERR_FILENO, reason != nullptr ? reason : "unknown error");
    WriteFully(STDERR_FILENO, ".\n");
}

void CDiagnostics::WriteUnbuffered()
{
    m_unbuffered = true;
    Flush();
}

} // namespace bram
