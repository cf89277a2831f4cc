// ZTcpServer: listens on the gateway's TCP port on all local IPv4 addresses and accepts clients
// on its own thread. The IP access lists decide on each peer; admitted sockets go to the
// creator, refused ones are cut off and the listener goes on accepting.
//
// Threads: Listen runs on the owner's thread before the listener thread exists; Run is the only
// code on the listener thread. The owner ends the listener with Stop (or by destroying it),
// which shuts the listening socket down to wake the blocked accept and joins the thread.
#pragma once

#include "gateway/ZAbstractThread.h"
#include "gateway/ZCriticalSection.h"
#include "io/ZTcpConnectionCreator.h"

class ZTcpServer : public ZAbstractThread {
public:
    static constexpr int ListenBacklog = 5;

    explicit ZTcpServer(ZTcpConnectionCreator* creator);
    ~ZTcpServer() override;

    // True when the socket listens and the listener thread runs.
    bool Listen(int port);
    // Ends the listener thread, if it runs, and waits for it. No socket is accepted afterwards.
    void Stop();

protected:
    void Run() override;

private:
    // Closes the listening socket once; guarded against a concurrent Stop.
    void CloseListeningSocket();

    ZTcpConnectionCreator* creator;
    SOCKET listeningSocket = INVALID_SOCKET;
    ZCriticalSection socketLock;   // Stop's shutdown must never meet a socket already closed
};
