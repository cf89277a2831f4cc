// The hyperlink control: the window class "ZuHyperLink", its window procedure and the record
// each control keeps in its window long 0.
#pragma once

#include "platform/win32.h"

// The text shown by a control that is created without one.
inline constexpr char DefaultHyperLinkAddress[] = "https://github.com/railwick/rwserver";
inline constexpr char HyperLinkClassName[] = "ZuHyperLink";
inline constexpr UINT_PTR HyperLinkTimerId = 101;
// How often a control compares the cursor with its rectangle, in milliseconds.
inline constexpr UINT HyperLinkTimerPeriod = 200;
// The window text buffer: at most 299 characters of text are used.
inline constexpr int HyperLinkTextSize = 300;

// One control's state, zero-filled from the process heap at WM_CREATE. The field order is that of
// the control's 32-byte record on 32-bit Windows; here the cursor handle is pointer-sized, so
// the record is as large as this platform's alignment makes it (40 bytes on 64-bit systems).
struct ZHyperLinkRecord {
    COLORREF backgroundColor;
    COLORREF linkColor;
    COLORREF hoverColor;
    COLORREF visitedColor;
    DWORD visited;      // set at the first click, never cleared
    DWORD hovering;     // the mouse is over the control
    DWORD hoverShown;   // a mouse move already repainted the hover since hovering began
    HCURSOR cursor;
};

// The timer id that the last created control got from SetTimer; all controls share it and
// recognise their ticks by it. Controls are created and run on one thread, so it has no lock.
extern UINT_PTR g_hyperLinkTimer;

// Registers "ZuHyperLink" for the whole process; always true.
bool RegisterHyperLinkClass(HINSTANCE instance);
LRESULT CALLBACK HyperLinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
