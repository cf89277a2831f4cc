// The named mutex between processes: a child process holds the name, the parent sees
// ERROR_ALREADY_EXISTS, and the name is gone once the child has ended, also when it was killed.
//
// The child is this test program started again with RW_TEST_MUTEX_HOLDER set: before any test
// runs it creates the mutex, reports the last error on its standard output, and holds the name
// until its standard input closes.
#include "platform/win32.h"

#include "support/TemporaryRuntimeDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
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

constexpr const char* kHolderVariable = "RW_TEST_MUTEX_HOLDER";

const bool kRanAsHolder = [] {
    const char* name = std::getenv(kHolderVariable);
    if (name == nullptr) return false;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    char report = mutex == nullptr ? 'F' : GetLastError() == ERROR_ALREADY_EXISTS ? 'E' : 'N';
    if (write(STDOUT_FILENO, &report, 1) != 1) _exit(2);
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    _exit(0);   // the name goes with the process, without CloseHandle
}();

// A holder process with a pipe to each of its standard input and output.
class Holder {
public:
    explicit Holder(const std::string& name) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string variable = std::string(kHolderVariable) + "=" + name;
        std::vector<char*> environment;
        for (char** e = environ; *e != nullptr; ++e) environment.push_back(*e);
        environment.push_back(variable.data());
        environment.push_back(nullptr);
        char program[] = "/proc/self/exe";
        char* argv[] = {program, nullptr};
        if (posix_spawn(&pid, program, &actions, nullptr, argv, environment.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toChild = in[1];
        fromChild = out[0];
    }
    ~Holder() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        if (pid > 0) Wait();
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    // What the child reported after creating the mutex: 'N' new, 'E' existed, 'F' failed; 0
    // when nothing came within the bound.
    char Report() {
        pollfd ready{fromChild, POLLIN, 0};
        char report = 0;
        if (poll(&ready, 1, 10000) == 1 && read(fromChild, &report, 1) != 1) report = 0;
        return report;
    }
    // Lets the child end on its own.
    void Release() {
        close(toChild);
        toChild = -1;
    }
    void Kill() { kill(pid, SIGKILL); }
    // The child's wait status.
    int Wait() {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
    bool Started() const { return pid > 0; }

private:
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;
};

// Keeps the lock files of the names in a directory of this test's own.
class NamedMutex : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kRanAsHolder);
        ASSERT_TRUE(runtimeDir.Made());
    }

    // Creates the name in this process, checks the last error, and closes it again.
    static void ExpectCreate(const char* name, DWORD error) {
        SetLastError(0xDEAD);
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(GetLastError(), error);
        EXPECT_TRUE(CloseHandle(mutex));
    }

    rwtest::TemporaryRuntimeDir runtimeDir;
};

TEST_F(NamedMutex, SecondHandleInTheSameProcessSeesTheName) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "rw_same_process");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ExpectCreate("rw_same_process", ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_TRUE(CloseHandle(first));
    ExpectCreate("rw_same_process", ERROR_SUCCESS);
}

TEST_F(NamedMutex, NameOfAnotherProcessExistsUntilItEnds) {
    Holder holder("rw_child_ends");
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.Report(), 'N');
    ExpectCreate("rw_child_ends", ERROR_ALREADY_EXISTS);
    holder.Release();
    int status = holder.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ExpectCreate("rw_child_ends", ERROR_SUCCESS);
}

TEST_F(NamedMutex, NameIsGoneWhenTheHolderIsKilled) {
    Holder holder("rw_child_killed");
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.Report(), 'N');
    ExpectCreate("rw_child_killed", ERROR_ALREADY_EXISTS);
    holder.Kill();
    int status = holder.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ExpectCreate("rw_child_killed", ERROR_SUCCESS);
}

TEST_F(NamedMutex, ChildSeesTheNameOfThisProcess) {
    HANDLE mine = CreateMutexA(nullptr, FALSE, "rw_parent_holds");
    ASSERT_NE(mine, nullptr);
    {
        Holder holder("rw_parent_holds");
        ASSERT_TRUE(holder.Started());
        EXPECT_EQ(holder.Report(), 'E');
    }
    EXPECT_TRUE(CloseHandle(mine));
    ExpectCreate("rw_parent_holds", ERROR_SUCCESS);
}

}  // namespace
