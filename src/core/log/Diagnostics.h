#pragma once
// The process-wide diagnostics report: the log file (UTF-16LE with a byte
// order mark, written unbuffered) plus what crash handling needs.

#include <functional>
#include <string>
#include <string_view>

namespace bram {

class CDiagnostics {
public:
    static CDiagnostics& Instance();

    // Creates the log file anew at logPath and writes its header.
    void SetUp(const std::string& logPath, const std::string& dumpPrefix, bool printAssertions);
    // Closes the log; later writes are dropped.
    void TearDown();

    bool IsOpen() const { return m_fd >= 0; }
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

private:
    CDiagnostics() = default;
    void WriteToFile(std::string_view text);
    void WriteBytes(std::string_view bytes);
    void WriteHeader();

    int m_fd = -1;
    std::string m_dumpPrefix;
    bool m_printAssertions = false;
    Observer m_observer;
};

} // namespace bram
