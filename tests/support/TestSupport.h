#pragma once
// Shared helpers of the tests: scratch folders, files, the log as text, and
// a clean slate for the process-wide state.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace bram::test {

// A fresh folder under the temporary folder, removed with its contents.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    // The folder with a trailing "/".
    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + std::string(name); }

private:
    std::string m_path;
};

// A FIFO at the path. A reader that still waits in opening it after three
// seconds is let go (a writer opens and closes it), so that code that waits
// on it fails its test instead of hanging it.
class CFifo {
public:
    explicit CFifo(std::string path);
    ~CFifo();
    CFifo(const CFifo&) = delete;
    CFifo& operator=(const CFifo&) = delete;
    // True when a reader had to be let go.
    bool ReaderWaited() const { return m_waited; }

private:
    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_waited{false};
    std::thread m_releaser;
};

// Writes a file, creating its folders.
void WriteFile(const std::string& path, std::string_view data);
std::string ReadFile(const std::string& path);
// The names of a folder's entries, sorted.
std::vector<std::string> FileNames(const std::string& folder);

// The text with the first occurrence of `what` replaced, failing the test
// when there is none.
std::string Replaced(std::string text, const std::string& what, const std::string& by);

// The log file as UTF-8 text (without the byte order mark); checks that the
// file starts with one.
std::string ReadLog(const std::string& path);

// Closes the log, drops string tables and the folder/language, resets hooks.
void ResetProcessState();

// Runs a shell command; returns its exit status and captures both streams.
struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
CommandResult RunCommand(const std::string& command);
// The command lines of processes that match `pattern` (pgrep -f) once a few
// seconds have passed or none is left: a killed process takes a moment to go.
std::string ProcessesLeft(const std::string& pattern);

} // namespace bram::test
