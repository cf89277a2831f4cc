// The drivers' start: make the terminal named by "--tty <path>" the controlling terminal of a
// new session, or, without it, leave the process without one.
#pragma once

#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rwdriver {

// Consumes "--tty <path>" from the front of the arguments; false when the terminal cannot be
// taken.
inline bool TakeTerminal(int& argc, char**& argv) {
    setsid();   // a new session has no controlling terminal until it opens one
    if (argc < 3 || std::strcmp(argv[1], "--tty") != 0) return true;
    int fd = open(argv[2], O_RDWR | O_CLOEXEC);
    if (fd < 0 || ioctl(fd, TIOCSCTTY, 0) != 0) return false;
    close(fd);   // the session keeps it as its controlling terminal
    argc -= 2;
    argv += 2;
    return true;
}

}  // namespace rwdriver
