// The socket rules the gateway relies on: a send to a closed peer fails instead of raising
// SIGPIPE, shutdown wakes a blocked accept and recv, and SO_SNDTIMEO bounds a blocked send.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

SOCKET ListenOnLoopback(u_short* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(s, 5), 0);
    int length = sizeof address;
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
    *port = ntohs(address.sin_port);
    return s;
}

SOCKET Connect(u_short port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return s;
}

struct Pair {
    SOCKET listener, client, server;
    sockaddr_in peer{};
    Pair() {
        u_short port;
        listener = ListenOnLoopback(&port);
        client = Connect(port);
        int length = sizeof peer;
        server = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    }
    ~Pair() {
        closesocket(listener);
        closesocket(client);
        if (server != INVALID_SOCKET) closesocket(server);
    }
};

TEST(Sockets, AcceptReportsThePeerAsDottedDecimal) {
    Pair pair;
    ASSERT_NE(pair.server, INVALID_SOCKET);
    EXPECT_STREQ(inet_ntoa(pair.peer.sin_addr), "127.0.0.1");
    EXPECT_EQ(pair.peer.sin_family, AF_INET);
}

TEST(Sockets, SendToAClosedPeerFailsWithoutSignal) {
    Pair pair;
    closesocket(pair.server);
    pair.server = INVALID_SOCKET;
    // The first send may still be queued; a later one meets the reset. Either way the process
    // lives on, which a SIGPIPE would not allow.
    int result = 0;
    for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i) result = send(pair.client, "x\r\n", 3, 0);
    EXPECT_EQ(result, SOCKET_ERROR);
}

TEST(Sockets, ShutdownWakesBlockedRecvAndAccept) {
    Pair pair;
    struct Blocked { SOCKET s; int got; SOCKET accepted; } blocked{pair.server, 1, 0};
    HANDLE reader = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        auto* b = static_cast<Blocked*>(p);
        char c;
        b->got = recv(b->s, &c, 1, 0);
        return 0;
    }, &blocked, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(reader, 100), WAIT_TIMEOUT);
    EXPECT_EQ(shutdown(pair.server, SD_BOTH), 0);
    ASSERT_EQ(WaitForSingleObject(reader, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(blocked.got, 0);
    CloseHandle(reader);

    blocked.s = pair.listener;
    HANDLE acceptor = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        auto* b = static_cast<Blocked*>(p);
        b->accepted = accept(b->s, nullptr, nullptr);
        return 0;
    }, &blocked, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(acceptor, 100), WAIT_TIMEOUT);
    shutdown(pair.listener, SD_BOTH);
    ASSERT_EQ(WaitForSingleObject(acceptor, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(blocked.accepted, INVALID_SOCKET);
    CloseHandle(acceptor);
}

TEST(Sockets, SendTimeoutBoundsABlockedSend) {
    Pair pair;
    DWORD timeout = 200;
    ASSERT_EQ(setsockopt(pair.server, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                         sizeof timeout), 0);
    // The client never reads: once both socket buffers are full, send gives up.
    std::vector<char> chunk(64 * 1024, 'x');
    auto start = std::chrono::steady_clock::now();
    int result = 0;
    for (int i = 0; i < 4096 && result != SOCKET_ERROR; ++i)
        result = send(pair.server, chunk.data(), static_cast<int>(chunk.size()), 0);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The time-out bounds the whole call, also when part of the bytes went out before the peer
// stopped taking them: a stalled client must not hold the sender for twice the time.
TEST(Sockets, SendTimeoutBoundsTheWholeCallAfterAPartialSend) {
    Pair pair;
    DWORD timeout = 300;
    ASSERT_EQ(setsockopt(pair.server, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                         sizeof timeout), 0);
    // Far more than both socket buffers hold, in one call: part of it goes out at once.
    std::vector<char> line(16 * 1024 * 1024, 'x');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send(pair.server, line.data(), static_cast<int>(line.size()), 0), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(took.count(), 280);
    EXPECT_LE(took.count(), 500);
}

TEST(Sockets, BindToAPortInUseFails) {
    u_short port;
    SOCKET first = ListenOnLoopback(&port);
    SOCKET second = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = INADDR_ANY;
    address.sin_port = htons(port);
    EXPECT_EQ(bind(second, reinterpret_cast<sockaddr*>(&address), sizeof address), SOCKET_ERROR);
    closesocket(second);
    closesocket(first);
}

// A server that closed its clients first leaves their connections in TIME_WAIT on its port; a
// restarted server must still get the port, as on Windows.
TEST(Sockets, PortWithLingeringConnectionsCanBeListenedOnAgain) {
    u_short port;
    {
        Pair pair;
        sockaddr_in local{};
        int length = sizeof local;
        ASSERT_EQ(getsockname(pair.listener, reinterpret_cast<sockaddr*>(&local), &length), 0);
        port = ntohs(local.sin_port);
        // The accepted side closes first, so that side keeps TIME_WAIT.
        closesocket(pair.server);
        pair.server = INVALID_SOCKET;
        char byte;
        EXPECT_EQ(recv(pair.client, &byte, 1, 0), 0);
    }
    SOCKET again = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = INADDR_ANY;
    address.sin_port = htons(port);
    EXPECT_EQ(bind(again, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(again, 5), 0);
    closesocket(again);
}

}  // namespace
