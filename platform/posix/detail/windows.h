// What the window manager offers the other desktop areas of the layer (shell, GDI). Layer
// sources only.
#pragma once

#include "platform/posix/types.h"

#include <vector>

namespace win32::detail {

// The top-level windows of the process (no parent), in creation order.
std::vector<HWND> TopLevelWindows();

}  // namespace win32::detail
