// A pseudo-terminal pair for tests: the test plays the device on the master side, and the code
// under test opens the slave side as a COM port through RW_COM<n>.
//
// This header uses the kernel's termios2 record (to see custom baud rates), so a test source
// that includes it must not include glibc's <termios.h>.
#pragma once

#include "platform/win32.h"

#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace rwtest {

class PseudoTerminal {
public:
    // Opens a pair and maps COM<port> to its slave side.
    explicit PseudoTerminal(int port) : variable("RW_COM" + std::to_string(port)) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
            return;
        path = name;
        // Held open and never read, so that the terminal lives between the opens of the code under
        // test and its input queue can be watched. Raw from the start, so nothing written before the
        // port is configured is echoed back.
        keeper = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios2 line{};
        if (keeper >= 0 && ioctl(keeper, TCGETS2, &line) == 0) {
            line.c_iflag = line.c_oflag = line.c_lflag = 0;
            line.c_cc[VMIN] = 1;
            line.c_cc[VTIME] = 0;
            ioctl(keeper, TCSETS2, &line);
        }
        setenv(variable.c_str(), path.c_str(), 1);
    }

    ~PseudoTerminal() {
        Hangup();
        unsetenv(variable.c_str());
    }

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Ok() const { return master >= 0 && keeper >= 0; }
    const std::string& Path() const { return path; }

    // Sends the bytes to the slave side in one write, so they arrive there as one chunk.
    bool Write(const std::vector<BYTE>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd fd{master, POLLOUT, 0};
                if (poll(&fd, 1, 5000) <= 0) return false;
            } else if (!(n < 0 && errno == EINTR)) {
                return false;
            }
        }
        return true;
    }

    // What the slave side wrote: exactly n bytes, or fewer when the bound passes first.
    std::vector<BYTE> Read(std::size_t n, std::chrono::milliseconds bound = std::chrono::seconds(5)) {
        std::vector<BYTE> bytes(n);
        std::size_t got = 0;
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (got < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd fd{master, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
            ssize_t r = read(master, bytes.data() + got, n - got);
            if (r > 0) got += static_cast<std::size_t>(r);
            else if (!(r < 0 && (errno == EAGAIN || errno == EINTR))) break;
        }
        bytes.resize(got);
        return bytes;
    }

    // Waits until the slave side has input and returns how many bytes it holds. Bytes of one
    // Write arrive together (Linux hands a master write to the line discipline in one piece), so
    // after a single Write this is its whole length.
    int WaitQueued(std::chrono::milliseconds bound = std::chrono::seconds(5)) {
        pollfd fd{keeper, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(bound.count())) <= 0) return 0;
        int queued = 0;
        ioctl(keeper, FIONREAD, &queued);
        return queued;
    }

    // The slave side's line settings (termios ioctls on the master reach the slave).
    termios2 Line() const {
        termios2 line{};
        ioctl(master, TCGETS2, &line);
        return line;
    }

    // Closes the master side: the slave side hangs up, as a device that is unplugged.
    void Hangup() {
        if (master >= 0) close(master);
        if (keeper >= 0) close(keeper);
        master = keeper = -1;
    }

private:
    std::string variable;
    std::string path;
    int master = -1;
    int keeper = -1;
};

}  // namespace rwtest
