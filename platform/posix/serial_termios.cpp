// The terminal settings of a COM port, kept apart from serial.cpp.
//
// A LocoBuffer runs at 16457 baud, which is no standard rate. Linux sets such a rate only
// through the kernel's termios2 record (TCSETS2 with BOTHER), declared in <asm/termbits.h>; that
// header defines its own struct termios and the same macros as glibc's <termios.h>, so the two
// cannot meet in one source file. Everything here uses the kernel's record and ioctls alone.
#include "platform/win32.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>
#include <utility>

namespace win32::detail {

namespace {

int Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? errno : 0;
}

tcflag_t CharacterSize(int dataBits) {
    switch (dataBits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

}  // namespace

// Raw line at any baud rate, dataBits (5 to 8) with no parity and one stop bit, no flow control,
// modem status lines ignored, DTR and RTS as given. Returns 0 or the errno of the failing call.
int ApplySerialLine(int fd, DWORD baudRate, int dataBits, bool dtr, bool rts) {
    termios2 line{};
    if (int error = Ioctl(fd, TCGETS2, &line)) return error;
    line.c_iflag = 0;
    line.c_oflag = 0;
    line.c_lflag = 0;
    // The input rate follows the output rate while CIBAUD is 0. HUPCL drops DTR at the last
    // close, as Windows does when the port is closed.
    line.c_cflag = BOTHER | CharacterSize(dataBits) | CREAD | CLOCAL | HUPCL;
    line.c_ospeed = baudRate;
    line.c_ispeed = baudRate;
    // One byte satisfies a read, so a non-blocking read of an empty line fails with EAGAIN and a
    // read of 0 bytes means the device has hung up.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (int error = Ioctl(fd, TCSETS2, &line)) return error;

    int set = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    int clear = (TIOCM_DTR | TIOCM_RTS) & ~set;
    for (auto [request, bits] : {std::pair{TIOCMBIS, set}, std::pair{TIOCMBIC, clear}}) {
        if (bits == 0) continue;
        int error = Ioctl(fd, request, &bits);
        // A pseudo-terminal has no modem lines and refuses these with ENOTTY (Linux).
        if (error != 0 && error != ENOTTY && error != EINVAL) return error;
    }
    return 0;
}

// Empties the kernel's input and/or output queue. Returns 0 or errno.
int FlushSerialQueues(int fd, bool input, bool output) {
    if (!input && !output) return 0;
    int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    int result;
    do {
        result = ioctl(fd, TCFLSH, which);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? errno : 0;
}

}  // namespace win32::detail
