// Window state: rectangles, moving and showing, painting, capture, focus and enabling. The
// rules of the window table (windows.cpp) hold here too: fields are read and written under the
// table's lock, and messages are sent with the lock released.
#include "platform/win32.h"
#include "platform/posix/detail/gdi.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/window_manager.h"

#include <algorithm>
#include <utility>

namespace win32::detail {

namespace {

void UnionRect(RECT& into, const RECT& with) {
    into.left = std::min(into.left, with.left);
    into.top = std::min(into.top, with.top);
    into.right = std::max(into.right, with.right);
    into.bottom = std::max(into.bottom, with.bottom);
}

}  // namespace

}  // namespace win32::detail

namespace win32 {

using namespace detail;

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithWindow(window, [&](Window& w) { *rect = ClientRect(w); }) ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    Window* w = Find(table, window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    for (Window* p = Find(table, w->parent); p != nullptr; p = Find(table, p->parent)) {
        rect->left += p->rect.left;
        rect->right += p->rect.left;
        rect->top += p->rect.top;
        rect->bottom += p->rect.top;
    }
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    WINDOWPOS position{window, insertAfter, x, y, width, height, flags};
    RECT before{};
    if (!WithWindow(window, [&](Window& w) {
            before = w.rect;
            if (flags & SWP_NOMOVE) {
                position.x = w.rect.left;
                position.y = w.rect.top;
            }
            if (flags & SWP_NOSIZE) {
                position.cx = w.rect.right - w.rect.left;
                position.cy = w.rect.bottom - w.rect.top;
            }
        })) {
        return FALSE;
    }
    SendMessageA(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&position));
    bool moved = false, sized = false, shown = false;
    if (!WithWindow(window, [&](Window& w) {
            RECT after{position.x, position.y, position.x + std::max(position.cx, 0),
                       position.y + std::max(position.cy, 0)};
            moved = after.left != before.left || after.top != before.top;
            sized = after.right - after.left != before.right - before.left ||
                    after.bottom - after.top != before.bottom - before.top;
            w.rect = after;
            if ((position.flags & SWP_NOZORDER) == 0) {
                if (position.hwndInsertAfter == HWND_TOPMOST) w.topmost = true;
                if (position.hwndInsertAfter == HWND_NOTOPMOST) w.topmost = false;
            }
            if (position.flags & SWP_SHOWWINDOW) {
                shown = (w.style & WS_VISIBLE) == 0;
                w.style |= WS_VISIBLE;
            }
            if (position.flags & SWP_HIDEWINDOW) w.style &= ~WS_VISIBLE;
        })) {
        return FALSE;   // destroyed by WM_WINDOWPOSCHANGING
    }
    if (!moved) position.flags |= SWP_NOCLIENTMOVE;
    if (!sized) position.flags |= SWP_NOCLIENTSIZE;
    SendMessageA(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
    if (shown || ((moved || sized) && (flags & SWP_NOREDRAW) == 0)) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    bool wasVisible = false;
    if (!WithWindow(window, [&](Window& w) { wasVisible = (w.style & WS_VISIBLE) != 0; })) return FALSE;
    bool show = command != SW_HIDE;
    if (show == wasVisible) return wasVisible ? TRUE : FALSE;
    SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    return wasVisible ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase) {
    DWORD thread = 0;
    bool marked = false;
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        Window* w = Find(table, window);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!IsVisibleLocked(table, w)) return TRUE;
        RECT part = rect != nullptr ? *rect : ClientRect(*w);
        if (w->invalid) {
            UnionRect(w->invalidRect, part);
        } else {
            w->invalidRect = part;
        }
        w->invalid = true;
        w->erase = w->erase || erase != FALSE;
        thread = w->thread;
        marked = true;
    }
    if (marked && thread != GetCurrentThreadId()) WakeQueue(thread);
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    bool invalid = false;
    if (!WithWindow(window, [&](Window& w) { invalid = w.invalid; })) return FALSE;
    if (invalid) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (paint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool erase = false;
    RECT area{};
    if (!WithWindow(window, [&](Window& w) {
            erase = w.invalid && w.erase;
            area = w.invalid ? w.invalidRect : RECT{};
            w.invalid = false;
            w.erase = false;
        })) {
        return nullptr;
    }
    HDC dc = CreatePaintDC(window);
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = area;
    if (erase && dc != nullptr) {
        LRESULT erased = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        paint->fErase = erased == 0 ? TRUE : FALSE;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr || !IsWindow(window)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (paint->hdc != nullptr) ReleasePaintDC(paint->hdc);
    return TRUE;
}

HWND SetCapture(HWND window) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    if (Find(table, window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return std::exchange(table.capture, window);
}

BOOL ReleaseCapture() {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    table.capture = nullptr;
    return TRUE;
}

HWND GetCapture() {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    return table.capture;
}

HWND SetFocus(HWND window) {
    HWND previous = nullptr;
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        if (window != nullptr && Find(table, window) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        previous = std::exchange(table.focus, window);
    }
    if (previous == window) return previous;
    DWORD self = GetCurrentThreadId();
    if (previous != nullptr && WindowThread(previous) == self) {
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (window != nullptr && WindowThread(window) == self) {
        SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND GetFocus() {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    return table.focus;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    bool wasDisabled = false;
    bool changed = false;
    if (!WithWindow(window, [&](Window& w) {
            wasDisabled = (w.style & WS_DISABLED) != 0;
            changed = wasDisabled == (enable != FALSE);
            if (enable) {
                w.style &= ~WS_DISABLED;
            } else {
                w.style |= WS_DISABLED;
            }
        })) {
        return FALSE;
    }
    if (changed) {
        if (!enable && GetFocus() == window) SetFocus(nullptr);
        if (WindowThread(window) == GetCurrentThreadId()) SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    bool enabled = false;
    WithWindow(window, [&](Window& w) { enabled = (w.style & WS_DISABLED) == 0; });
    return enabled ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    DWORD thread = WindowThread(window);
    if (thread == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId != nullptr) *processId = GetCurrentProcessId();
    return thread;
}

}  // namespace win32

namespace win32::detail {

bool IsTopmost(HWND window) {
    bool topmost = false;
    WithWindow(window, [&](Window& w) { topmost = w.topmost; });
    return topmost;
}

}  // namespace win32::detail
