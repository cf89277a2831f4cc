// ZMySerialPort on a pseudo-terminal: opening, reads of at most 3 bytes, the wait that input or
// Close ends, and what a closed port does.
#include "io/ZMySerialPort.h"
#include "platform/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace {

constexpr int kPort = 5;
using namespace std::chrono_literals;

struct ReadResult {
    bool ok;
    std::vector<BYTE> bytes;
};

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); }

    // WaitAndRead on another thread.
    std::future<ReadResult> StartWaitAndRead() {
        return std::async(std::launch::async, [this] {
            BYTE buffer[8] = {};
            DWORD count = 99;
            bool ok = port.WaitAndRead(buffer, sizeof buffer, count);
            return ReadResult{ok, std::vector<BYTE>(buffer, buffer + count)};
        });
    }

    // The result, or a failure when it does not come within the bound.
    ReadResult Await(std::future<ReadResult>& reading) {
        if (reading.wait_for(5s) != std::future_status::ready) {
            ADD_FAILURE() << "WaitAndRead did not return";
            port.Close();
        }
        return reading.get();
    }

    rwtest::PseudoTerminal pty{kPort};
    ZMySerialPort port;
};

TEST_F(SerialPort, OpensOnceAndExclusively) {
    // Bytes from before the open are stale; Open purges them.
    ASSERT_TRUE(pty.Write({0x01, 0x02}));
    ASSERT_EQ(pty.WaitQueued(), 2);
    ASSERT_TRUE(port.Open(kPort));
    EXPECT_FALSE(port.Open(kPort));
    ZMySerialPort other;
    EXPECT_FALSE(other.Open(kPort));

    // Still open and unchanged.
    BYTE buffer[3];
    DWORD count = 99;
    EXPECT_TRUE(port.ReadQueued(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);
    const BYTE message[4] = {0xB0, 0x01, 0x20, 0x6E};
    EXPECT_TRUE(port.Write(message, sizeof message));
    EXPECT_EQ(pty.Read(4), std::vector<BYTE>(message, message + 4));
}

TEST_F(SerialPort, MissingDeviceLeavesThePortClosed) {
    setenv("RW_COM6", "/nonexistent/tty", 1);
    EXPECT_FALSE(port.Open(6));
    unsetenv("RW_COM6");
    BYTE buffer[3];
    DWORD count = 99;
    EXPECT_FALSE(port.ReadQueued(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);
    // Closed, not stopped: the object can still open a port that exists.
    EXPECT_TRUE(port.Open(kPort));
}

TEST_F(SerialPort, ReadsAtMostThreeQueuedBytesAndNoMoreThanTheCapacity) {
    ASSERT_TRUE(port.Open(kPort));
    struct Case {
        DWORD capacity;
        std::vector<DWORD> counts;
    } cases[] = {{127, {3, 2}}, {2, {2, 2, 1}}, {1, {1, 1, 1, 1, 1}}};
    for (const Case& c : cases) {
        ASSERT_TRUE(pty.Write({0x11, 0x12, 0x13, 0x14, 0x15}));
        ASSERT_EQ(pty.WaitQueued(), 5);
        BYTE next = 0x11;
        for (DWORD expected : c.counts) {
            BYTE buffer[127] = {};
            DWORD count = 99;
            ASSERT_TRUE(port.ReadQueued(buffer, c.capacity, count));
            ASSERT_EQ(count, expected) << "capacity " << c.capacity;
            for (DWORD i = 0; i < count; ++i) EXPECT_EQ(buffer[i], next++);
            EXPECT_EQ(buffer[count], 0) << "wrote past the bytes read";
        }
        BYTE buffer[3];
        DWORD count = 99;
        EXPECT_TRUE(port.ReadQueued(buffer, c.capacity, count));
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(SerialPort, WaitAndReadWakesForInputAndForCloseFromAnotherThread) {
    ASSERT_TRUE(port.Open(kPort));
    auto reading = StartWaitAndRead();
    ASSERT_TRUE(pty.Write({0x83, 0x7C}));
    ReadResult woken = Await(reading);
    EXPECT_TRUE(woken.ok);
    EXPECT_EQ(woken.bytes, (std::vector<BYTE>{0x83, 0x7C}));

    // Nothing to read: it waits until another thread closes the port.
    auto blocked = StartWaitAndRead();
    EXPECT_TRUE(port.Close());
    ReadResult stopped = Await(blocked);
    EXPECT_FALSE(stopped.ok);
    EXPECT_TRUE(stopped.bytes.empty());
}

TEST_F(SerialPort, ClosedPortFailsEveryTransfer) {
    ASSERT_TRUE(port.Open(kPort));
    ASSERT_TRUE(pty.Write({0x83, 0x7C}));
    ASSERT_EQ(pty.WaitQueued(), 2);
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Close());

    BYTE buffer[3];
    DWORD count = 99;
    EXPECT_FALSE(port.ReadQueued(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(port.WaitAndRead(buffer, sizeof buffer, count));
    EXPECT_FALSE(port.Purge());
    EXPECT_FALSE(port.Write(buffer, 1));
}

}  // namespace
