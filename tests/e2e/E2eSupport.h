// Helpers for running the real executables as a person would: a temporary folder, child
// processes with their own environment and no controlling terminal, the LocoBuffer simulator,
// and line-reading TCP clients. Every wait is bounded and blocks on a descriptor (pipes, pidfd,
// sockets), never on a fixed sleep.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The built programs, as the build names them.
inline const std::string ServerProgram = RW_SERVER_PATH;
inline const std::string OptionProgram = RW_OPTION_PATH;
inline const std::string SimulatorProgram = RW_SIMULATOR_PATH;

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/rw-e2e-XXXXXX";
        if (mkdtemp(name) != nullptr) path = name;
    }
    ~TempDir() {
        if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

inline void WriteFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

inline std::string ReadFile(const std::string& path) {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

// Reads a pipe line by line with a bound on each wait.
class PipeReader {
public:
    PipeReader() = default;
    explicit PipeReader(int fd) : fd(fd) {}
    PipeReader(PipeReader&& other) noexcept : fd(other.fd), pending(std::move(other.pending)) { other.fd = -1; }
    PipeReader& operator=(PipeReader&& other) noexcept {
        std::swap(fd, other.fd);
        std::swap(pending, other.pending);
        return *this;
    }
    ~PipeReader() {
        if (fd >= 0) close(fd);
    }

    // The next line without its end; nothing when none came in time or the pipe closed.
    std::optional<std::string> Line(milliseconds bound = milliseconds(10000)) {
        auto deadline = Clock::now() + bound;
        for (;;) {
            auto end = pending.find('\n');
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                return line;
            }
            if (!Fill(deadline)) return std::nullopt;
        }
    }

    // The first line that contains the text, skipping others.
    std::optional<std::string> LineWith(const std::string& text, milliseconds bound = milliseconds(10000)) {
        auto deadline = Clock::now() + bound;
        for (;;) {
            auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() < 0) return std::nullopt;
            auto line = Line(left);
            if (!line) return std::nullopt;
            if (line->find(text) != std::string::npos) return line;
        }
    }

    // Everything until the writers close the pipe.
    std::string Rest(milliseconds bound = milliseconds(10000)) {
        auto deadline = Clock::now() + bound;
        while (Fill(deadline)) {
        }
        std::string all;
        all.swap(pending);
        return all;
    }

private:
    bool Fill(Clock::time_point deadline) {
        if (fd < 0) return false;
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left < 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int fd = -1;
    std::string pending;
};

// A child process with the given environment changes (an empty value removes the variable), its
// own session (so it has no controlling terminal), standard input from /dev/null, standard
// output and error in one pipe, and a second pipe that it may write to as /dev/fd/3.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (pidfd >= 0) close(pidfd);
    }

    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& changes) {
        std::map<std::string, std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry(*e);
            auto eq = entry.find('=');
            if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (const auto& [key, value] : changes) {
            if (value.empty()) env.erase(key);
            else env[key] = value;
        }
        std::vector<std::string> envText;
        for (const auto& [key, value] : env) envText.push_back(key + "=" + value);
        std::vector<char*> envp, args;
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argText = argv;
        for (auto& a : argText) args.push_back(a.data());
        args.push_back(nullptr);

        int out[2], side[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(side, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_adddup2(&actions, side[1], 3);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        int error = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        close(out[1]);
        close(side[1]);
        output = PipeReader(out[0]);
        side3 = PipeReader(side[0]);
        if (error != 0) {
            pid = -1;
            return false;
        }
        pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        return pidfd >= 0;
    }

    // The exit code once the process has ended within the bound; -1 when it still runs, or the
    // negated signal number when a signal ended it.
    int WaitForExit(milliseconds bound = milliseconds(10000)) {
        if (pid <= 0) return exitCode;
        pollfd p{pidfd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(bound.count())) <= 0) return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
        return exitCode;
    }

    bool Running() {
        if (pid <= 0) return false;
        pollfd p{pidfd, POLLIN, 0};
        return poll(&p, 1, 0) == 0;
    }

    void Signal(int number) {
        if (pid > 0) kill(pid, number);
    }

    PipeReader output;   // standard output and standard error
    PipeReader side3;    // what the process writes to /dev/fd/3

private:
    pid_t pid = -1;
    int pidfd = -1;
    int exitCode = -1;
};

// rw-locobuffer-sim on a pseudo-terminal, fed by a pipe of ours.
class Simulator {
public:
    Simulator() = default;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() { Stop(); }

    bool Start(const std::vector<std::string>& options = {}) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
        std::vector<std::string> argText{SimulatorProgram};
        argText.insert(argText.end(), options.begin(), options.end());
        std::vector<char*> args;
        for (auto& a : argText) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input = in[1];
        output = PipeReader(out[0]);
        if (error != 0) {
            pid = -1;
            return false;
        }
        auto line = output.Line();
        if (!line) return false;
        device = *line;
        return true;
    }

    bool Inject(const std::string& line) {
        std::string text = line + "\n";
        return write(input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Ends the simulator, which closes the device as an unplugged LocoBuffer would.
    void Stop() {
        if (input >= 0) {
            close(input);
            input = -1;
        }
        if (pid > 0) {
            output.Rest();   // its output closes when it has ended
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    std::string device;

private:
    pid_t pid = -1;
    int input = -1;
    PipeReader output;
};

// A TCP client on 127.0.0.1 that reads CR LF lines with a bound.
class Client {
public:
    explicit Client(int port) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { close(fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Send(const std::string& text) {
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }

    // The next line, or "<none>" when none came in time, or "<closed>" when the server closed.
    std::string Line(milliseconds bound = milliseconds(5000)) {
        auto deadline = Clock::now() + bound;
        for (;;) {
            auto end = pending.find("\r\n");
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                return line;
            }
            auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd, POLLIN, 0};
            if (left < 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return "<none>";
            char buffer[4096];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return pending.empty() ? "<closed>" : "<partial:" + pending + ">";
            pending.append(buffer, static_cast<size_t>(n));
        }
    }

    bool connected = false;

private:
    int fd = -1;
    std::string pending;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment.
inline int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace e2e
