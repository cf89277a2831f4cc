// ZMySerialPort: open, configure, read, wait, write and close one COM port.
//
// The gateway's receive loop is the only reader (ReadQueued, WaitAndRead); Write comes from the
// client threads, one at a time; Close may come from any thread. The wait, read and write records
// are separate, so that a write can start while a read or a wait is in progress.
#include "io/ZMySerialPort.h"

#include <algorithm>
#include <cstdio>

ZMySerialPort::ZMySerialPort()
    : receiveEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      stopSignal(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      outputQueueSize(QueueSize),
      inputQueueSize(QueueSize) {
    waitRecord.hEvent = receiveEvent;
}

ZMySerialPort::~ZMySerialPort() {
    if (handle != nullptr) Close();
    CloseHandle(receiveEvent);
    CloseHandle(stopSignal);
}

bool ZMySerialPort::Open(int number) {
    if (handle != nullptr) return false;
    portNumber = number;
    baudRate = LocoBufferBaudRate;
    byteSize = 8;
    stopBits = ONESTOPBIT;
    parity = NOPARITY;

    char name[20];
    std::snprintf(name, sizeof name, "COM%d", number);
    HANDLE opened = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    handle = opened;

    if (!SetupComm(opened, inputQueueSize, outputQueueSize) || !ApplyDeviceControl() || !ApplyTimeouts() ||
        !SetCommMask(opened, EV_RXCHAR)) {
        Close();
        return false;
    }
    Purge();
    return true;
}

bool ZMySerialPort::ApplyDeviceControl() {
    deviceControl = DCB{};   // built from scratch, not read from the device
    deviceControl.DCBlength = sizeof(DCB);
    deviceControl.BaudRate = baudRate;
    deviceControl.fBinary = 1;
    deviceControl.fParity = 1;
    deviceControl.fDtrControl = DTR_CONTROL_ENABLE;
    deviceControl.fTXContinueOnXoff = 1;
    deviceControl.fRtsControl = RTS_CONTROL_ENABLE;
    deviceControl.ByteSize = static_cast<BYTE>(byteSize);
    deviceControl.Parity = static_cast<BYTE>(parity);
    deviceControl.StopBits = static_cast<BYTE>(stopBits);
    return SetCommState(handle, &deviceControl) != FALSE;
}

bool ZMySerialPort::ApplyTimeouts() {
    // A read returns at once with what is queued, or waits at most 1 ms for a first byte; writes
    // have no total time-out.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 1;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(handle, &timeouts) != FALSE;
}

bool ZMySerialPort::Close() {
    // The stop signal first, so that a reader blocked in WaitAndRead returns false rather than
    // use a closed handle.
    SetEvent(stopSignal);
    if (HANDLE open = handle.exchange(nullptr)) CloseHandle(open);
    return true;
}

bool ZMySerialPort::Purge() {
    HANDLE port = handle;
    if (port == nullptr) return false;
    return PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != FALSE;
}

bool ZMySerialPort::ReadQueued(BYTE* buffer, DWORD capacity, DWORD& count) {
    count = 0;
    readRecord.Offset = 0;
    readRecord.OffsetHigh = 0;
    HANDLE port = handle;
    DWORD errors = 0;
    if (!ClearCommError(port, &errors, &status)) return false;
    DWORD wanted = std::min({status.cbInQue, MaxReadChunk, capacity});
    if (wanted == 0) return true;
    if (ReadFile(port, buffer, wanted, &count, &readRecord)) return true;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (GetOverlappedResult(port, &readRecord, &count, FALSE)) return true;
    if (GetLastError() != ERROR_IO_INCOMPLETE) return false;
    // The read concerns bytes the driver already holds, so it ends soon. It is waited for, so
    // that its bytes are neither lost nor written later into a buffer that the caller has moved on.
    return GetOverlappedResult(port, &readRecord, &count, TRUE) != FALSE;
}

bool ZMySerialPort::WaitAndRead(BYTE* buffer, DWORD capacity, DWORD& count) {
    if (!ReadQueued(buffer, capacity, count)) return false;
    if (count > 0) return true;
    eventMask = 0;
    if (!WaitCommEvent(handle, &eventMask, &waitRecord) && GetLastError() != ERROR_IO_PENDING) return false;
    // The stop signal comes first, so it wins when both are signalled.
    HANDLE events[2] = {stopSignal, receiveEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
    if (eventMask & EV_RXCHAR) return ReadQueued(buffer, capacity, count);
    return true;
}

bool ZMySerialPort::Write(const BYTE* data, DWORD length) {
    writeRecord.Offset = 0;
    writeRecord.OffsetHigh = 0;
    if (WriteFile(handle, data, length, nullptr, &writeRecord)) return true;
    return GetLastError() == ERROR_IO_PENDING;
}
