// RwServer and RwOption as a person runs them: the real executables with a settings file of
// their own, the LocoBuffer simulator's pseudo-terminal as the COM port, a free TCP port on
// 127.0.0.1, and no terminal, so that the settings dialog confirms what the file says. The
// simulated shell reports the tray icon's changes on /dev/fd/3, which tells when the server
// serves and whether its icon came and went.
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <sys/file.h>

namespace {

using namespace e2e;
using namespace std::chrono_literals;

constexpr const char* Greeting = "VERSION Railwick Server 2.00";
constexpr const char* EchoTimeout = "SENT ERROR timed out waiting for echo from LocoBuffer";

std::string Settings(int comPort, int tcpPort, int dontShow = 1) {
    return "[Server]\nDontShowDlgNext=" + std::to_string(dontShow) + "\nComPort=" + std::to_string(comPort) +
           "\nTCPPort=" + std::to_string(tcpPort) + "\n";
}

class RwServerRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path.empty());
        port = FreePort();
        settings = dir / "Railwick.ini";
        WriteFile(settings, Settings(3, port));
    }

    // The environment of a server run: the settings file, COM3 on the simulator, a runtime folder
    // of this test for the single-instance name, and the shell's report on /dev/fd/3.
    std::map<std::string, std::string> Environment() {
        return {{"RW_SETTINGS", settings},
                {"RW_COM3", simulator.device},
                {"XDG_RUNTIME_DIR", dir.path},
                {"RW_SHELL_TRACE", "/dev/fd/3"}};
    }

    // Starts RwServer and waits until its icon is there, which it adds once it serves.
    void StartServing(Process& server) {
        ASSERT_TRUE(server.Start({ServerProgram}, Environment()));
        auto added = server.side3.LineWith("add", 10s);
        ASSERT_TRUE(added.has_value()) << server.output.Rest(1s);
        tooltipLine = *added;
    }

    TempDir dir;
    Simulator simulator;
    int port = 0;
    std::string settings;
    std::string tooltipLine;
};

TEST_F(RwServerRun, GreetsRelaysAndAnswersSendsThroughTheLocoBuffer) {
    ASSERT_TRUE(simulator.Start());
    Process server;
    StartServing(server);
    EXPECT_NE(tooltipLine.find("Railwick Server - COM3 / TCP:" + std::to_string(port)), std::string::npos)
        << tooltipLine;

    Client sender(port), other(port);
    ASSERT_TRUE(sender.connected && other.connected);
    ASSERT_EQ(sender.Line(), Greeting);
    ASSERT_EQ(other.Line(), Greeting);

    // A client that waits for each answer.
    ASSERT_TRUE(sender.Send("SEND B0 01 20 6E\r\n"));
    EXPECT_EQ(sender.Line(), "RECEIVE B0 01 20 6E");
    EXPECT_EQ(sender.Line(), "SENT OK");
    EXPECT_EQ(other.Line(), "RECEIVE B0 01 20 6E");

    // A message from the bus that nobody sent reaches everybody.
    ASSERT_TRUE(simulator.Inject("B2 05 10 58"));
    EXPECT_EQ(sender.Line(), "RECEIVE B2 05 10 58");
    EXPECT_EQ(other.Line(), "RECEIVE B2 05 10 58");

    // A client that sends its lines without waiting, as JMRI does: each is answered in turn.
    ASSERT_TRUE(other.Send("SEND A0 01 02 5C\r\nSEND B0 02 21 6C\r\nSEND A0 03 00 5C\r\n"));
    for (const char* message : {"A0 01 02 5C", "B0 02 21 6C", "A0 03 00 5C"}) {
        EXPECT_EQ(other.Line(), std::string("RECEIVE ") + message);
        EXPECT_EQ(other.Line(), "SENT OK");
        EXPECT_EQ(sender.Line(), std::string("RECEIVE ") + message);
    }
    EXPECT_TRUE(server.Running());
}

TEST_F(RwServerRun, LostEchoIsAnsweredWithTheTimeoutAfterOneSecond) {
    ASSERT_TRUE(simulator.Start({"--drop", "1"}));
    Process server;
    StartServing(server);
    Client client(port);
    ASSERT_EQ(client.Line(), Greeting);

    auto sent = Clock::now();
    ASSERT_TRUE(client.Send("SEND B0 01 20 6E\r\n"));
    EXPECT_EQ(client.Line(3s), EchoTimeout);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    EXPECT_GE(waited.count(), 950);
    EXPECT_LE(waited.count(), 1500);
}

TEST_F(RwServerRun, SecondCopyEndsAtOnceWithoutMessageOrIcon) {
    ASSERT_TRUE(simulator.Start());
    Process first;
    StartServing(first);

    for (int copy = 0; copy < 2; ++copy) {
        Process second;
        auto started = Clock::now();
        ASSERT_TRUE(second.Start({ServerProgram}, Environment()));
        EXPECT_EQ(second.WaitForExit(5s), 0);
        EXPECT_LT(Clock::now() - started, 2s);
        EXPECT_EQ(second.output.Rest(1s), "");
        EXPECT_EQ(second.side3.Rest(1s), "");
    }
    // The first copy is unchanged.
    Client client(port);
    EXPECT_EQ(client.Line(), Greeting);
    EXPECT_TRUE(first.Running());
}

