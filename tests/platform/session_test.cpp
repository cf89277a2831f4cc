// The end of session: SIGTERM, SIGINT and SIGHUP close the top-level windows of a process, or
// end a process without windows with exit code 0. Each case runs in a child process,
// rw_session_child (helpers/session_child.cpp), which reports its progress on a pipe.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class Child {
public:
    explicit Child(const char* part) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string program = RW_SESSION_CHILD;
        std::string which = part;
        char* argv[] = {program.data(), which.data(), nullptr};
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        fromChild = out[0];
    }
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
        if (fromChild >= 0) close(fromChild);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid > 0; }
    void Signal(int signal) { kill(pid, signal); }

    // The next report of the child; 0 at its end, -1 when nothing came within the bound.
    int Next() {
        pollfd ready{fromChild, POLLIN, 0};
        if (poll(&ready, 1, 10000) != 1) return -1;
        char what = 0;
        ssize_t got = read(fromChild, &what, 1);
        return got == 1 ? what : 0;
    }
    // The exit status, after the child closed its end of the pipe by ending.
    int Wait() {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }

private:
    pid_t pid = -1;
    int fromChild = -1;
};

TEST(Session, WindowsAreAskedToCloseAndDecide) {
    Child child("window");
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Next(), 'R');
    child.Signal(SIGTERM);
    ASSERT_EQ(child.Next(), 'C');   // the window stays; the process goes on
    child.Signal(SIGHUP);
    ASSERT_EQ(child.Next(), 'C');   // now the window gives in and the program ends its way
    ASSERT_EQ(child.Next(), 0);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(Session, AProcessWithoutWindowsEndsWithZero) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Child child("plain");
        ASSERT_TRUE(child.Started());
        ASSERT_EQ(child.Next(), 'R');
        child.Signal(signal);
        ASSERT_EQ(child.Next(), 0) << strsignal(signal);
        int status = child.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << strsignal(signal);
        EXPECT_EQ(WEXITSTATUS(status), 0) << strsignal(signal);
    }
}

}  // namespace
