// The gateway end to end over real sockets: a scripted device in place of the LocoBuffer, real
// TCP clients on 127.0.0.1, the receive loop on a thread of its own.
#include "framework/ModuleHandles.h"
#include "gateway/ZActivityFlag.h"
#include "gateway/ZLoconetServer.h"
#include "io/IpAccessList.h"
#include "support/GatewayRunner.h"
#include "support/Loopback.h"
#include "support/ScriptedDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using rwtest::LineReader;
using rwtest::ScriptedDevice;
using rwtest::SendText;
using Clock = std::chrono::steady_clock;

const char* const Greeting = "VERSION Railwick Server 2.00";

// One connected client that has read its greeting.
struct Client {
    SOCKET socket = INVALID_SOCKET;
    std::unique_ptr<LineReader> reader;

    ~Client() {
        if (socket != INVALID_SOCKET) closesocket(socket);
    }
    std::string Line() {
        std::string line;
        return reader->ReadLine(&line) ? line : "<no line>";
    }
    bool Send(const std::string& text) { return SendText(socket, text); }
};

class GatewayTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        SetModuleHandles(nullptr);
        LoadIpLists();   // no list files beside the test program: only 127.0.0.1 is admitted
    }

    void SetUp() override {
        server = std::make_unique<ZLoconetServer>(&device);
        port = rwtest::ListenOnFreePort(*server);
        ASSERT_NE(port, 0);
        loop = std::make_unique<rwtest::ReceiveLoopThread>(*server);
        ASSERT_TRUE(loop->Start());
        ReceiveActivity.TakeAndClear();
        SendActivity.TakeAndClear();
    }

    void TearDown() override {
        device.Fail();
        loop.reset();
        server.reset();   // must end every client thread
    }

    std::unique_ptr<Client> Connect(DWORD from = INADDR_LOOPBACK, int receiveBuffer = 0) {
        auto client = std::make_unique<Client>();
        client->socket = rwtest::ConnectToLoopback(port, from, receiveBuffer);
        client->reader = std::make_unique<LineReader>(client->socket);
        return client;
    }

    std::unique_ptr<Client> ConnectAndGreet() {
        auto client = Connect();
        EXPECT_EQ(client->Line(), Greeting);
        return client;
    }

    ScriptedDevice device;
    std::unique_ptr<ZLoconetServer> server;
    std::unique_ptr<rwtest::ReceiveLoopThread> loop;
    u_short port = 0;
};

TEST_F(GatewayTest, CompleteExchangeByteForByte) {
    auto client = Connect();
    std::string bytes;
    ASSERT_TRUE(client->reader->ReadBytes(30, &bytes));
    EXPECT_EQ(bytes, "VERSION Railwick Server 2.00\r\n");
    ASSERT_TRUE(client->Send("SEND A0 01 02 5C\r\n"));
    ASSERT_TRUE(client->reader->ReadBytes(30, &bytes));
    EXPECT_EQ(bytes, "RECEIVE A0 01 02 5C\r\nSENT OK\r\n");
    EXPECT_EQ(device.Written(), (std::vector<ScriptedDevice::Bytes>{{0xA0, 0x01, 0x02, 0x5C}}));
    EXPECT_TRUE(SendActivity.IsRaised());
    EXPECT_TRUE(ReceiveActivity.IsRaised());
}

TEST_F(GatewayTest, EveryDeviceMessageReachesEveryClient) {
    auto a = ConnectAndGreet();
    auto b = ConnectAndGreet();
    device.Inject({0x83, 0x7C});
    device.Inject({0xB0, 0x01, 0x20, 0x6E});
    for (Client* c : {a.get(), b.get()}) {
        EXPECT_EQ(c->Line(), "RECEIVE 83 7C");
        EXPECT_EQ(c->Line(), "RECEIVE B0 01 20 6E");
    }
}

TEST_F(GatewayTest, MessagesAreReadWithoutClients) {
    device.Inject({0x83, 0x7C});
    ASSERT_TRUE(device.WaitUntilDrained());
    device.Fail();
    loop->Join();   // the loop has handled the message before it saw the failure
    EXPECT_TRUE(ReceiveActivity.IsRaised());
}

