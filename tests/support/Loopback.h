// Test helpers for TCP on 127.0.0.1 through the layer's Winsock: listening sockets on ephemeral
// ports, connected pairs, and a client that reads lines with a bound.
#pragma once

#include "platform/win32.h"

#include <chrono>
#include <string>

namespace rwtest {

// A socket listening on 127.0.0.1 with a port chosen by the system.
inline SOCKET ListenOnLoopback(u_short* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(s, 5);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return s;
}

// Connects to port on 127.0.0.1; the client's own address may be another loopback address
// (127.0.0.2, ...), given in host byte order. INVALID_SOCKET on failure.
inline SOCKET ConnectToLoopback(u_short port, DWORD fromAddress = INADDR_LOOPBACK, int receiveBuffer = 0) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    if (fromAddress != INADDR_LOOPBACK) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(fromAddress);
        if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// A port on which nothing listens at the moment (the system's choice for port 0).
inline u_short FreePort() {
    u_short port;
    SOCKET s = ListenOnLoopback(&port);
    closesocket(s);
    return port;
}

// Both ends of one TCP connection on 127.0.0.1.
struct SocketPair {
    SOCKET near = INVALID_SOCKET;   // the client side
    SOCKET far = INVALID_SOCKET;    // the accepted side
    SocketPair() {
        u_short port;
        SOCKET listener = ListenOnLoopback(&port);
        near = ConnectToLoopback(port);
        far = accept(listener, nullptr, nullptr);
        closesocket(listener);
    }
    ~SocketPair() {
        if (near != INVALID_SOCKET) closesocket(near);
        if (far != INVALID_SOCKET) closesocket(far);
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;
};

// Sends all of text.
inline bool SendText(SOCKET s, const std::string& text) {
    return send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
}

// A client side that reads CR LF lines. Each read waits at most the given time; a line that
// does not arrive in time, or a closed connection, gives false.
class LineReader {
public:
    explicit LineReader(SOCKET s) : s(s) {}

    bool ReadLine(std::string* line, DWORD milliseconds = 5000) {
        for (;;) {
            std::string::size_type end = pending.find("\r\n");
            if (end != std::string::npos) {
                *line = pending.substr(0, end);
                pending.erase(0, end + 2);
                return true;
            }
            if (!Fill(milliseconds)) return false;
        }
    }

    // Exactly n bytes, line ends included.
    bool ReadBytes(size_t n, std::string* bytes, DWORD milliseconds = 5000) {
        while (pending.size() < n) {
            if (!Fill(milliseconds)) return false;
        }
        *bytes = pending.substr(0, n);
        pending.erase(0, n);
        return true;
    }

    // Reads and drops everything until the peer closes; false when it does not close in time.
    bool DrainToEndOfStream(DWORD milliseconds = 10000) {
        pending.clear();
        while (Fill(milliseconds)) pending.clear();
        return closed;
    }

    // True when the peer closes the connection within the time, with no further bytes.
    bool ReadsEndOfStream(DWORD milliseconds = 5000) {
        if (!pending.empty()) return false;
        return !Fill(milliseconds) && closed && pending.empty();
    }

    const std::string& Pending() const { return pending; }

private:
    // One recv, run on a layer thread so that the wait for it has a bound.
    bool Fill(DWORD milliseconds) {
        struct Read { SOCKET s; char data[4096]; int got; } read{s, {}, 0};
        HANDLE thread = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
            auto* r = static_cast<Read*>(p);
            r->got = recv(r->s, r->data, sizeof r->data, 0);
            return 0;
        }, &read, 0, nullptr);
        if (WaitForSingleObject(thread, milliseconds) != WAIT_OBJECT_0) {
            // Wake the recv so that the thread ends before the record goes.
            shutdown(s, SD_BOTH);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            timedOut = true;
            return false;
        }
        CloseHandle(thread);
        if (read.got <= 0) {
            closed = true;
            return false;
        }
        pending.append(read.data, static_cast<size_t>(read.got));
        return true;
    }

    SOCKET s;
    std::string pending;
    bool closed = false;
    bool timedOut = false;
};

}  // namespace rwtest