TEST_F(RwServerRun, EndsWithExitCodeZeroAndNoLineWhenTheLocoBufferIsUnplugged) {
    ASSERT_TRUE(simulator.Start());
    Process server;
    StartServing(server);
    Client client(port);
    ASSERT_EQ(client.Line(), Greeting);

    simulator.Stop();
    EXPECT_EQ(server.WaitForExit(5s), 0);
    EXPECT_EQ(client.Line(), "<closed>");
    // The icon went with the window, through the window's own exit path.
    EXPECT_TRUE(server.side3.LineWith("delete", 1s).has_value());
    EXPECT_EQ(server.output.Rest(1s), "");
}

TEST_F(RwServerRun, TerminationSignalEndsWithExitCodeZeroAndRemovesTheIcon) {
    ASSERT_TRUE(simulator.Start());
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        Process server;
        StartServing(server);
        Client client(port);
        ASSERT_EQ(client.Line(), Greeting);
        server.Signal(signal);
        EXPECT_EQ(server.WaitForExit(5s), 0);
        EXPECT_TRUE(server.side3.LineWith("delete 101", 1s).has_value());
        EXPECT_EQ(client.Line(), "<closed>");
    }
}

struct StartFailure {
    const char* name;
    int comPort;
    int tcpPort;   // -1: the test's free port
    enum { None, HoldComPort, HoldTcpPort } hold;
    const char* message;
};

class RwServerStartFailure : public RwServerRun, public testing::WithParamInterface<StartFailure> {};

TEST_P(RwServerStartFailure, ShowsItsMessageAndEndsWithExitCodeZero) {
    const StartFailure& failure = GetParam();
    ASSERT_TRUE(simulator.Start());
    WriteFile(settings, Settings(failure.comPort, failure.tcpPort < 0 ? port : failure.tcpPort));

    int held = -1;
    if (failure.hold == StartFailure::HoldComPort) {
        // Another program has the LocoBuffer open.
        held = open(simulator.device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    } else if (failure.hold == StartFailure::HoldTcpPort) {
        held = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        ASSERT_EQ(bind(held, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(held, 1), 0);
    }

    Process server;
    ASSERT_TRUE(server.Start({ServerProgram}, Environment()));
    EXPECT_EQ(server.WaitForExit(10s), 0);
    std::string shown = server.output.Rest(1s);
    EXPECT_NE(shown.find("Railwick Server"), std::string::npos) << shown;
    EXPECT_NE(shown.find(failure.message), std::string::npos) << shown;
    EXPECT_EQ(server.side3.Rest(1s), "") << "no tray icon for a failed start";
    if (held >= 0) close(held);
}

const char* const BadParameter = "コマンドラインパラメータが不正です。";
const char* const ComPortBusy = "COMポートが開けません。他のアプリケーションが使用中の可能性があります。";
const char* const ServerFailed = "通信用のサーバの構築に失敗しました。";

INSTANTIATE_TEST_SUITE_P(
    Table, RwServerStartFailure,
    testing::Values(StartFailure{"ComPortZero", 0, -1, StartFailure::None, BadParameter},
                    StartFailure{"TcpPortZero", 3, 0, StartFailure::None, BadParameter},
                    StartFailure{"TcpPortAboveRange", 3, 65536 + 9851, StartFailure::None, BadParameter},
                    StartFailure{"ComPortHeldElsewhere", 3, -1, StartFailure::HoldComPort, ComPortBusy},
                    StartFailure{"TcpPortInUse", 3, -1, StartFailure::HoldTcpPort, ServerFailed}),
    [](const testing::TestParamInfo<StartFailure>& info) { return std::string(info.param.name); });

TEST_F(RwServerRun, FirstStartWithoutSettingsFileOrTerminalServesOnTheDefaults) {
    ASSERT_TRUE(simulator.Start());
    std::string config = dir / "config";
    Process server;
    ASSERT_TRUE(server.Start({ServerProgram}, {{"RW_SETTINGS", ""},
                                               {"XDG_CONFIG_HOME", config},
                                               {"RW_COM1", simulator.device},
                                               {"XDG_RUNTIME_DIR", dir.path},
                                               {"RW_SHELL_TRACE", "/dev/fd/3"}}));
    auto added = server.side3.LineWith("add", 10s);
    ASSERT_TRUE(added.has_value()) << server.output.Rest(1s);
    EXPECT_NE(added->find("Railwick Server - COM1 / TCP:9851"), std::string::npos) << *added;
    Client client(9851);
    EXPECT_EQ(client.Line(), Greeting);
    // Confirming without a terminal writes nothing.
    EXPECT_EQ(ReadFile(config + "/railwick/Railwick.ini"), "");
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(5s), 0);
}

TEST_F(RwServerRun, RwOptionIgnoresItsCommandLineAndEndsWithExitCodeZero) {
    for (std::vector<std::string> argv : {std::vector<std::string>{OptionProgram},
                                          std::vector<std::string>{OptionProgram, "--help", "/x", "COM9"}}) {
        Process option;
        ASSERT_TRUE(option.Start(argv, {{"RW_SETTINGS", settings}}));
        EXPECT_EQ(option.WaitForExit(5s), 0);
        EXPECT_EQ(option.output.Rest(1s), "");
    }
    EXPECT_EQ(ReadFile(settings), Settings(3, port));
}

}  // namespace
