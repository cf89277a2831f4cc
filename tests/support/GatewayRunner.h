// Test helpers that run a gateway: listening on a free port of 127.0.0.1, and the receive loop
// on a thread of its own in place of the program's main thread.
#pragma once

#include "gateway/ZLoconetServer.h"
#include "support/Loopback.h"

namespace rwtest {

// Starts the server's listener on a port that was free a moment ago; 0 when none could be had.
inline u_short ListenOnFreePort(ZLoconetServer& server) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        u_short candidate = FreePort();
        if (server.StartListening(candidate)) return candidate;
    }
    return 0;
}

// Runs RunReceiveLoop until the device fails; the destructor waits for that.
class ReceiveLoopThread : public ZAbstractThread {
public:
    explicit ReceiveLoopThread(ZLoconetServer& server) : server(server) {}
    ~ReceiveLoopThread() override { WaitForRun(); }
    void Join() { WaitForRun(); }

protected:
    void Run() override { server.RunReceiveLoop(); }

private:
    ZLoconetServer& server;
};

}  // namespace rwtest
