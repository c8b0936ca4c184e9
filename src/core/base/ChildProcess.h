#pragma once
// A program run as a child process in a process group of its own, its
// standard output and error read through pipes without blocking the caller,
// so that stopping it (by the user or at a time limit) ends it together with
// every process it started.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bram {

// A command line split into arguments: blanks separate them, double quotes
// group (and are removed), and "%1" in any argument becomes `script`. No
// shell is involved, so the script's path needs no quoting.
std::vector<std::string> SplitCommandLine(std::string_view command, const std::string& script);

class CChildProcess {
public:
    enum class EStream { Output, Error, Extra };
    using DataHandler = std::function<void(EStream stream, std::string_view data)>;

    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts argv[0] (looked up in PATH) with the environment plus
    // `environment`. `extraInput`, when not empty, names a FIFO this side
    // reads as a third stream (the child writes it). False with the reason
    // in *error when nothing could be started.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& environment, const std::string& extraInput,
               std::string* error);
    // Waits at most `wait` for data or the end and hands what arrived to
    // `handler`. False once the child has ended and every stream is drained.
    bool Poll(std::chrono::milliseconds wait, const DataHandler& handler);
    // Ends the child and everything in its process group.
    void Stop();
    bool IsRunning() const { return m_pid > 0; }
    // After the end: the exit status, 128 + the signal for a killed child.
    int GetExitCode() const { return m_exitCode; }

private:
    void Reap(bool block);
    void CloseStreams();

    int m_pid = -1;
    int m_exitCode = -1;
    int m_fds[3] = {-1, -1, -1};
};

struct SChildResult {
    int exitCode = -1;
    bool timedOut = false;
    bool started = false;
    std::string error; // why it did not start
    double seconds = 0;
};

// Runs to the end or the time limit (then the group is ended and exitCode is
// 124), handing data to `handler` as it arrives.
SChildResult RunChildProcess(const std::vector<std::string>& argv,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             const std::string& extraInput, double timeoutSeconds,
                             const CChildProcess::DataHandler& handler);

} // namespace bram
