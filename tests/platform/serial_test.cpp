// The serial part of the layer on a pseudo-terminal: exclusive opens, the line settings, queued
// reads, event waits joined to WaitForMultipleObjects, writes larger than the terminal takes at
// once, and a device that hangs up.
#include "PseudoTerminal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>

namespace {

constexpr int kPort = 7;

HANDLE OpenPort(const char* name = "COM7") {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

TEST(SerialOpen, IsExclusiveUntilClosed) {
    rwtest::PseudoTerminal pty(kPort);
    ASSERT_TRUE(pty.Ok());
    HANDLE first = OpenPort();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(OpenPort(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(CloseHandle(first));
    HANDLE again = OpenPort();
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST(SerialOpen, FailsWithoutADevice) {
    setenv("RW_COM8", "/nonexistent/tty", 1);
    setenv("RW_COM9", "/dev/null", 1);   // exists, but is no terminal
    struct Case {
        const char* name;
        DWORD error;
    } cases[] = {
        {"COM8", ERROR_FILE_NOT_FOUND},
        {"COM9", ERROR_FILE_NOT_FOUND},
        {"COM0", ERROR_FILE_NOT_FOUND},
        {"COM", ERROR_NOT_SUPPORTED},
        {"COM1x", ERROR_NOT_SUPPORTED},
        {"LPT1", ERROR_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(OpenPort(c.name), INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    unsetenv("RW_COM8");
    unsetenv("RW_COM9");
}

class Serial : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        port = OpenPort();
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
        waitRecord.hEvent = receiveEvent;
    }
    void TearDown() override {
        if (port != nullptr) CloseHandle(port);
        CloseHandle(receiveEvent);
        CloseHandle(stopSignal);
    }
    // Starts a WaitCommEvent that must stay pending.
    void StartPendingWait() {
        ASSERT_FALSE(WaitCommEvent(port, &mask, &waitRecord));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }

    rwtest::PseudoTerminal pty{kPort};
    HANDLE port = nullptr;
    HANDLE receiveEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE stopSignal = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED waitRecord{};
    DWORD mask = 0xFFFF;
};

TEST_F(Serial, SetsARawLineAtTheCustomRate) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 16457;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fTXContinueOnXoff = 1;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port, &dcb)) << GetLastError();

    termios2 line = pty.Line();
    EXPECT_EQ(line.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(line.c_ospeed, 16457u);
    EXPECT_EQ(line.c_ispeed, 16457u);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);

    dcb.fOutxCtsFlow = 1;   // handshakes are not supported and must not pass silently
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(Serial, ReadsWhatIsQueued) {
    ASSERT_TRUE(pty.Write({1, 2, 3, 4, 5}));
    ASSERT_EQ(pty.WaitQueued(), 5);
    DWORD errors = 0xFF;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 5u);

    OVERLAPPED record{};
    BYTE buffer[8] = {};
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 3, &count, &record));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[2], 3);
    DWORD transferred = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &record, &transferred, FALSE));
    EXPECT_EQ(transferred, 3u);

    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 2u);
    ASSERT_TRUE(ReadFile(port, buffer, 3, &count, &record));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[1], 5);

    // Nothing queued: the read ends at once with nothing.
    ASSERT_TRUE(ReadFile(port, buffer, 3, &count, &record));
    EXPECT_EQ(count, 0u);
}

TEST_F(Serial, WaitCommEventWakesWaitForMultipleObjects) {
    StartPendingWait();
    HANDLE handles[2] = {stopSignal, receiveEvent};
    auto waiter = std::async(std::launch::async, [&] { return WaitForMultipleObjects(2, handles, FALSE, 5000); });
    ASSERT_TRUE(pty.Write({0x83}));
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(mask, EV_RXCHAR);
    DWORD transferred = 1;
    EXPECT_TRUE(GetOverlappedResult(port, &waitRecord, &transferred, FALSE));
}

TEST_F(Serial, StopSignalWinsOverAReceiveEventSetAtTheSameTime) {
    ASSERT_TRUE(pty.Write({0x83}));
    ASSERT_EQ(pty.WaitQueued(), 1);
    // Input is queued, so the wait completes at once and its event is set.
    ASSERT_TRUE(WaitCommEvent(port, &mask, &waitRecord));
    EXPECT_EQ(mask, EV_RXCHAR);
    ASSERT_TRUE(SetEvent(stopSignal));

    HANDLE handles[2] = {stopSignal, receiveEvent};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(stopSignal));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 5000), WAIT_OBJECT_0 + 1);
}

TEST_F(Serial, SetCommMaskAndCloseEndAPendingWait) {
    StartPendingWait();
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_EQ(WaitForSingleObject(receiveEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(mask, 0u);
    DWORD transferred = 1;
    EXPECT_TRUE(GetOverlappedResult(port, &waitRecord, &transferred, FALSE));

    mask = 0xFFFF;
    StartPendingWait();
    ASSERT_TRUE(CloseHandle(port));
    port = nullptr;
    EXPECT_EQ(WaitForSingleObject(receiveEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(mask, 0u);
    // The device was released although the wait was pending when the port closed.
    port = OpenPort();
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(Serial, LargeWriteArrivesWholeAndInOrder) {
    // Far more than a pseudo-terminal takes while nobody reads its master side.
    std::vector<BYTE> large(256 * 1024);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 7 + i / 251);
    const std::vector<BYTE> expected = large;
    OVERLAPPED first{}, second{};
    DWORD written = 1;
    EXPECT_FALSE(WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &first));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    // The caller's buffer may change or end as soon as the call returns.
    std::fill(large.begin(), large.end(), 0xEE);
    const BYTE tail[3] = {0x83, 0x7C, 0x01};
    EXPECT_FALSE(WriteFile(port, tail, sizeof tail, &written, &second));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &second, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    std::vector<BYTE> arrived = pty.Read(expected.size() + sizeof tail, std::chrono::seconds(20));
    ASSERT_EQ(arrived.size(), expected.size() + sizeof tail);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), arrived.begin()));
    EXPECT_TRUE(std::equal(tail, tail + sizeof tail, arrived.begin() + expected.size()));

    EXPECT_TRUE(GetOverlappedResult(port, &first, &transferred, TRUE));
    EXPECT_EQ(transferred, expected.size());
    EXPECT_TRUE(GetOverlappedResult(port, &second, &transferred, TRUE));
    EXPECT_EQ(transferred, sizeof tail);
}

TEST_F(Serial, HangUpEndsAPendingWaitAndFailsWhatFollows) {
    StartPendingWait();
    pty.Hangup();
    EXPECT_EQ(WaitForSingleObject(receiveEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(mask, 0u);
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &waitRecord, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);

    COMSTAT stat{};
    DWORD errors = 0;
    EXPECT_FALSE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(WaitCommEvent(port, &mask, &waitRecord));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    const BYTE message[2] = {0x83, 0x7C};
    OVERLAPPED record{};
    EXPECT_FALSE(WriteFile(port, message, sizeof message, nullptr, &record));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
}

}  // namespace
