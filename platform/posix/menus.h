// Menus from resources and popup menus. The popup menu of the simulated desktop shows nothing
// and returns what a test chose through platform/testing.h (nothing by default).
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// MAKEINTRESOURCEA: an integer resource id passed where a name is expected.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(id)); }

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

// A menu built from the module's registered menu template (null: the executable), its texts in
// the ANSI code page; null with ERROR_RESOURCE_NAME_NOT_FOUND when it has none of that id, or
// ERROR_RESOURCE_TYPE_NOT_FOUND when it has no menus. Menus are process-wide objects; a
// destroyed menu's handle fails with ERROR_INVALID_MENU_HANDLE.
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
// The popup at that position; null when the item there is no popup.
HMENU GetSubMenu(HMENU menu, int position);
// Destroys the submenus too.
BOOL DestroyMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
// 0 for a separator; 0xFFFFFFFF for a popup or a position without an item.
UINT GetMenuItemID(HMENU menu, int position);
// By command (searching the submenus too) or by position. Cuts the text to maxCount - 1 bytes
// before a whole character; with no buffer it returns the text's length.
int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int maxCount, UINT flags);
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;
// Shows nothing: records the menu and returns the choice a test made: posts WM_COMMAND with it
// to the owner and returns TRUE (or returns it with TPM_RETURNCMD); without a choice nothing is
// chosen and the result is 0. No menu messages (WM_INITMENUPOPUP, ...) are sent.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, LPCRECT exclude);

// The simulated mouse position, which tests set.
BOOL GetCursorPos(LPPOINT point);

}  // namespace win32
