// What the GDI area offers the window manager: the device contexts of BeginPaint. Layer sources
// only.
#pragma once

#include "platform/posix/types.h"

namespace win32::detail {

// A recording device context for painting the window; released by ReleasePaintDC.
HDC CreatePaintDC(HWND window);
void ReleasePaintDC(HDC dc);

}  // namespace win32::detail
