// A child process on a pseudo-terminal of its own: the test plays the person at the terminal on
// the master side, and reads the child's report from a pipe on its standard output.
//
// The child is one of the test drivers, which makes the terminal its controlling terminal
// (setsid, TIOCSCTTY) when given "--tty <path>", and drops any controlling terminal otherwise.
// The test keeps the slave side open too, so that the terminal and its settings outlive the
// child and can be checked after it has ended.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace rwtest {

class TerminalChild {
public:
    using Milliseconds = std::chrono::milliseconds;

    TerminalChild() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
            return;
        path = name;
        keeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }

    ~TerminalChild() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (int fd : {master, keeper, report}) {
            if (fd >= 0) close(fd);
        }
    }

    TerminalChild(const TerminalChild&) = delete;
    TerminalChild& operator=(const TerminalChild&) = delete;

    bool Ok() const { return master >= 0 && keeper >= 0; }

    // Starts the program with the arguments; withTerminal puts "--tty <slave>" first. The
    // variables are set (an empty value removes the variable) on top of this process's own.
    bool Start(const std::string& program, std::vector<std::string> arguments,
               const std::map<std::string, std::string>& variables, bool withTerminal = true) {
        if (withTerminal) arguments.insert(arguments.begin(), {"--tty", path});
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);

        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string text = *entry;
            if (variables.count(text.substr(0, text.find('='))) == 0) environment.push_back(text);
        }
        for (const auto& [name, value] : variables) {
            if (!value.empty()) environment.push_back(name + "=" + value);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);

        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        report = pipeEnds[0];
        if (started != 0) pid = -1;
        return started == 0;
    }

    // Waits until the terminal has shown the text since the last text waited for.
    bool WaitFor(const std::string& text, Milliseconds bound = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;) {
            std::size_t found = screen.find(text, seen);
            if (found != std::string::npos) {
                seen = found + text.size();
                return true;
            }
            if (!ReadSome(master, screen, deadline)) return false;
        }
    }

    // Waits until the child's report holds the text.
    bool WaitForReport(const std::string& text, Milliseconds bound = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (reportText.find(text) == std::string::npos) {
            if (!ReadSome(report, reportText, deadline)) return false;
        }
        return true;
    }

    // Types the bytes at the terminal.
    bool Send(const std::string& bytes) { return write(master, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

    // Waits until the child has ended (its report pipe closes) and returns its exit code, or -1
    // when it did not end within the bound or ended by a signal.
    int Wait(Milliseconds bound = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (ReadSome(report, reportText, deadline)) {
        }
        if (std::chrono::steady_clock::now() >= deadline) kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        // What the terminal still holds.
        while (ReadSome(master, screen, std::chrono::steady_clock::now())) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The terminal's settings as they are now.
    termios Settings() const {
        termios line{};
        tcgetattr(keeper, &line);
        return line;
    }

    // Closes the master side: the terminal hangs up.
    void Hangup() {
        if (master >= 0) close(master);
        master = -1;
    }

    const std::string& Screen() const { return screen; }
    const std::string& Report() const { return reportText; }

private:
    // Appends what the descriptor gives; false at its end or when the deadline passes first.
    static bool ReadSome(int fd, std::string& into, std::chrono::steady_clock::time_point deadline) {
        if (fd < 0) return false;
        auto left = std::chrono::ceil<Milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, left > 0 ? static_cast<int>(left) : 0) <= 0) return false;
        char chunk[4096];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return n < 0 && (errno == EAGAIN || errno == EINTR);
        into.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    std::string path;
    int master = -1;
    int keeper = -1;
    int report = -1;
    pid_t pid = -1;
    std::string screen;
    std::size_t seen = 0;
    std::string reportText;
};

}  // namespace rwtest
