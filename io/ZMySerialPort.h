// ZMySerialPort: the COM port of a LocoBuffer, opened for overlapped I/O with the LocoBuffer's
// fixed line settings, read in small groups of received bytes.
#pragma once

#include "platform/win32.h"

#include <atomic>

class ZMySerialPort {
public:
    // The most bytes one read places in the caller's buffer.
    static constexpr DWORD MaxReadChunk = 3;
    // The driver's input and output queue sizes asked for.
    static constexpr DWORD QueueSize = 1024;
    static constexpr DWORD LocoBufferBaudRate = 16457;

    ZMySerialPort();
    virtual ~ZMySerialPort();
    ZMySerialPort(const ZMySerialPort&) = delete;
    ZMySerialPort& operator=(const ZMySerialPort&) = delete;

    // Opens "COM<portNumber>" and configures it; false when already open or when any step fails
    // (the port is then closed and stopped).
    bool Open(int portNumber);
    // Sets the stop signal, so that a WaitAndRead blocked on another thread returns false, and
    // closes the port. Always true.
    bool Close();
    // Aborts the transfers in progress and empties both driver queues; false when closed.
    bool Purge();
    // Reads at most min(MaxReadChunk, capacity) of the bytes already received; never waits for
    // new ones. count is the number read; false on a device error.
    bool ReadQueued(BYTE* buffer, DWORD capacity, DWORD& count);
    // Like ReadQueued, but when nothing is queued it waits for received characters or the stop
    // signal. True with count 0 when woken with nothing to read; false on an error or when stopped.
    bool WaitAndRead(BYTE* buffer, DWORD capacity, DWORD& count);
    // Starts writing the bytes without waiting for the write; true when done or in progress.
    bool Write(const BYTE* data, DWORD length);

private:
    bool ApplyDeviceControl();
    bool ApplyTimeouts();

    int portNumber = 0;
    int byteSize = 0;
    int stopBits = 0;
    int parity = 0;
    // Atomic, since Close may run on another thread while the reader uses the handle.
    std::atomic<HANDLE> handle{nullptr};
    DCB deviceControl{};
    COMMTIMEOUTS timeouts{};
    COMSTAT status{};
    OVERLAPPED waitRecord{};
    // A member, not a local of WaitAndRead: a wait that the stop signal has left pending writes
    // the mask when the port closes, after WaitAndRead has returned.
    DWORD eventMask = 0;
    HANDLE receiveEvent;
    OVERLAPPED readRecord{};
    OVERLAPPED writeRecord{};
    HANDLE stopSignal;
    DWORD baudRate = 0;
    DWORD outputQueueSize;
    DWORD inputQueueSize;
};
