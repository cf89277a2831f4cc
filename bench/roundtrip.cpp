// Round trip of one SEND through the gateway over TCP on 127.0.0.1: from the client's send of
// "SEND ..." to its receipt of "SENT OK", with a device that echoes at once. Also the time from
// a device message to its RECEIVE line at a client. Prints the median and the 90th percentile.
#include "framework/ModuleHandles.h"
#include "gateway/ZLoconetServer.h"
#include "io/IpAccessList.h"
#include "support/GatewayRunner.h"
#include "support/Loopback.h"
#include "support/ScriptedDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Report(const char* what, std::vector<double>& micros) {
    std::sort(micros.begin(), micros.end());
    std::printf("%-32s n=%zu median=%.0f us p90=%.0f us\n", what, micros.size(), micros[micros.size() / 2],
                micros[micros.size() * 9 / 10]);
}

}  // namespace

int main() {
    SetModuleHandles(nullptr);
    LoadIpLists();
    rwtest::ScriptedDevice device;
    int status = 0;
    {
        ZLoconetServer server(&device);
        u_short port = rwtest::ListenOnFreePort(server);
        rwtest::ReceiveLoopThread loop(server);
        loop.Start();
        SOCKET s = rwtest::ConnectToLoopback(port);
        rwtest::LineReader reader(s);
        std::string line;
        reader.ReadLine(&line);

        const int Rounds = 200;
        std::vector<double> sends, receives;
        for (int i = 0; i < Rounds; ++i) {
            Clock::time_point start = Clock::now();
            rwtest::SendText(s, "SEND A0 01 02 5C\r\n");
            reader.ReadLine(&line);   // RECEIVE
            reader.ReadLine(&line);   // SENT OK
            if (line != "SENT OK") status = 1;
            sends.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        for (int i = 0; i < Rounds; ++i) {
            Clock::time_point start = Clock::now();
            device.Inject({0x83, 0x7C});
            reader.ReadLine(&line);
            receives.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        Report("SEND to SENT OK", sends);
        Report("device message to RECEIVE", receives);
        device.Fail();
        closesocket(s);
    }
    return status;
}
