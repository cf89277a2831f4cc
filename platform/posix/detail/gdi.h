// What the drawing and picture areas offer the rest of the layer: the device contexts of
// BeginPaint, what an icon handle was loaded from, and the values of USER and GDI handles.
// Layer sources only.
#pragma once

#include "platform/posix/types.h"

#include <cstdint>
#include <limits>

namespace win32::detail {

// A recording device context for painting the window; released by ReleasePaintDC. A null
// window gives a device context of no window (what tests hand to WM_PRINT).
HDC CreatePaintDC(HWND window);
void ReleasePaintDC(HDC dc);

// Where an icon or cursor handle comes from. A system cursor has module 0 and its IDC_ number
// as resource id.
struct PictureOrigin {
    std::uintptr_t module;
    UINT resourceId;
    int width;
    int height;
    bool shared;
    bool cursor;
};
// False for a handle that names no live icon or cursor.
bool DescribePicture(HICON picture, PictureOrigin& origin);

// The kinds of object that USER and GDI hand out handles for. Each kind takes its values from a
// range of its own, so that a handle of one kind never names an object of another, and values
// are never reused, so that a stale handle never names a newer object.
enum class ObjectKind : std::uintptr_t { Menu = 1, Picture = 2, DeviceContext = 3, Font = 4 };

inline std::uintptr_t ObjectValue(ObjectKind kind, std::uintptr_t serial) {
    constexpr int kKindShift = std::numeric_limits<std::uintptr_t>::digits - 8;
    return (static_cast<std::uintptr_t>(kind) << kKindShift) | (serial << 2);
}

}  // namespace win32::detail
