// The end of session and the end of the process.
//
// SIGTERM, SIGINT and SIGHUP stand for the desktop's request to end the program. The session
// watcher, a thread of the layer started when the layer is loaded and joined when it is
// unloaded, takes them through a signalfd and does the work on its own stack: it posts WM_CLOSE
// to every top-level window of the process, or, when there is none, ends the process with exit
// code 0. The three signals are blocked on the thread that loads the layer, so every thread the
// program starts afterwards inherits the block and no signal handler ever interrupts program
// code (ThreadSanitizer defers handlers that arrive in a blocking call until it returns, which
// may be never). A thread that existed before and still takes the signals runs a handler that
// only writes a byte to a pipe the watcher also reads. A signal that was ignored when the
// process started stays ignored (nohup), and the child of a fork, which has no watcher, gets the
// signals unblocked and their default actions back.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/windows.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace win32 {

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void ExitProcess(UINT exitCode) {
    detail::ReleaseExclusiveDevices();
    std::fflush(nullptr);
    _exit(static_cast<int>(exitCode));
}

}  // namespace win32

namespace {

constexpr int kSessionSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr char kEndSession = 'e';
constexpr char kStopWatcher = 'q';

int g_wakeWrite = -1;
// The signals the watcher takes: those not ignored when the layer was loaded.
sigset_t g_taken;

void OnSessionSignal(int) {
    int saved = errno;
    char byte = kEndSession;
    // A full pipe already holds a request, which is all that is needed.
    [[maybe_unused]] ssize_t written = write(g_wakeWrite, &byte, 1);
    errno = saved;
}

void EndSession() {
    std::vector<win32::HWND> windows = win32::detail::TopLevelWindows();
    if (windows.empty()) win32::ExitProcess(0);
    for (win32::HWND window : windows) win32::PostMessageA(window, win32::WM_CLOSE, 0, 0);
}

void RestoreDefaultsInChild() {
    for (int signal : kSessionSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == OnSessionSignal) {
            std::signal(signal, SIG_DFL);
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &g_taken, nullptr);
}

// A blocked signal is queued even when the program has since set it to SIG_IGN; such a signal
// is dropped here, as the kernel would drop it for a program that does not block it.
bool IgnoredNow(const signalfd_siginfo& info) {
    struct sigaction current {};
    return sigaction(static_cast<int>(info.ssi_signo), nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

class SessionWatcher {
public:
    SessionWatcher() {
        sigemptyset(&g_taken);
        for (int signal : kSessionSignals) {
            struct sigaction previous {};
            RW_CHECK(sigaction(signal, nullptr, &previous) == 0);
            if (previous.sa_handler != SIG_IGN) sigaddset(&g_taken, signal);
        }
        RW_CHECK(pthread_sigmask(SIG_BLOCK, &g_taken, nullptr) == 0);
        signals = signalfd(-1, &g_taken, SFD_CLOEXEC);
        RW_CHECK(signals >= 0);
        int fds[2];
        RW_CHECK(pipe2(fds, O_CLOEXEC) == 0);
        readEnd = fds[0];
        g_wakeWrite = fds[1];
        RW_CHECK(fcntl(g_wakeWrite, F_SETFL, O_NONBLOCK) == 0);
        thread = std::thread([this] { Run(); });
        struct sigaction action {};
        action.sa_handler = OnSessionSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int signal : kSessionSignals) {
            if (sigismember(&g_taken, signal)) RW_CHECK(sigaction(signal, &action, nullptr) == 0);
        }
        pthread_atfork(nullptr, nullptr, RestoreDefaultsInChild);
    }
    ~SessionWatcher() {
        // Static destruction: the process is ending by the return from main or exit.
        for (int signal : kSessionSignals) {
            struct sigaction current {};
            if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == OnSessionSignal) {
                std::signal(signal, SIG_DFL);
            }
        }
        char byte = kStopWatcher;
        while (write(g_wakeWrite, &byte, 1) < 0 && errno == EINTR) {
        }
        thread.join();
        close(readEnd);
        close(signals);
    }
    SessionWatcher(const SessionWatcher&) = delete;
    SessionWatcher& operator=(const SessionWatcher&) = delete;

private:
    void Run() {
        for (;;) {
            pollfd fds[] = {{signals, POLLIN, 0}, {readEnd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                RW_CHECK(errno == EINTR);
                continue;
            }
            if (fds[0].revents & POLLIN) {
                signalfd_siginfo info;
                if (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info) && !IgnoredNow(info))
                    EndSession();
            }
            if (fds[1].revents & POLLIN) {
                char byte;
                ssize_t got = read(readEnd, &byte, 1);
                if (got == 1 && byte == kStopWatcher) return;
                if (got == 1) EndSession();
            }
        }
    }

    int signals = -1;
    int readEnd = -1;
    std::thread thread;
};

SessionWatcher g_sessionWatcher;

}  // namespace
