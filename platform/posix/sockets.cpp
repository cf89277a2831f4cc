// Winsock on BSD sockets. Records are converted field by field between the Winsock and the
// POSIX layouts; errors are left in the last error as errno-derived codes.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

// The POSIX headers define AF_INET, SOL_SOCKET, SO_SNDTIMEO, ... as macros with other values;
// the Winsock values are taken here, before those headers are seen.
namespace {
constexpr int kWinAfInet = win32::AF_INET;
constexpr int kWinSockStream = win32::SOCK_STREAM;
constexpr int kWinSolSocket = win32::SOL_SOCKET;
constexpr int kWinSoSndTimeo = win32::SO_SNDTIMEO;
constexpr int kWinSoRcvBuf = win32::SO_RCVBUF;
constexpr int kWinSdReceive = win32::SD_RECEIVE;
constexpr int kWinSdSend = win32::SD_SEND;
constexpr int kWinIpProtoTcp = win32::IPPROTO_TCP;
constexpr int kWinTcpNoDelay = win32::TCP_NODELAY;
}  // namespace

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace win32 {

namespace {

int Fd(SOCKET s) { return s > static_cast<SOCKET>(INT32_MAX) ? -1 : static_cast<int>(s); }

int Fail() {
    detail::SetLastErrorFromErrno(errno);
    return SOCKET_ERROR;
}

bool ToPosix(const struct sockaddr* name, int length, ::sockaddr_in& out) {
    if (name == nullptr || length < static_cast<int>(sizeof(win32::sockaddr_in))) return false;
    const auto* in = reinterpret_cast<const win32::sockaddr_in*>(name);
    if (in->sin_family != kWinAfInet) return false;
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = in->sin_port;
    out.sin_addr.s_addr = in->sin_addr.s_addr;
    return true;
}

void FromPosix(const ::sockaddr_in& in, struct sockaddr* name, int* length) {
    if (name == nullptr || length == nullptr || *length < static_cast<int>(sizeof(win32::sockaddr_in))) return;
    auto* out = reinterpret_cast<win32::sockaddr_in*>(name);
    std::memset(out, 0, sizeof *out);
    out->sin_family = kWinAfInet;
    out->sin_port = in.sin_port;
    out->sin_addr.s_addr = in.sin_addr.s_addr;
    *length = sizeof(win32::sockaddr_in);
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    if (data != nullptr) {
        std::memset(data, 0, sizeof *data);
        data->wVersion = versionRequested;
        data->wHighVersion = versionRequested;
        std::snprintf(data->szDescription, sizeof data->szDescription, "BSD sockets");
    }
    return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

SOCKET socket(int family, int type, int protocol) {
    if (family != kWinAfInet || type != kWinSockStream) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        Fail();
        return INVALID_SOCKET;
    }
    return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const struct sockaddr* name, int nameLength) {
    ::sockaddr_in address;
    if (!ToPosix(name, nameLength, address)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SOCKET_ERROR;
    }
    // Windows lets a new listener take a port whose earlier connections still linger in
    // TIME_WAIT; Linux does so only with SO_REUSEADDR, which still refuses a port that another
    // socket listens on.
    int reuse = 1;
    ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    return ::bind(Fd(s), reinterpret_cast<::sockaddr*>(&address), sizeof address) == 0 ? 0 : Fail();
}

int listen(SOCKET s, int backlog) { return ::listen(Fd(s), backlog) == 0 ? 0 : Fail(); }

SOCKET accept(SOCKET s, struct sockaddr* address, int* addressLength) {
    ::sockaddr_in peer;
    socklen_t length = sizeof peer;
    int fd;
    do fd = ::accept4(Fd(s), reinterpret_cast<::sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail();
        return INVALID_SOCKET;
    }
    FromPosix(peer, address, addressLength);
    return static_cast<SOCKET>(fd);
}

int connect(SOCKET s, const struct sockaddr* name, int nameLength) {
    ::sockaddr_in address;
    if (!ToPosix(name, nameLength, address)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SOCKET_ERROR;
    }
    int result;
    do result = ::connect(Fd(s), reinterpret_cast<::sockaddr*>(&address), sizeof address);
    while (result < 0 && errno == EINTR);
    return result == 0 ? 0 : Fail();
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (flags != 0 || length < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SOCKET_ERROR;
    }
    ssize_t got;
    do got = ::recv(Fd(s), buffer, static_cast<size_t>(length), 0);
    while (got < 0 && errno == EINTR);
    return got < 0 ? Fail() : static_cast<int>(got);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    if (flags != 0 || length < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SOCKET_ERROR;
    }
    // A blocking Winsock send returns only when all bytes are queued, and SO_SNDTIMEO bounds the
    // whole call. Linux applies the time-out to each system call and returns what it queued so
    // far, so after a partial send the rest gets only what is left of the time.
    const auto start = std::chrono::steady_clock::now();
    int sent = 0;
    bool partial = false;
    std::chrono::milliseconds limit{0};
    while (sent < length) {
        if (partial && limit.count() > 0) {
            auto left = limit - std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start);
            ::pollfd writable{Fd(s), POLLOUT, 0};
            int ready = left.count() > 0 ? ::poll(&writable, 1, static_cast<int>(left.count())) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) {
                SetLastError(ERROR_TIMEOUT);
                return SOCKET_ERROR;
            }
        }
        int sendFlags = MSG_NOSIGNAL | (partial && limit.count() > 0 ? MSG_DONTWAIT : 0);
        ssize_t n = ::send(Fd(s), buffer + sent, static_cast<size_t>(length - sent), sendFlags);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (partial && limit.count() > 0) continue;   // poll said writable, another took the room
                SetLastError(ERROR_TIMEOUT);                   // SO_SNDTIMEO ran out
                return SOCKET_ERROR;
            }
            return Fail();
        }
        sent += static_cast<int>(n);
        if (sent < length && !partial) {
            partial = true;
            ::timeval timeout{};
            ::socklen_t size = sizeof timeout;
            if (::getsockopt(Fd(s), SOL_SOCKET, SO_SNDTIMEO, &timeout, &size) == 0)
                limit = std::chrono::milliseconds(timeout.tv_sec * 1000 + timeout.tv_usec / 1000);
        }
    }
    return sent;
}