// A SEND line of n bytes of a variable-length message.
std::string VariableSend(int n) {
    std::string line = "SEND E5";
    char count[4];
    snprintf(count, sizeof count, " %02X", n & 0xFF);
    line += count;
    for (int i = 2; i < n; ++i) line += " 00";
    return line;
}

struct ReplyCase {
    std::string line;
    std::string reply;
};

class GatewayReplyTest : public GatewayTest, public testing::WithParamInterface<ReplyCase> {};

TEST_P(GatewayReplyTest, SendErrorsCarryTheParserText) {
    auto client = ConnectAndGreet();
    ASSERT_TRUE(client->Send(GetParam().line + "\r\n"));
    EXPECT_EQ(client->Line(), GetParam().reply);
    EXPECT_TRUE(device.Written().empty());
    EXPECT_FALSE(SendActivity.IsRaised());
}

INSTANTIATE_TEST_SUITE_P(Lines, GatewayReplyTest, testing::Values(
    ReplyCase{"SEND 80", "SENT ERROR message too short"},
    ReplyCase{"SEND 80 7", "SENT ERROR string ends in the middle of a hex byte"},
    ReplyCase{"SEND 80 7G", "SENT ERROR Invalid hex coding"},
    ReplyCase{"SEND A0 01 02", "SENT ERROR hex dump length is not equal to message length"},
    ReplyCase{VariableSend(131),
              "SENT ERROR hex dump of message is bigger than buffer -> must be invalid loconet message"},
    // Without a blank the command has an empty hex text.
    ReplyCase{"SEND", "SENT ERROR string ends in the middle of a hex byte"},
    ReplyCase{"send 80", "SENT ERROR message too short"}));

