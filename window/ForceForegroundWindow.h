// ForceForegroundWindow: makes a window the foreground window despite the foreground-lock rules
// of Windows 98 and Windows 2000 and later.
#pragma once

#include "platform/win32.h"

// Attaches the calling thread's input to the foreground window's thread for the span of the
// calls (on the systems with foreground locks), then makes the window the foreground window and,
// as asked, brings it to the top, activates it and makes it topmost. Returns the result of
// SetForegroundWindow.
bool ForceForegroundWindow(HWND window, bool bringToTop, bool activate, bool topmost);
