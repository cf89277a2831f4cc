// What the window manager offers the other desktop areas of the layer (shell, GDI). Layer
// sources only.
#pragma once

#include "platform/posix/types.h"

#include <vector>

namespace win32::detail {

// The top-level windows of the process (no parent), in creation order.
std::vector<HWND> TopLevelWindows();

// Whether AllowSetForegroundWindow is there for GetProcAddress; tests make it absent, as on
// systems older than Windows 2000.
bool AllowSetForegroundWindowAvailable();

}  // namespace win32::detail
