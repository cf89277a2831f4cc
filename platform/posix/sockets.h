// The Winsock 1.1 subset: BSD sockets under their Winsock names. A SOCKET is the descriptor.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

typedef UINT_PTR SOCKET;
typedef unsigned short u_short;
typedef unsigned long u_long;

constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr DWORD INADDR_ANY = 0;
constexpr DWORD INADDR_LOOPBACK = 0x7F000001;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int IPPROTO_TCP = 6;
constexpr int TCP_NODELAY = 0x0001;
constexpr int SO_SNDTIMEO = 0x1005;
constexpr int SO_RCVBUF = 0x1002;

// Winsock reaches the address as the macro s_addr; here it is a member of an anonymous union,
// so that no macro clashes with the POSIX record of the same name.
struct in_addr {
    union {
        struct { BYTE s_b1, s_b2, s_b3, s_b4; } S_un_b;
        DWORD s_addr;   // network byte order
    };
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

constexpr u_short htons(u_short value) {
    return static_cast<u_short>((value << 8) | (value >> 8));
}
constexpr u_short ntohs(u_short value) { return htons(value); }
constexpr u_long htonl(u_long value) {
    return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) |
           ((value >> 24) & 0xFF);
}
constexpr u_long ntohl(u_long value) { return htonl(value); }

// Always succeeds; the version asked for is reported back.
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSAGetLastError();
SOCKET socket(int family, int type, int protocol);
// A port whose old connections linger in TIME_WAIT can be bound again at once, as on Windows.
int bind(SOCKET s, const struct sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, struct sockaddr* address, int* addressLength);
int connect(SOCKET s, const struct sockaddr* name, int nameLength);
int recv(SOCKET s, char* buffer, int length, int flags);
// Blocks until every byte is queued, or fails; never raises SIGPIPE. With SO_SNDTIMEO set, a
// send that cannot queue its bytes within that time fails (the peer is then in an unknown state).
int send(SOCKET s, const char* buffer, int length, int flags);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
// Only SO_SNDTIMEO (a DWORD of milliseconds), SO_RCVBUF (an int) and TCP_NODELAY (a BOOL) are known.
int setsockopt(SOCKET s, int level, int name, const char* value, int length);
int getsockname(SOCKET s, struct sockaddr* name, int* nameLength);
// The text lives in a buffer of the calling thread until its next call.
char* inet_ntoa(struct in_addr address);

}  // namespace win32
