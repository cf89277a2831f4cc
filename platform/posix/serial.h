// Serial communications: COM ports opened by name, their line settings, and overlapped reads,
// writes and event waits on them.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

constexpr DWORD EV_RXCHAR = 0x0001;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ONESTOPBIT = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_ENABLE = 1;

struct DCB {
    DWORD DCBlength;   // sizeof(DCB)
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
typedef DCB* LPDCB;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
typedef COMMTIMEOUTS* LPCOMMTIMEOUTS;

struct COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
typedef COMSTAT* LPCOMSTAT;

// Internal and InternalHigh hold the status (a Win32 error code once complete) and the byte count;
// the layer writes them atomically, as another thread may complete the operation.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
typedef OVERLAPPED* LPOVERLAPPED;

// "COMn" opens the device named by $RW_COM<n>, else /dev/ttyS<n-1>, non-blocking, and always
// exclusively (a port held elsewhere gives ERROR_ACCESS_DENIED, a missing one
// ERROR_FILE_NOT_FOUND). Requires OPEN_EXISTING and FILE_FLAG_OVERLAPPED. "CONIN$" and "CONOUT$"
// open the console (console.h); other names are not supported.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// The kernel's terminal queues have a fixed size; the sizes are accepted as a request.
BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue);
// Raw termios from the DCB; any baud rate, set as a custom rate. Only 5 to 8 data bits, no
// parity, one stop bit and no flow control are supported. DTR and RTS are left alone on devices
// without modem lines (pseudo-terminals).
BOOL SetCommState(HANDLE file, LPDCB dcb);
// Reads always return at once with what is queued; only time-outs that ask for that
// (ReadIntervalTimeout MAXDWORD, no write time-out) are accepted.
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
// EV_RXCHAR is the only event supported. Completes a pending WaitCommEvent with mask 0.
BOOL SetCommMask(HANDLE file, DWORD mask);
// RX/TX clear flush the kernel's queues; TX abort ends the writes the layer still holds with
// ERROR_OPERATION_ABORTED. Reads never stay pending, so RX abort has nothing to do.
BOOL PurgeComm(HANDLE file, DWORD flags);
// Line errors are not tracked: errors is always 0. cbInQue is what the kernel holds for reading,
// cbOutQue what the layer still holds for writing.
BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat);
// Overlapped only. Completes at once with what is queued, up to toRead bytes (0 bytes when
// nothing is queued); a hung-up device fails.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
// Overlapped only. What the descriptor does not take at once is copied and written by the port's
// writer thread in order (ERROR_IO_PENDING); the caller's buffer may end when the call returns.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
// Waiting without an event in the record waits for the port's next completion.
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
// Needs an event in the record. The wait joins every wait on that event, which completes it when
// input is queued; one wait per port at a time. SetCommMask and CloseHandle complete it with mask 0.
BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED overlapped);

}  // namespace win32
