// Line assembly and line sending of a client connection over a real TCP connection on
// 127.0.0.1, with a recording handler in place of the gateway.
#include "gateway/ZClientConnection.h"
#include "support/Loopback.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

using rwtest::LineReader;
using rwtest::SendText;
using rwtest::SocketPair;

// Records the lines and destroys the connection when it reports itself closed, as the gateway
// does. "reply" lines are answered on the connection's own thread.
class RecordingHandler : public ZClientConnectionHandler {
public:
    void LineReceived(ZClientConnection* connection, char* line) override {
        {
            std::lock_guard guard(lock);
            lines.push_back(line);
        }
        if (std::string(line) == "reply") connection->SendLine("answer");
        lineEvent.Set();
    }
    void ConnectionClosed(ZClientConnection* connection) override {
        // The socket is closed by now: nothing can be sent any more.
        sendFailedWhenClosed = !connection->SendLine("too late");
        delete connection;
        closed.Set();
    }
    std::vector<std::string> Lines() {
        std::lock_guard guard(lock);
        return lines;
    }
    // Waits until n lines have arrived.
    bool WaitForLines(size_t n) {
        while (Lines().size() < n) {
            if (!lineEvent.Wait(5000)) return false;
        }
        return true;
    }

    ZSyncEvent closed, lineEvent;
    bool sendFailedWhenClosed = false;

private:
    std::mutex lock;
    std::vector<std::string> lines;
};

class ClientConnectionTest : public testing::Test {
protected:
    void StartConnection() {
        connection = new ZClientConnection(&handler, pair.far);
        pair.far = INVALID_SOCKET;   // the connection owns it now
        ASSERT_TRUE(connection->Start());
    }
    void TearDown() override {
        // Make sure the connection has ended before the handler goes.
        if (connection != nullptr) {
            shutdown(pair.near, SD_BOTH);
            EXPECT_TRUE(handler.closed.Wait(5000));
        }
    }

    SocketPair pair;
    RecordingHandler handler;
    ZClientConnection* connection = nullptr;
};

TEST_F(ClientConnectionTest, CutsLinesAtEveryKindOfLineEnd) {
    StartConnection();
    // Split over several sends, two lines in one send, every line end, empty lines.
    ASSERT_TRUE(SendText(pair.near, "SEND 80"));
    ASSERT_TRUE(SendText(pair.near, " 7F\r\n"));
    ASSERT_TRUE(SendText(pair.near, "two\nthree\r"));
    ASSERT_TRUE(SendText(pair.near, "four\n\rfive\r\n\r\n\n\nsix\n"));
    ASSERT_TRUE(handler.WaitForLines(6));
    EXPECT_EQ(handler.Lines(), (std::vector<std::string>{"SEND 80 7F", "two", "three", "four", "five", "six"}));
}

TEST_F(ClientConnectionTest, DeliversALineOf998Characters) {
    StartConnection();
    std::string longest(998, 'x');
    ASSERT_TRUE(SendText(pair.near, longest + "\nend\n"));
    ASSERT_TRUE(handler.WaitForLines(2));
    EXPECT_EQ(handler.Lines()[0], longest);
    EXPECT_EQ(handler.Lines()[1], "end");
}

TEST_F(ClientConnectionTest, OverflowSendsBufferOverflowAndCloses) {
    StartConnection();
    ASSERT_TRUE(SendText(pair.near, "first\n" + std::string(999, 'x')));
    LineReader reader(pair.near);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(&line));
    EXPECT_EQ(line, "buffer overflow");
    EXPECT_TRUE(reader.ReadsEndOfStream());
    ASSERT_TRUE(handler.closed.Wait(5000));
    EXPECT_EQ(handler.Lines(), std::vector<std::string>{"first"});
    connection = nullptr;
}

TEST_F(ClientConnectionTest, NulHidesLaterLineEndsUntilOverflow) {
    StartConnection();
    ASSERT_TRUE(SendText(pair.near, std::string("ab\0cd\nef\n", 9)));
    ASSERT_TRUE(SendText(pair.near, std::string(990, 'y')));
    LineReader reader(pair.near);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(&line));
    EXPECT_EQ(line, "buffer overflow");
    ASSERT_TRUE(handler.closed.Wait(5000));
    EXPECT_TRUE(handler.Lines().empty());
    connection = nullptr;
}

TEST_F(ClientConnectionTest, PeerClosingClosesWithoutALine) {
    StartConnection();
    ASSERT_TRUE(SendText(pair.near, "partial line without end"));
    shutdown(pair.near, SD_SEND);
    ASSERT_TRUE(handler.closed.Wait(5000));
    EXPECT_TRUE(handler.Lines().empty());
    EXPECT_TRUE(handler.sendFailedWhenClosed);
    LineReader reader(pair.near);
    EXPECT_TRUE(reader.ReadsEndOfStream());
    connection = nullptr;
}

TEST_F(ClientConnectionTest, SendLineEndsWithCrLf) {
    StartConnection();
    ASSERT_TRUE(SendText(pair.near, "reply\r\n"));
    LineReader reader(pair.near);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(&line));
    EXPECT_EQ(line, "answer");
    EXPECT_TRUE(reader.Pending().empty());
}

// Sends a fixed number of numbered lines to one connection from its own thread of control.
class LineSender : public ZAbstractThread {
public:
    LineSender(ZClientConnection* connection, char tag) : connection(connection), tag(tag) {}
    ~LineSender() override { WaitForRun(); }
    static constexpr int Lines = 300;

protected:
    void Run() override {
        char line[200];
        for (int i = 0; i < Lines; ++i) {
            // A long line makes a split between the text and its CR LF more likely to show.
            snprintf(line, sizeof line, "RECEIVE %c %04d %0120d", tag, i, i);
            connection->SendLine(line);
        }
    }

private:
    ZClientConnection* connection;
    char tag;
};

TEST_F(ClientConnectionTest, LinesFromThreeThreadsArriveWhole) {
    StartConnection();
    {
        LineSender a(connection, 'a'), b(connection, 'b'), c(connection, 'c');
        ASSERT_TRUE(a.Start());
        ASSERT_TRUE(b.Start());
        ASSERT_TRUE(c.Start());
        LineReader reader(pair.near);
        int next[3] = {0, 0, 0};
        for (int n = 0; n < 3 * LineSender::Lines; ++n) {
            std::string line;
            ASSERT_TRUE(reader.ReadLine(&line));
            ASSERT_EQ(line.size(), 8u + 2 + 5 + 120) << line;
            int tag = line[8] - 'a';
            ASSERT_TRUE(tag >= 0 && tag < 3) << line;
            char expected[200];
            snprintf(expected, sizeof expected, "RECEIVE %c %04d %0120d", 'a' + tag, next[tag], next[tag]);
            ASSERT_EQ(line, expected);   // whole, and in each sender's order
            ++next[tag];
        }
    }
}

}  // namespace
