// ZLoconetServer: the gateway. It joins one LocoNet device to any number of TCP clients: every
// message from the device goes to every client as a "RECEIVE" line, a client's "SEND" line is
// written to the device and answered "SENT OK" once the LocoBuffer has echoed it, or
// "SENT ERROR" with a reason.
//
// Threads and shared state:
// - the main thread runs RunReceiveLoop: device reads, broadcasts and the "SENT OK" replies;
// - the listener thread runs CreateConnection: registration and greeting of new clients;
// - each client's thread runs LineReceived and HandleSend, and ConnectionClosed at its end.
// The connection list is guarded by connectionLock, held only to change or copy the list; a
// thread that sends to a listed connection outside the lock registers as its user first, and a
// closed connection is destroyed only when it has no users. sendMutex lets one SEND at a time
// go from its device write to the end of its echo wait. The pending SEND (message and sender)
// is guarded by pendingLock, under which the receive loop compares, answers "SENT OK" and
// claims the answer, so that every SEND gets exactly one answer line.
#pragma once

#include "gateway/ZAbstractLoconetDevice.h"
#include "gateway/ZClientConnection.h"
#include "gateway/ZClientConnectionHandler.h"
#include "gateway/ZCriticalSection.h"
#include "gateway/ZLoconetMessage.h"
#include "gateway/ZSyncEvent.h"
#include "gateway/ZSyncMutex.h"
#include "io/ZTcpConnectionCreator.h"
#include "io/ZTcpServer.h"

#include <vector>

class ZLoconetServer : public ZClientConnectionHandler, public ZTcpConnectionCreator {
public:
    // How long a SEND waits for its echo.
    static constexpr DWORD EchoTimeout = 1000;
    // The largest message read from the device.
    static constexpr DWORD ReadBufferSize = 127;
    // String-table entry of the greeting's format.
    static constexpr UINT GreetingStringId = 110;

    explicit ZLoconetServer(ZAbstractLoconetDevice* device);
    // Stops the listener, shuts the clients' sockets down and waits until their threads have
    // destroyed every connection, so that nothing of the gateway is used afterwards.
    virtual ~ZLoconetServer();
    ZLoconetServer(const ZLoconetServer&) = delete;
    ZLoconetServer& operator=(const ZLoconetServer&) = delete;

    void ConnectionClosed(ZClientConnection* connection) override;
    void LineReceived(ZClientConnection* connection, char* line) override;
    bool CreateConnection(SOCKET socket) override;

    // True when the socket listens on the port and the listener thread runs.
    bool StartListening(int port);
    // Reads the device and serves the clients until the device fails. Runs on the calling thread.
    void RunReceiveLoop();
    // Sends the line to every registered client; the results of the sends are ignored.
    bool Broadcast(const char* line);
    void AddConnection(ZClientConnection* connection);

private:
    void HandleSend(ZClientConnection* sender, const char* hexText);
    // Compares a message from the device with the pending SEND and answers it on a match.
    void MatchEcho(const BYTE* bytes, DWORD length);
    // Destroys a connection that is out of the list, once nobody uses it.
    void DestroyConnection(ZClientConnection* connection);

    ZSyncMutex sendMutex;
    ZSyncEvent echoEvent;
    ZCriticalSection pendingLock;
    ZClientConnection* pendingSender = nullptr;
    ZLoconetMessage* pendingMessage = nullptr;

    ZCriticalSection connectionLock;
    std::vector<ZClientConnection*> connections;
    // Connections created and not yet destroyed, listed or not; the destructor waits for 0.
    int liveConnections = 0;
    ZSyncEvent connectionDestroyed;
    // The receive loop's copy of the list for one broadcast; kept to avoid an allocation per
    // message. Only the main thread touches it.
    std::vector<ZClientConnection*> broadcastTargets;

    ZAbstractLoconetDevice* device;
    // Last member: destroyed first, so no connection is created while the others go.
    ZTcpServer listener;
};
