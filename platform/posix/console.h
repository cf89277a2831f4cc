// The console: the controlling terminal as a waitable handle, for the tools library's dialogs.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// CreateFileA("CONIN$" or "CONOUT$", ...) opens the controlling terminal (/dev/tty); without one
// it fails with ERROR_FILE_NOT_FOUND. Both names give the same kind of handle, which reads and
// writes. The handle is signalled while input can be read (or the terminal has hung up), so
// WaitForMultipleObjects and MsgWaitForMultipleObjects can wait on it. CloseHandle puts back the
// terminal settings the handle found, if it changed them.

// The modes map to the terminal's local flags: ISIG, ICANON, ECHO.
constexpr DWORD ENABLE_PROCESSED_INPUT = 0x0001;
constexpr DWORD ENABLE_LINE_INPUT = 0x0002;
constexpr DWORD ENABLE_ECHO_INPUT = 0x0004;

// Only the three modes above are reported.
BOOL GetConsoleMode(HANDLE console, LPDWORD mode);
// Other bits are ignored. Without line input each read returns as soon as one byte is there;
// input already typed is kept.
BOOL SetConsoleMode(HANDLE console, DWORD mode);
// Blocks until input is there and returns what is there, up to toRead bytes; nothing is
// converted. 0 bytes read is the end of input (Ctrl-D in line input); a hung-up terminal fails
// with ERROR_BROKEN_PIPE.
BOOL ReadConsoleA(HANDLE input, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID inputControl);
// The bytes go to the terminal as they are: the terminal's encoding (UTF-8), not the ANSI code
// page. Returns when all are written.
BOOL WriteConsoleA(HANDLE output, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID reserved);

}  // namespace win32
