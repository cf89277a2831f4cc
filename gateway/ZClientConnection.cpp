#include "gateway/ZClientConnection.h"

#include <cstring>

ZClientConnection::ZClientConnection(ZClientConnectionHandler* handler, SOCKET socket)
    : socket(socket), handler(handler) {
    DWORD timeout = SendTimeout;
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    // Lines are small and answer the client's lines: "SENT OK" right behind a RECEIVE line
    // must not wait for the client's acknowledgement of the RECEIVE.
    BOOL noDelay = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

ZClientConnection::~ZClientConnection() {
    // A connection whose receive thread never ran still holds its socket; nobody else will
    // close it.
    ZCriticalSectionLock guard(sendLock);
    if (socket != INVALID_SOCKET) {
        closesocket(socket);
        socket = INVALID_SOCKET;
    }
}

bool ZClientConnection::SendBytes(const void* bytes, int count) {
    ZCriticalSectionLock guard(sendLock);
    if (socket == INVALID_SOCKET) return false;
    return send(socket, static_cast<const char*>(bytes), count, 0) != SOCKET_ERROR;
}

bool ZClientConnection::SendLine(const char* text) {
    const size_t length = std::strlen(text);
    ZCriticalSectionLock guard(sendLock);
    bool sent;
    if (length + 2 <= MaxSingleSendLine) {
        // Text and line end in one send: as two, the small second send would wait for the
        // client's delayed acknowledgement of the first (Nagle), some 40 ms on Linux.
        char line[MaxSingleSendLine];
        std::memcpy(line, text, length);
        std::memcpy(line + length, "\r\n", 2);
        sent = SendBytes(line, static_cast<int>(length + 2));
    } else {
        sent = SendBytes(text, static_cast<int>(length)) && SendBytes("\r\n", 2);
    }
    if (!sent && socket != INVALID_SOCKET) shutdown(socket, SD_BOTH);
    return sent;
}

void ZClientConnection::Close() {
    {
        ZCriticalSectionLock guard(sendLock);
        closesocket(socket);
        socket = INVALID_SOCKET;
    }
    handler->ConnectionClosed(this);   // may destroy this connection
}

void ZClientConnection::Shutdown() {
    ZCriticalSectionLock guard(sendLock);
    if (socket != INVALID_SOCKET) shutdown(socket, SD_BOTH);
}

void ZClientConnection::AddUser() {
    ZCriticalSectionLock guard(userLock);
    ++users;
}

void ZClientConnection::ReleaseUser() {
    ZCriticalSectionLock guard(userLock);
    // Signalled under the lock: the waiter can only see 0 users, and destroy the connection,
    // once this thread has left the lock.
    if (--users == 0) unused.Set();
}

void ZClientConnection::WaitUntilUnused() {
    for (;;) {
        {
            ZCriticalSectionLock guard(userLock);
            if (users == 0) return;
        }
        unused.Wait(INFINITE);
    }
}

void ZClientConnection::Run() {
    ProcessLines();
    for (;;) {
        int got = ReceiveMore(socket);
        if (got == SOCKET_ERROR || got == 0) {
            Close();
            return;
        }
        if (!ProcessLines()) {
            SendLine("buffer overflow");
            Close();
            return;
        }
    }
}

void ZClientConnection::OnLine(char* line) { handler->LineReceived(this, line); }
