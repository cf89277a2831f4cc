// RegisterWndClass: registers a window class of the class library, whose window procedure is
// FrameworkWndProc.
#pragma once

#include "platform/win32.h"

// Registers the class under the application's module handle with FrameworkWndProc and no extra
// bytes. True also when a class of that name exists already, which stays as it was.
bool RegisterWndClass(const char* className, UINT style, HICON icon, HICON smallIcon, HCURSOR cursor,
                      HBRUSH background);
