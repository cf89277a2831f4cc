// Cursors and icons from resources, system metrics and system colours.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// The system's cursors, as integer resource ids of no module.
#define IDC_ARROW (reinterpret_cast<win32::LPCSTR>(static_cast<std::uintptr_t>(32512)))
#define IDC_HAND (reinterpret_cast<win32::LPCSTR>(static_cast<std::uintptr_t>(32649)))

constexpr DWORD ERROR_INVALID_CURSOR_HANDLE = 1402;
constexpr DWORD ERROR_INVALID_ICON_HANDLE = 1414;

// A null instance loads a system cursor (shared: DestroyCursor leaves it valid); modules hold
// no cursors (ERROR_RESOURCE_TYPE_NOT_FOUND).
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// Returns the previous cursor; tests read the current one. The current cursor is one for the
// whole process; nothing is shown.
HCURSOR SetCursor(HCURSOR cursor);
BOOL DestroyCursor(HCURSOR cursor);

// The module's registered icon of that id, at the system's large-icon size (32 by 32), shared.
// A missing id gives ERROR_RESOURCE_NAME_NOT_FOUND, a module without icons
// ERROR_RESOURCE_TYPE_NOT_FOUND; a null instance finds nothing (the system has no icons).
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_SHARED = 0x8000;
// Icons only: the picture of the .ico group that fits the size best (0 asks for 32); the
// picture is not scaled to the size asked. With LR_SHARED the same picture gives the same
// handle every time, and DestroyIcon leaves it valid.
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
BOOL DestroyIcon(HICON icon);

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
// The simulated display: icons of 32 and small icons of 16 pixels.
int GetSystemMetrics(int index);
// The classic colour scheme's colours.
DWORD GetSysColor(int index);

}  // namespace win32
