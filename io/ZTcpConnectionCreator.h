// ZTcpConnectionCreator: what the TCP listener hands its admitted sockets to (the gateway).
#pragma once

#include "platform/win32.h"

class ZTcpConnectionCreator {
public:
    // Takes over an accepted socket; called on the listener thread. The listener ignores the
    // result.
    virtual bool CreateConnection(SOCKET socket) = 0;

protected:
    ~ZTcpConnectionCreator() = default;
};
