// The console handles: the controlling terminal, opened through CreateFileA's console names, read,
// written and waited on, with the console modes mapped to the terminal's local flags.
//
// Who runs here: the thread of a dialog, which owns the handle; nothing is shared with other
// threads but the handle table's reference. The terminal settings found at the open are put
// back when the last reference goes (CloseHandle), and only by a handle that changed them, so a
// second handle on the terminal never undoes the first one's restore.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

namespace win32::detail {

namespace {

class Console : public KernelObject {
public:
    Console(int fd, const termios& original) : fd(fd), original(original) {}
    ~Console() override {
        if (changed.load()) tcsetattr(fd, TCSANOW, &original);
        close(fd);
    }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Signalled while a read would not block: input, end of file or a hang-up.
    bool TryAcquire() override {
        pollfd ready{fd, POLLIN, 0};
        return poll(&ready, 1, 0) > 0;
    }
    int SignalFd() const override { return fd; }

    const int fd;
    const termios original;
    std::atomic<bool> changed{false};
};

std::shared_ptr<Console> LookupConsole(HANDLE handle) {
    auto console = LookupHandleAs<Console>(handle);
    if (!console) SetLastError(ERROR_INVALID_HANDLE);
    return console;
}

// Waits until the descriptor is ready for the events; false with errno on failure.
bool WaitFor(int fd, short events) {
    pollfd ready{fd, events, 0};
    while (poll(&ready, 1, -1) < 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

// For CreateFileA (serial.cpp): the names that open the console.
bool IsConsoleName(LPCSTR name) {
    return name != nullptr && (strcasecmp(name, "CONIN$") == 0 || strcasecmp(name, "CONOUT$") == 0);
}

HANDLE OpenConsole(DWORD access) {
    if ((access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A process without a controlling terminal gets ENXIO: there is no console to open.
        if (errno == ENXIO || errno == ENOENT) SetLastError(ERROR_FILE_NOT_FOUND);
        else SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    termios original{};
    if (tcgetattr(fd, &original) != 0) {
        close(fd);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::make_shared<Console>(fd, original));
}

}  // namespace win32::detail

namespace win32 {

using detail::LookupConsole;
using detail::WaitFor;

BOOL GetConsoleMode(HANDLE console, LPDWORD mode) {
    auto terminal = LookupConsole(console);
    if (!terminal) return FALSE;
    termios line{};
    if (mode == nullptr || tcgetattr(terminal->fd, &line) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *mode = ((line.c_lflag & ISIG) ? ENABLE_PROCESSED_INPUT : 0) | ((line.c_lflag & ICANON) ? ENABLE_LINE_INPUT : 0) |
            ((line.c_lflag & ECHO) ? ENABLE_ECHO_INPUT : 0);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetConsoleMode(HANDLE console, DWORD mode) {
    auto terminal = LookupConsole(console);
    if (!terminal) return FALSE;
    termios line{};
    if (tcgetattr(terminal->fd, &line) != 0) {
        detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    auto apply = [&](DWORD flag, tcflag_t bits) {
        if (mode & flag) line.c_lflag |= bits;
        else line.c_lflag &= ~bits;
    };
    apply(ENABLE_PROCESSED_INPUT, ISIG);
    apply(ENABLE_LINE_INPUT, ICANON);
    apply(ENABLE_ECHO_INPUT, ECHO);
    if ((mode & ENABLE_LINE_INPUT) == 0) {
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
    }
    // TCSANOW rather than TCSAFLUSH: keys typed ahead stay in the queue.
    terminal->changed.store(true);
    if (tcsetattr(terminal->fd, TCSANOW, &line) != 0) {
        detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL ReadConsoleA(HANDLE input, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID) {
    auto terminal = LookupConsole(input);
    if (!terminal) return FALSE;
    if (buffer == nullptr || read == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *read = 0;
    for (;;) {
        ssize_t n = ::read(terminal->fd, buffer, toRead);
        if (n >= 0) {
            *read = static_cast<DWORD>(n);
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
        if (errno == EAGAIN) {
            if (WaitFor(terminal->fd, POLLIN)) continue;
        } else if (errno == EINTR) {
            continue;
        }
        // Linux reports a hung-up terminal as EIO.
        if (errno == EIO) SetLastError(ERROR_BROKEN_PIPE);
        else detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
}

BOOL WriteConsoleA(HANDLE output, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID) {
    auto terminal = LookupConsole(output);
    if (!terminal) return FALSE;
    if (buffer == nullptr && toWrite != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* bytes = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t n = write(terminal->fd, bytes + done, toWrite - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(terminal->fd, POLLOUT)) break;
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    if (written != nullptr) *written = done;
    if (done < toWrite) {
        if (errno == EIO) SetLastError(ERROR_BROKEN_PIPE);
        else detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace win32
