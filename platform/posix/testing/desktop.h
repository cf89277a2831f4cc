// Test interface of the simulated desktop: message boxes, beeps, menus, cursor, cursors and
// icons, the shell's notification area and recorded drawing. Included through platform/testing.h
// only. Texts are the bytes the program passed (ANSI code page) unless said otherwise.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Forgets what the desktop recorded and what tests queued: message boxes, answers and beeps;
// popup menus shown and choices; the mouse position (0, 0), the current cursor (none) and the
// hand cursor's absence; the shell's icons, calls and planned failures; the drawing records.
// Objects that the program owns (menus, icons, fonts, device contexts) stay as they are.
void RwTestResetDesktop();

// Message boxes and beeps.
struct RwTestMessageBox {
    win32::HWND owner;
    std::string caption;   // null counts as "Error", as on Windows
    std::string text;
    win32::UINT type;
    std::string shown;     // the block written to standard error, in UTF-8
};
std::vector<RwTestMessageBox> RwTestMessageBoxes();
// The answer of the next box that has not been shown yet, in order; boxes without a queued
// answer answer their first button (IDOK; IDYES for MB_YESNO). whileOpen runs on the box's
// thread while the box is open, e.g. to click the tray icon behind a modal box.
void RwTestQueueMessageBoxAnswer(int answer, std::function<void()> whileOpen = {});
std::vector<win32::UINT> RwTestBeeps();
void RwTestResetMessageBoxes();

// Menus, popup menus and the mouse position.
struct RwTestMenuItem {
    win32::UINT id;      // 0 for a separator and a popup
    std::string text;    // empty for a separator
    bool separator;
    bool popup;
};
struct RwTestPopupMenu {
    win32::HMENU menu;
    std::vector<RwTestMenuItem> items;   // as they were when the menu was shown
    win32::UINT flags;
    int x;
    int y;
    win32::HWND owner;
};
// Every TrackPopupMenu call that showed a menu, in order.
std::vector<RwTestPopupMenu> RwTestPopupMenus();
// The choice for the next popup menu that has not been shown yet, in order: a command of the menu
// (0, or an id the menu does not hold, chooses nothing). whileOpen runs on the tracking thread
// while the menu is open, e.g. to deliver a click that arrives meanwhile.
void RwTestQueuePopupMenuChoice(win32::UINT command, std::function<void()> whileOpen = {});
// Menus created and not destroyed, submenus included.
int RwTestMenusAlive();
void RwTestSetCursorPos(int x, int y);
void RwTestResetMenus();

// Cursors and icons.
win32::HCURSOR RwTestCurrentCursor();
// Makes IDC_HAND unknown to LoadCursorA (null, ERROR_RESOURCE_NAME_NOT_FOUND), as on systems
// before Windows 2000.
void RwTestSetHandCursorAbsent(bool absent);
struct RwTestPicture {
    win32::HMODULE module;   // null for a system cursor
    win32::UINT resourceId;  // the icon group's id, or the IDC_ number of a system cursor
    int width;               // of the picture chosen from the group
    int height;
    bool shared;
    bool cursor;
};
// False when the handle names no live icon or cursor.
bool RwTestDescribePicture(win32::HICON picture, RwTestPicture& description);
// Icons loaded without LR_SHARED and not destroyed.
int RwTestIconsAlive();
void RwTestResetCursors();

// The shell's notification area.
struct RwTestShellIcon {
    win32::HWND window;
    win32::UINT id;
    win32::UINT flags;   // the NIF_ fields set so far
    win32::UINT callbackMessage;
    win32::HICON icon;
    std::string tip;
};
std::vector<RwTestShellIcon> RwTestShellIcons();
struct RwTestShellCall {
    win32::DWORD message;   // NIM_ADD, NIM_MODIFY, NIM_DELETE
    win32::HWND window;
    win32::UINT id;
    win32::UINT flags;      // uFlags as passed
    win32::BOOL result;
};
// The Shell_NotifyIconA calls, in order, failed ones included (the most recent 10000).
std::vector<RwTestShellCall> RwTestShellCalls();
// A click on the icon: the shell posts the icon's callback message to its window, wParam the
// icon id and lParam the mouse message (WM_LBUTTONUP, ...). False when there is no such icon or
// it has no callback message.
bool RwTestClickShellIcon(win32::HWND window, win32::UINT id, win32::UINT mouseMessage);
// The shell restarts: every icon vanishes and "TaskbarCreated" is posted to every top-level
// window of the process.
void RwTestRestartShell();
// The next count calls of Shell_NotifyIconA fail (FALSE, ERROR_TIMEOUT) and change nothing.
void RwTestFailShellCalls(int count);
void RwTestResetShell();

// Recorded drawing.
enum class RwTestDrawKind {
    Text,                  // DrawTextA
    SelectedFontDeleted,   // DeleteObject of the font selected in the device context
};
struct RwTestDrawing {
    RwTestDrawKind kind;
    win32::HDC dc;
    win32::HWND window;   // null for a device context of no window
    std::string text;
    win32::RECT rect;
    win32::UINT format;
    win32::COLORREF textColor;
    win32::COLORREF backgroundColor;
    int backgroundMode;
    win32::LOGFONTA font;   // the font selected when the text was drawn (or the font deleted)
};
// The drawing recorded in the window's (or device context's) device contexts, in order (of the
// most recent 10000 records).
std::vector<RwTestDrawing> RwTestDrawingsOf(win32::HWND window);
std::vector<RwTestDrawing> RwTestDrawingsOn(win32::HDC dc);
// A recording device context of no window (for WM_PRINT); DeleteDC releases it.
win32::HDC RwTestCreateDC();
// Fonts created and not yet freed (a deleted font that is still selected is alive until it is
// deselected or its device context goes).
int RwTestFontsAlive();
void RwTestResetDrawing();
