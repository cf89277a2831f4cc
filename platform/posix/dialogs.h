// Message boxes and the beep. A message box prints its caption and text, converted from the ANSI
// code page to UTF-8, on standard error and answers IDOK, unless a test chose another answer
// through platform/testing.h; tests also read the boxes and beeps there.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Writes "[caption] text" to standard error (bytes not valid in the ANSI code page as U+FFFD)
// and answers the box's first button (IDOK, IDYES for MB_YESNO) unless a test queued an answer.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Recorded for tests; nothing sounds.
BOOL MessageBeep(UINT type);

}  // namespace win32