int shutdown(SOCKET s, int how) {
    int mode = how == kWinSdReceive ? SHUT_RD : how == kWinSdSend ? SHUT_WR : SHUT_RDWR;
    return ::shutdown(Fd(s), mode) == 0 ? 0 : Fail();
}

int closesocket(SOCKET s) { return ::close(Fd(s)) == 0 ? 0 : Fail(); }

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
    if (value == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SOCKET_ERROR;
    }
    if (level == kWinIpProtoTcp && name == kWinTcpNoDelay && length >= static_cast<int>(sizeof(BOOL))) {
        BOOL on;
        std::memcpy(&on, value, sizeof on);
        int flag = on ? 1 : 0;
        return ::setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag) == 0 ? 0 : Fail();
    }
    if (level != kWinSolSocket) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return SOCKET_ERROR;
    }
    if (name == kWinSoSndTimeo && length >= static_cast<int>(sizeof(DWORD))) {
        DWORD milliseconds;
        std::memcpy(&milliseconds, value, sizeof milliseconds);
        timeval timeout{static_cast<time_t>(milliseconds / 1000),
                        static_cast<suseconds_t>((milliseconds % 1000) * 1000)};
        return ::setsockopt(Fd(s), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0 ? 0 : Fail();
    }
    if (name == kWinSoRcvBuf && length >= static_cast<int>(sizeof(int))) {
        int size;
        std::memcpy(&size, value, sizeof size);
        return ::setsockopt(Fd(s), SOL_SOCKET, SO_RCVBUF, &size, sizeof size) == 0 ? 0 : Fail();
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return SOCKET_ERROR;
}

int getsockname(SOCKET s, struct sockaddr* name, int* nameLength) {
    ::sockaddr_in address;
    socklen_t length = sizeof address;
    if (::getsockname(Fd(s), reinterpret_cast<::sockaddr*>(&address), &length) < 0) return Fail();
    FromPosix(address, name, nameLength);
    return 0;
}

char* inet_ntoa(struct in_addr address) {
    thread_local char text[16];
    const auto* b = reinterpret_cast<const unsigned char*>(&address.s_addr);
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

}  // namespace win32
