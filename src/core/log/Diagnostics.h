#pragma once
// The process-wide diagnostics report: the log file (UTF-16LE with a byte
// order mark) with its header, call stacks, minidumps and the crash handlers.
// Log writes gather in a buffer that goes to the file when it is full, when
// an operation ends (Flush), before a crash report or an assertion's report
// is written, and at exit; a crash report itself is written unbuffered.

#include "log/MachineInfo.h"

#include <csignal>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <ucontext.h>

namespace bram {

// What the report header tells about the program and the machine.
struct CReportFacts {
    std::string executablePath;
    int version[4] = {0, 0, 0, 0};
    std::string stackTraceLibrary; // the library line, with its "\n"; empty: none
    CMachineInfo machine;
    std::vector<CLoadedModule> modules;
};

CReportFacts CollectReportFacts();
// The header after the byte order mark: banner, version, stack-trace library,
// system section and module list.
std::string FormatReportHeader(const CReportFacts& facts);

class CDiagnostics {
public:
    static CDiagnostics& Instance();

    // Creates the log file anew at logPath, writes its header and installs
    // the crash handlers. The log and the dumps are written only into folders
    // no other user can reach into, never through a link, and are readable by
    // this user alone; a refused folder or file turns them off with one line
    // on standard error.
    void SetUp(const std::string& logPath, const std::string& dumpPrefix, bool printAssertions);
    // Closes the log and removes the crash handlers; later writes are dropped.
    void TearDown();

    bool IsOpen() const { return m_fd >= 0; }
    // True between SetUp and TearDown, also when the log could not be created.
    bool IsSetUp() const { return m_setUp; }
    // True when a write goes anywhere: the log file or an observer.
    bool IsActive() const { return m_fd >= 0 || static_cast<bool>(m_observer); }

    // Sees every log write, also without a log file (the CLI echoes start-up
    // failures to standard error with it).
    using Observer = std::function<void(std::string_view text)>;
    void SetObserver(Observer observer) { m_observer = std::move(observer); }
    const std::string& GetDumpPrefix() const { return m_dumpPrefix; }
    bool GetPrintAssertions() const { return m_printAssertions; }

    // Writes UTF-8 text as UTF-16LE; dropped when no log is open.
    void Write(std::string_view text);
    // Puts what the buffer holds into the file. Safe in a signal handler.
    void Flush();
    // From now on every write goes straight to the file (a crash report is
    // being written); what the buffer held is written first. Safe in a signal handler.
    void WriteUnbuffered();

    // Writes the calling thread's call stack, leaving out `skip` frames counted
    // from this function itself. (The crash handlers walk the interrupted
    // code's stack themselves.)
    void WriteCallStack(int skip);
    // Writes a minidump beside the dump prefix and returns its path (empty when
    // none was written). Without a context the caller's own state is dumped.
    std::string WriteMiniDump(const ucontext_t* context = nullptr, const siginfo_t* signal = nullptr,
                              const std::string& comment = {});

private:
    CDiagnostics() = default;
    void WriteToFile(std::string_view text);
    void WriteBytes(std::string_view bytes);
    // Writes to the log file; a failed write closes it with a line on standard error.
    void WriteOrStop(std::string_view bytes);

    static constexpr std::size_t kBufferSize = 64 * 1024;
    // Filled before m_buffered grows, so that a signal handler flushing it
    // never writes bytes that are not there yet.
    char m_buffer[kBufferSize];
    volatile std::size_t m_buffered = 0;
    volatile bool m_unbuffered = false;
    int m_fd = -1;
    int m_dumpFolder = -1; // opened at set-up, so a crash needs no path look-up
    bool m_setUp = false;
    std::string m_logPath;
    std::string m_dumpPrefix;
    bool m_printAssertions = false;
    Observer m_observer;
};

} // namespace bram
