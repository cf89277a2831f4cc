#include "io/ZTcpServer.h"

#include "io/IpAccessList.h"

#include <cstring>

ZTcpServer::ZTcpServer(ZTcpConnectionCreator* creator) : creator(creator) {}

ZTcpServer::~ZTcpServer() { Stop(); }

bool ZTcpServer::Listen(int port) {
    listeningSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (listeningSocket == INVALID_SOCKET) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = INADDR_ANY;
    if (bind(listeningSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR ||
        listen(listeningSocket, ListenBacklog) == SOCKET_ERROR) {
        CloseListeningSocket();
        return false;
    }
    if (!Start()) {
        CloseListeningSocket();
        return false;
    }
    return true;
}

void ZTcpServer::Stop() {
    {
        ZCriticalSectionLock guard(socketLock);
        if (listeningSocket != INVALID_SOCKET) shutdown(listeningSocket, SD_BOTH);
    }
    WaitForRun();
}

void ZTcpServer::Run() {
    for (;;) {
        sockaddr_in peer{};
        int length = sizeof peer;
        SOCKET accepted = accept(listeningSocket, reinterpret_cast<sockaddr*>(&peer), &length);
        if (accepted == INVALID_SOCKET) break;
        char address[16];
        lstrcpynA(address, inet_ntoa(peer.sin_addr), sizeof address);
        if (IsAddressAllowed(address)) {
            creator->CreateConnection(accepted);
        } else {
            // A refused peer reads end-of-stream before any line. Refusing one stranger must not
            // lock every later client out, so the listener goes on.
            shutdown(accepted, SD_BOTH);
            closesocket(accepted);
        }
    }
    CloseListeningSocket();
}

void ZTcpServer::CloseListeningSocket() {
    ZCriticalSectionLock guard(socketLock);
    if (listeningSocket != INVALID_SOCKET) {
        closesocket(listeningSocket);
        listeningSocket = INVALID_SOCKET;
    }
}
