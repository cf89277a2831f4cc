// The notification area of the simulated shell: a headless shell that keeps the icons of the
// process as Explorer would and reads only the fields that a record's size field admits. Tests
// read, click and restart it through platform/testing.h.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;

constexpr UINT NIF_MESSAGE = 0x0001;
constexpr UINT NIF_ICON = 0x0002;
constexpr UINT NIF_TIP = 0x0004;

// The record in its largest layout (tip of 128 characters, balloon fields and a GUID).
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};

struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    CHAR szInfo[256];
    UINT uTimeout;   // shares its place with uVersion
    CHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
};
typedef NOTIFYICONDATAA* PNOTIFYICONDATAA;

// The size of the record's first version (window, id, flags, callback message, icon and a
// 64-byte tip), which the shell of every Windows version accepts.
constexpr DWORD NotifyIconDataV1Size = offsetof(NOTIFYICONDATAA, szTip) + 64;

BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

}  // namespace win32