TEST_F(GatewayTest, OtherLinesGetNoAnswer) {
    auto client = ConnectAndGreet();
    // None of these is answered: the first line that comes back belongs to the last SEND.
    ASSERT_TRUE(client->Send("HELLO\r\nRECEIVE 83 7C\r\n\r\nSEND\t80 7F\r\nSENDX 80 7F\r\n SEND 80 7F\r\n"));
    ASSERT_TRUE(client->Send("SEND 80\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR message too short");
    EXPECT_TRUE(device.Written().empty());
}

TEST_F(GatewayTest, LowerCaseSendIsCarriedOut) {
    auto client = ConnectAndGreet();
    ASSERT_TRUE(client->Send("send a0 01 02 5c\r\n"));
    EXPECT_EQ(client->Line(), "RECEIVE A0 01 02 5C");
    EXPECT_EQ(client->Line(), "SENT OK");
}

TEST_F(GatewayTest, RefusedWriteIsAnsweredAtOnce) {
    device.SetMode(ScriptedDevice::Mode::Refuse);
    auto client = ConnectAndGreet();
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(client->Send("SEND 83 7C\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR RS232 failed");
    EXPECT_LT(Clock::now() - start, 800ms);   // no echo wait
    EXPECT_TRUE(SendActivity.IsRaised());     // raised whatever the write's outcome
}

TEST_F(GatewayTest, MissingEchoTimesOutAfterOneSecondAndALateEchoIsOnlyBroadcast) {
    device.SetMode(ScriptedDevice::Mode::Silent);
    auto client = ConnectAndGreet();
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(client->Send("SEND 83 7C\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR timed out waiting for echo from LocoBuffer");
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 1000ms);
    EXPECT_LT(elapsed, 3000ms);
    // The echo comes too late: a RECEIVE like any other, and no "SENT OK".
    device.Inject({0x83, 0x7C});
    EXPECT_EQ(client->Line(), "RECEIVE 83 7C");
    ASSERT_TRUE(client->Send("SEND 80\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR message too short");
}

TEST_F(GatewayTest, AnyEqualBusMessageCountsAsTheEcho) {
    device.SetMode(ScriptedDevice::Mode::Silent);
    auto client = ConnectAndGreet();
    ASSERT_TRUE(client->Send("SEND B0 01 20 6E\r\n"));
    // Another message first, then one equal to the pending SEND, put there by someone else.
    device.Inject({0x83, 0x7C}, 100ms);
    device.Inject({0xB0, 0x01, 0x20, 0x6E}, 200ms);
    device.Inject({0xB0, 0x01, 0x20, 0x6E}, 300ms);
    EXPECT_EQ(client->Line(), "RECEIVE 83 7C");
    EXPECT_EQ(client->Line(), "RECEIVE B0 01 20 6E");
    EXPECT_EQ(client->Line(), "SENT OK");
    EXPECT_EQ(client->Line(), "RECEIVE B0 01 20 6E");   // one answer only
    ASSERT_TRUE(client->Send("SEND 80\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR message too short");
}

TEST_F(GatewayTest, EchoesAtTheEdgeOfTheWaitGetExactlyOneAnswer) {
    // Echoes that come right around the end of the 1000 ms wait: each SEND is answered once,
    // either "SENT OK" right behind its RECEIVE or the time-out error, never both.
    auto client = ConnectAndGreet();
    for (int delay : {980, 995, 1000, 1005, 1020}) {
        device.SetMode(ScriptedDevice::Mode::Echo, std::chrono::milliseconds(delay));
        ASSERT_TRUE(client->Send("SEND 83 7C\r\n"));
        int answers = 0;
        bool sawEcho = false;
        while (!sawEcho || answers == 0) {
            std::string line = client->Line();
            if (line == "RECEIVE 83 7C") {
                sawEcho = true;
            } else if (line == "SENT OK") {
                EXPECT_TRUE(sawEcho) << "SENT OK before its echo";
                ++answers;
            } else {
                ASSERT_EQ(line, "SENT ERROR timed out waiting for echo from LocoBuffer");
                ++answers;
            }
        }
        // A marker SEND shows that no second answer follows.
        ASSERT_TRUE(client->Send("SEND 80\r\n"));
        EXPECT_EQ(client->Line(), "SENT ERROR message too short") << "delay " << delay;
        EXPECT_EQ(answers, 1);
    }
}

TEST_F(GatewayTest, TwoSendsInOnePacketAreAnsweredInOrder) {
    auto client = ConnectAndGreet();
    ASSERT_TRUE(client->Send("SEND A0 01 02 5C\r\nSEND B0 01 20 6E\r\n"));
    EXPECT_EQ(client->Line(), "RECEIVE A0 01 02 5C");
    EXPECT_EQ(client->Line(), "SENT OK");
    EXPECT_EQ(client->Line(), "RECEIVE B0 01 20 6E");
    EXPECT_EQ(client->Line(), "SENT OK");
}

TEST_F(GatewayTest, SecondSendIsWrittenOnlyAfterTheFirstIsAnswered) {
    device.SetMode(ScriptedDevice::Mode::Silent);
    auto client = ConnectAndGreet();
    ASSERT_TRUE(client->Send("SEND A0 01 02 5C\r\nSEND B0 01 20 6E\r\n"));
    EXPECT_EQ(client->Line(), "SENT ERROR timed out waiting for echo from LocoBuffer");
    EXPECT_EQ(client->Line(), "SENT ERROR timed out waiting for echo from LocoBuffer");
    EXPECT_EQ(device.Written().size(), 2u);
}

TEST_F(GatewayTest, TwoClientsSendingAtOnceBothGetAnswersAndSeeBothEchoes) {
    auto a = ConnectAndGreet();
    auto b = ConnectAndGreet();
    ASSERT_TRUE(a->Send("SEND A0 01 02 5C\r\n"));
    ASSERT_TRUE(b->Send("SEND B0 01 20 6E\r\n"));
    for (Client* c : {a.get(), b.get()}) {
        const std::string own = (c == a.get()) ? "RECEIVE A0 01 02 5C" : "RECEIVE B0 01 20 6E";
        const std::string other = (c == a.get()) ? "RECEIVE B0 01 20 6E" : "RECEIVE A0 01 02 5C";
        std::vector<std::string> lines;
        for (int i = 0; i < 3; ++i) lines.push_back(c->Line());
        // Both echoes, and "SENT OK" right behind the own one.
        auto ownAt = std::find(lines.begin(), lines.end(), own);
        ASSERT_NE(ownAt, lines.end());
        ASSERT_NE(ownAt + 1, lines.end());
        EXPECT_EQ(*(ownAt + 1), "SENT OK");
        EXPECT_NE(std::find(lines.begin(), lines.end(), other), lines.end());
    }
}

TEST_F(GatewayTest, RefusedPeerIsCutOffAndTheListenerGoesOn) {
    auto stranger = Connect(0x7F000002);   // 127.0.0.2
    ASSERT_NE(stranger->socket, INVALID_SOCKET);
    EXPECT_TRUE(stranger->reader->ReadsEndOfStream());
    auto second = Connect(0x7F000002);
    EXPECT_TRUE(second->reader->ReadsEndOfStream());
    // A client from the local address is still served.
    auto local = ConnectAndGreet();
    ASSERT_TRUE(local->Send("SEND 83 7C\r\n"));
    EXPECT_EQ(local->Line(), "RECEIVE 83 7C");
    EXPECT_EQ(local->Line(), "SENT OK");
}

TEST_F(GatewayTest, ClientThatStopsReadingHoldsTheOthersOnceForTheSendTimeoutAndIsClosed) {
    auto reader = ConnectAndGreet();
    auto stalled = Connect(INADDR_LOOPBACK, 4096);   // reads nothing from here on

    // Large lines, so that the stalled client's buffers fill up soon.
    ScriptedDevice::Bytes message(127, 0x00);
    message[0] = 0xE0;
    message[1] = 127;
    const int Count = 30000;
    for (int i = 0; i < Count; ++i) device.Inject(message);

    const Clock::time_point start = Clock::now();
    const std::string expected = [&] {
        std::string line = "RECEIVE";
        char byte[4];
        for (BYTE b : message) {
            snprintf(byte, sizeof byte, " %02X", b);
            line += byte;
        }
        return line;
    }();
    for (int i = 0; i < Count; ++i) ASSERT_EQ(reader->Line(), expected) << "line " << i;
    EXPECT_LT(Clock::now() - start, 60s);
    // The broadcast waits for the stalled client once, for the send time-out as a whole (not per
    // partial write), and then never again: the longest time the bus goes unread is that.
    auto held = std::chrono::duration_cast<std::chrono::milliseconds>(device.LongestReadGap()).count();
    EXPECT_GE(held, ZClientConnection::SendTimeout - 100) << "the stalled client did not hold the broadcast";
    EXPECT_LE(held, ZClientConnection::SendTimeout + 500);
    // The stalled client was given up: after what its buffers hold, its connection ends.
    EXPECT_TRUE(stalled->reader->DrainToEndOfStream());
}

TEST_F(GatewayTest, ShutdownClosesTheClients) {
    auto a = ConnectAndGreet();
    auto b = ConnectAndGreet();
    device.Fail();
    loop->Join();
    server.reset();   // returns only once both client threads have ended
    EXPECT_TRUE(a->reader->ReadsEndOfStream());
    EXPECT_TRUE(b->reader->ReadsEndOfStream());
}

// Connects and leaves over and over, some clients at once, some after their greeting and a SEND.
class Churner : public ZAbstractThread {
public:
    Churner(u_short port, int rounds) : port(port), rounds(rounds) {}
    ~Churner() override { WaitForRun(); }
    std::atomic<int> greeted{0};

protected:
    void Run() override {
        for (int i = 0; i < rounds; ++i) {
            SOCKET s = rwtest::ConnectToLoopback(port);
            if (s == INVALID_SOCKET) continue;
            if (i % 3 != 0) {
                LineReader reader(s);
                std::string line;
                // Broadcast lines may come before the greeting.
                while (reader.ReadLine(&line) && line.rfind("RECEIVE", 0) == 0) {}
                if (line == Greeting) ++greeted;
                if (i % 3 == 2) SendText(s, "SEND 83 7C\r\n");
            }
            closesocket(s);
        }
    }

private:
    u_short port;
    int rounds;
};

TEST_F(GatewayTest, ClientsComingAndGoingDuringBroadcasts) {
    auto steady = ConnectAndGreet();
    const int Rounds = 60;
    {
        Churner a(port, Rounds), b(port, Rounds), c(port, Rounds);
        ASSERT_TRUE(a.Start());
        ASSERT_TRUE(b.Start());
        ASSERT_TRUE(c.Start());
        for (int i = 0; i < 400; ++i) device.Inject({0x83, 0x7C});
    }
    ASSERT_TRUE(device.WaitUntilDrained());
    // The steady client got every broadcast, whatever the others did.
    int received = 0;
    while (received < 400) {
        ASSERT_EQ(steady->Line(), "RECEIVE 83 7C");
        ++received;
    }
}

}  // namespace
