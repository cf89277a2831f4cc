#include "gateway/ZLoconetServer.h"

#include "framework/ModuleHandles.h"
#include "framework/ZModule.h"
#include "framework/ZString.h"
#include "gateway/ZActivityFlag.h"
#include "gateway/ZMutexUser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char* const SentOk = "SENT OK";
const char* const Rs232Failed = "SENT ERROR RS232 failed";
const char* const EchoTimedOut = "SENT ERROR timed out waiting for echo from LocoBuffer";

// The command word is compared without regard to case, in ASCII.
bool EqualsIgnoringCase(const char* text, const char* word) {
    for (; *text != '\0' && *word != '\0'; ++text, ++word) {
        char a = (*text >= 'a' && *text <= 'z') ? static_cast<char>(*text - 'a' + 'A') : *text;
        if (a != *word) return false;
    }
    return *text == '\0' && *word == '\0';
}

}  // namespace

ZLoconetServer::ZLoconetServer(ZAbstractLoconetDevice* device) : device(device), listener(this) {}

ZLoconetServer::~ZLoconetServer() {
    listener.Stop();
    {
        ZCriticalSectionLock guard(connectionLock);
        for (ZClientConnection* connection : connections) connection->Shutdown();
    }
    // Each client's thread now closes its connection and destroys it through ConnectionClosed.
    for (;;) {
        {
            ZCriticalSectionLock guard(connectionLock);
            if (liveConnections == 0) break;
        }
        connectionDestroyed.Wait(INFINITE);
    }
}

bool ZLoconetServer::StartListening(int port) { return listener.Listen(port); }

void ZLoconetServer::AddConnection(ZClientConnection* connection) {
    ZCriticalSectionLock guard(connectionLock);
    connections.push_back(connection);
}

bool ZLoconetServer::CreateConnection(SOCKET socket) {
    auto* connection = new ZClientConnection(this, socket);
    {
        // Registered before its thread runs, so that a client that leaves at once is found and
        // destroyed by ConnectionClosed; this thread stays a user until the greeting is out.
        ZCriticalSectionLock guard(connectionLock);   // recursive: AddConnection enters it again
        ++liveConnections;
        AddConnection(connection);
        connection->AddUser();
    }
    if (!connection->Start()) {
        {
            ZCriticalSectionLock guard(connectionLock);
            connections.erase(std::find(connections.begin(), connections.end(), connection));
        }
        connection->ReleaseUser();
        DestroyConnection(connection);   // closes the socket, which no thread will read
        return false;
    }
    ZModule program;
    program.Attach(GetInstanceHandle());
    ZString greeting;
    greeting.Format(ZString(GreetingStringId), static_cast<const char*>(program.GetFileVersion()));
    connection->SendLine(greeting);
    connection->ReleaseUser();
    return true;
}

void ZLoconetServer::ConnectionClosed(ZClientConnection* connection) {
    {
        ZCriticalSectionLock guard(connectionLock);
        auto it = std::find(connections.begin(), connections.end(), connection);
        if (it == connections.end()) return;
        connections.erase(it);
    }
    DestroyConnection(connection);
}

void ZLoconetServer::DestroyConnection(ZClientConnection* connection) {
    connection->WaitUntilUnused();
    delete connection;
    ZCriticalSectionLock guard(connectionLock);
    // Under the lock: once the destructor sees 0, this thread touches the gateway no more.
    --liveConnections;
    connectionDestroyed.Set();
}

bool ZLoconetServer::Broadcast(const char* line) {
    {
        ZCriticalSectionLock guard(connectionLock);
        broadcastTargets.assign(connections.begin(), connections.end());
        for (ZClientConnection* connection : broadcastTargets) connection->AddUser();
    }
    for (ZClientConnection* connection : broadcastTargets) {
        connection->SendLine(line);
        connection->ReleaseUser();
    }
    return true;
}

void ZLoconetServer::RunReceiveLoop() {
    BYTE message[ReadBufferSize + 1];
    // "RECEIVE", three characters per byte and the NUL.
    char line[7 + ZLoconetMessage::HexCharsPerByte * ReadBufferSize + 1];
    for (;;) {
        int length = device->ReadMessage(message, ReadBufferSize);
        if (length < 0) return;
        ReceiveActivity.Raise();
        std::memcpy(line, "RECEIVE", 7);
        ZLoconetMessage::FormatHex(line + 7, message, static_cast<DWORD>(length));
        Broadcast(line);
        MatchEcho(message, static_cast<DWORD>(length));
    }
}

void ZLoconetServer::MatchEcho(const BYTE* bytes, DWORD length) {
    ZCriticalSectionLock guard(pendingLock);
    if (pendingMessage == nullptr || !ZLoconetMessage(length, bytes).Equals(*pendingMessage)) return;
    // The sender's thread is inside HandleSend until it has taken pendingLock after its wait,
    // so the sender exists here. Clearing the pending SEND claims its answer.
    pendingSender->SendLine(SentOk);
    pendingMessage = nullptr;
    pendingSender = nullptr;
    echoEvent.Set();
}

void ZLoconetServer::LineReceived(ZClientConnection* connection, char* line) {
    // A SEND without any blank is a SEND with an empty hex text, which the parser refuses.
    const char* rest = "";
    if (char* blank = std::strchr(line, ' ')) {
        *blank = '\0';
        rest = blank + 1;
    }
    if (EqualsIgnoringCase(line, "SEND")) HandleSend(connection, rest);
}

void ZLoconetServer::HandleSend(ZClientConnection* sender, const char* hexText) {
    ZLoconetMessage message;
    if (const char* error = message.ParseHex(hexText)) {
        char reply[128];
        std::snprintf(reply, sizeof reply, "SENT ERROR %s", error);
        sender->SendLine(reply);
        return;
    }
    SendActivity.Raise();
    const char* reply = nullptr;
    {
        ZMutexUser user(sendMutex);
        echoEvent.Reset();   // a stale signal must not end this wait
        {
            ZCriticalSectionLock guard(pendingLock);
            pendingMessage = &message;
            pendingSender = sender;
        }
        if (!device->WriteMessage(message.data, message.length))
            reply = Rs232Failed;
        else if (!echoEvent.Wait(EchoTimeout))
            reply = EchoTimedOut;
        ZCriticalSectionLock guard(pendingLock);
        // The receive loop clears the pending SEND when it answers it; it may have done so
        // between the end of the wait and here, and then this SEND has its answer.
        if (pendingMessage == nullptr) reply = nullptr;
        pendingMessage = nullptr;
        pendingSender = nullptr;
    }
    if (reply != nullptr) sender->SendLine(reply);
}
