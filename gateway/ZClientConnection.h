// ZClientConnection: one TCP client of the gateway. It owns the client's socket, runs a receive
// thread that cuts the incoming bytes into lines for the handler, and sends lines back.
//
// Threads: the connection's own thread receives, handles the client's lines and finally closes
// the socket and reports to the handler, which destroys the connection on that thread. Lines
// are sent from up to three threads (the listener's greeting, the main thread's broadcasts and
// "SENT OK", the own thread's replies); a lock per connection keeps each line whole and the
// socket open while a send uses it. Other threads that hold a pointer to the connection (a
// broadcast, the greeting) register as users, and the connection is not destroyed while it
// has users.
#pragma once

#include "gateway/ZAbstractThread.h"
#include "gateway/ZClientConnectionHandler.h"
#include "gateway/ZCriticalSection.h"
#include "gateway/ZReceiveLineBuffer.h"
#include "gateway/ZSyncEvent.h"

class ZClientConnection : public ZAbstractThread, public ZReceiveLineBuffer {
public:
    // A client that cannot take a line within this time is given up and closed, so that one
    // stalled client never holds up the others.
    static constexpr DWORD SendTimeout = 2000;
    // Lines up to this length, line end included, go out in one send; every line the gateway
    // itself sends does (the longest, a RECEIVE of 127 bytes, has 390).
    static constexpr size_t MaxSingleSendLine = 512;

    ZClientConnection(ZClientConnectionHandler* handler, SOCKET socket);
    // Does not close the socket; Close does. A connection whose thread never started closes it.
    ~ZClientConnection() override;

    // One send of the bytes; false when it failed or the socket is closed.
    bool SendBytes(const void* bytes, int count);
    // The text and CR LF, whole. A line that cannot be sent gives the client up: its socket is
    // shut down, and its own thread then closes the connection.
    bool SendLine(const char* text);
    // Closes the socket and reports to the handler, which may destroy the connection.
    void Close();
    // Wakes the receive thread, which then closes the connection. Any thread may call it.
    void Shutdown();

    // Another thread is about to use the connection / has finished with it.
    void AddUser();
    void ReleaseUser();
    // Waits until no other thread uses the connection. Called before it is destroyed.
    void WaitUntilUnused();

protected:
    void Run() override;
    void OnLine(char* line) override;

private:
    SOCKET socket;
    ZClientConnectionHandler* handler;
    ZCriticalSection sendLock;   // guards socket and keeps the two sends of a line together
    ZCriticalSection userLock;   // guards users
    int users = 0;
    ZSyncEvent unused;           // set when users drops to 0
};
