#include "gateway/ZClientConnection.h"

#include <cstring>

ZClientConnection::ZClientConnection(ZClientConnectionHandler* handler, SOCKET socket)
    : socket(socket), handler(handler) {
    DWORD timeout = SendTimeout;
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
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
    ZCriticalSectionLock guard(sendLock);
    if (SendBytes(text, static_cast<int>(std::strlen(text))) && SendBytes("\r\n", 2)) return true;
    if (socket != INVALID_SOCKET) shutdown(socket, SD_BOTH);
    return false;
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
