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

// Keeps the icon as the shell would. A record smaller than NotifyIconDataV1Size is refused; the
// first version's size admits a 64-byte tip (a tip without a NUL there is taken as those 64
// bytes), sizes from the end of the 128-byte tip on admit all of it. NIM_ADD of an existing icon
// fails (ERROR_ALREADY_EXISTS), NIM_MODIFY and NIM_DELETE of a missing one fail
// (ERROR_INVALID_PARAMETER); NIM_ADD and NIM_MODIFY take only the fields that uFlags names.
//
// When the environment variable RW_SHELL_TRACE names a file, each change appends one line to
// it, so that people and tests in other processes can follow the notification area:
//   add <id>[ tip=<tip>][ icon=<picture>]      NIM_ADD, with the fields uFlags names
//   modify <id>[ tip=<tip>][ icon=<picture>]   NIM_MODIFY, likewise
//   delete <id>                                 NIM_DELETE
//   restart                                     the shell restarted; every icon vanished
// The tip is in UTF-8 with line ends written as spaces; the picture is the resource id of the
// icon group the handle was loaded from, "none" for no picture, "unknown" for a handle that is
// no loaded icon. Calls that fail change nothing and write nothing.
BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

}  // namespace win32
