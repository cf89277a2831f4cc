// ZClientConnectionHandler: what a client connection reports to (the gateway).
#pragma once

class ZClientConnection;

class ZClientConnectionHandler {
public:
    // The connection's socket is closed; the handler removes and destroys the connection.
    // Called on the connection's own thread.
    virtual void ConnectionClosed(ZClientConnection* connection) = 0;
    // One line from the client, on the connection's own thread. The line may be changed in place.
    virtual void LineReceived(ZClientConnection* connection, char* line) = 0;

protected:
    ~ZClientConnectionHandler() = default;
};
