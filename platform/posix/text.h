// ANSI text: the double-byte lead bytes of the ANSI code page, the kernel's string copies and
// wsprintfA.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// Lead bytes of the ANSI code page: 0x81-0x9F and 0xE0-0xFC for 932 (the default); other code
// pages are taken as single-byte. Tests choose the code page through platform/testing.h.
BOOL IsDBCSLeadByte(BYTE byte);

// Copies at most maxLength - 1 bytes and always ends the copy with a NUL (nothing is written
// when maxLength is 0 or less). Null pointers give null, as Windows' guarded copy does.
LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int maxLength);
LPSTR lstrcpyA(LPSTR destination, LPCSTR source);
LPSTR lstrcatA(LPSTR destination, LPCSTR source);
// A null text has length 0.
int lstrlenA(LPCSTR text);

// printf rules of the C library; like Windows it stores at most 1024 bytes, NUL included, and
// returns the number of bytes stored before the NUL.
int wsprintfA(LPSTR buffer, LPCSTR format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace win32
