#include "base/ChildProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bram {

std::vector<std::string> SplitCommandLine(std::string_view command, const std::string& script)
{
    std::vector<std::string> argv;
    std::string current;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                argv.push_back(std::move(current));
                current.clear();
                inWord = false;
            }
        } else if (c == '%' && i + 1 < command.size() && command[i + 1] == '1') {
            current += script;
            inWord = true;
            ++i;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) {
        argv.push_back(std::move(current));
    }
    return argv;
}

namespace {

// The process's environment with `environment` set (replacing what it names).
std::vector<std::string> EnvironmentWith(const std::vector<std::pair<std::string, std::string>>& environment)
{
    std::vector<std::string> variables;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        bool replaced = false;
        for (const auto& [name, value] : environment) {
            replaced = replaced || (entry.starts_with(name) && entry.size() > name.size() && entry[name.size()] == '=');
        }
        if (!replaced) {
            variables.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : environment) {
        std::string variable = name;
        variable += '=';
        variable += value;
        variables.push_back(std::move(variable));
    }
    return variables;
}

// Starts the program in a process group of its own, standard input empty,
// output and error into the pipes; 0 or the error number.
int Spawn(const std::vector<char*>& argp, const std::vector<char*>& envp, int out, int err, pid_t& pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: stopping it reaches whatever the child starts.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    const int code = posix_spawnp(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return code;
}

} // namespace

CChildProcess::~CChildProcess()
{
    Stop();
    CloseStreams();
}

bool CChildProcess::Start(const std::vector<std::string>& argv,
                          const std::vector<std::pair<std::string, std::string>>& environment,
                          const std::string& extraInput, std::string* error)
{
    const auto fail = [&](const std::string& what, int code) {
        if (error != nullptr) {
            *error = what + ": " + std::strerror(code);
        }
        CloseStreams();
        return false;
    };
    if (argv.empty()) {
        if (error != nullptr) {
            *error = "the command is empty";
        }
        return false;
    }
    Stop();
    CloseStreams();
    m_exitCode = -1;
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0) {
        return fail("cannot create a pipe", errno);
    }
    m_fds[0] = out[0];
    if (pipe2(err, O_CLOEXEC) != 0) {
        const int code = errno;
        close(out[1]);
        return fail("cannot create a pipe", code);
    }
    m_fds[1] = err[0];
    if (!extraInput.empty()) {
        // Read and write: the FIFO never reports an end while this side holds
        // it, whether or not the child ever opens it.
        m_fds[2] = open(extraInput.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_fds[2] < 0) {
            const int code = errno;
            close(out[1]);
            close(err[1]);
            return fail(extraInput, code);
        }
    }
    for (int i = 0; i < 2; ++i) {
        fcntl(m_fds[i], F_SETFL, fcntl(m_fds[i], F_GETFL) | O_NONBLOCK);
    }

    std::vector<std::string> variables = EnvironmentWith(environment);
    std::vector<char*> envp;
    envp.reserve(variables.size() + 1);
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    argp.reserve(args.size() + 1);
    for (std::string& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);

    pid_t pid = -1;
    const int code = Spawn(argp, envp, out[1], err[1], pid);
    close(out[1]);
    close(err[1]);
    if (code != 0) {
        return fail("cannot start " + argv[0], code);
    }
    m_pid = pid;
    return true;
}

void CChildProcess::Reap(bool block)
{
    if (m_pid <= 0) {
        return;
    }
    // Seen ended but not yet reaped, so its group id cannot be taken by another
    // process while what the child left behind is ended.
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT | (block ? 0 : WNOHANG)) != 0 ||
        info.si_pid == 0) {
        return;
    }
    kill(-m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
    m_pid = -1;
}

void CChildProcess::Stop()
{
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        Reap(true);
    }
}

void CChildProcess::CloseStreams()
{
    for (int& fd : m_fds) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

bool CChildProcess::Poll(std::chrono::milliseconds wait, const DataHandler& handler)
{
    constexpr EStream kStreams[] = {EStream::Output, EStream::Error, EStream::Extra};
    pollfd fds[3];
    nfds_t count = 0;
    int which[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (m_fds[i] >= 0) {
            fds[count] = {m_fds[i], POLLIN, 0};
            which[count++] = i;
        }
    }
    const bool pipesOpen = m_fds[0] >= 0 || m_fds[1] >= 0;
    if (count > 0) {
        // Without the pipes the FIFO alone is drained, not waited on.
        poll(fds, count, pipesOpen || m_pid > 0 ? static_cast<int>(wait.count()) : 0);
    }
    char buffer[65536];
    for (nfds_t k = 0; k < count; ++k) {
        int& fd = m_fds[which[k]];
        // Bounded, so that a child that writes without pause cannot hold the caller.
        for (int reads = 0; reads < 64; ++reads) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                handler(kStreams[which[k]], std::string_view(buffer, static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n == 0 || errno != EAGAIN) {
                close(fd);
                fd = -1;
            }
            break;
        }
    }
    Reap(false);
    if (m_pid <= 0 && m_fds[0] < 0 && m_fds[1] < 0) {
        // The writers are gone: the FIFO holds all it will get, read above.
        CloseStreams();
        return false;
    }
    return true;
}

SChildResult RunChildProcess(const std::vector<std::string>& argv,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             const std::string& extraInput, double timeoutSeconds,
                             const CChildProcess::DataHandler& handler)
{
    SChildResult result;
    CChildProcess child;
    const auto start = std::chrono::steady_clock::now();
    if (!child.Start(argv, environment, extraInput, &result.error)) {
        return result;
    }
    result.started = true;
    const auto limit = std::chrono::duration<double>(timeoutSeconds);
    while (child.Poll(std::chrono::milliseconds(100), handler)) {
        if (child.IsRunning() && std::chrono::steady_clock::now() - start >= limit) {
            child.Stop();
            result.timedOut = true;
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exitCode = result.timedOut ? 124 : child.GetExitCode();
    return result;
}

} // namespace bram
