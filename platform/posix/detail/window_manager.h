// What the parts of the window manager share: the window table (windows.cpp, window_state.cpp),
// the message queues (messages.cpp) and the foreground state (foreground.cpp). Window manager
// sources only.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace win32::detail {

// --- The window table, guarded by its lock ---

struct WindowClass {
    std::string name;
    std::string menuName;
    bool menuIsId = false;
    WNDCLASSEXA record{};   // as registered; the name pointers are set anew on every copy out
    bool global = false;
};

struct Window {
    HWND handle = nullptr;
    DWORD thread = 0;
    std::shared_ptr<const WindowClass> windowClass;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    std::vector<HWND> children;   // in creation order, which is their z-order
    std::string text;
    RECT rect{};   // relative to the parent's client area, or the screen
    std::vector<LONG_PTR> extra;
    bool invalid = false;
    bool erase = false;
    RECT invalidRect{};
    bool destroying = false;
    bool topmost = false;
};

struct Table {
    std::mutex lock;
    std::uintptr_t next = 0x10000;   // only grows, so a stale handle never names a newer window
    std::map<std::uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<std::shared_ptr<const WindowClass>> classes;
    HWND capture = nullptr;
    HWND focus = nullptr;
};

Table& TheTable();

inline std::uintptr_t Key(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

// The window of the handle, or null; under the lock.
inline Window* Find(Table& table, HWND window) {
    auto it = table.windows.find(Key(window));
    return it == table.windows.end() ? nullptr : it->second.get();
}

inline bool IsVisibleLocked(Table& table, const Window* window) {
    for (; window != nullptr; window = Find(table, window->parent)) {
        if ((window->style & WS_VISIBLE) == 0) return false;
    }
    return true;
}

// Runs f on the window under the lock, to read or write its fields; false (and ERROR_INVALID_WINDOW_HANDLE) when the
// handle is no window.
template <class F>
bool WithWindow(HWND handle, F&& f) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    Window* window = Find(table, handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    f(*window);
    return true;
}

inline RECT ClientRect(const Window& window) {
    return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

// ASCII case-insensitive equality, the rule of class and registered message names.
bool SameName(const std::string& a, const char* b);

// --- From the window table ---

// The thread that owns the window; 0 when it is no window.
DWORD WindowThread(HWND window);
// The window and all its descendants, for the window filter of GetMessageA and PeekMessageA.
std::vector<HWND> WindowAndDescendants(HWND window);
// The first window of the thread, among those in the list (every window when the list is
// empty), that needs painting; null when none does.
HWND FirstInvalidWindow(DWORD thread, const std::vector<HWND>& among);
// Drops the thread's windows without messages: the thread has ended.
void ForgetThreadWindows(DWORD thread);
// The topmost state that SetWindowPos recorded.
bool IsTopmost(HWND window);

// --- From the foreground state ---

// A window that is gone is no longer the foreground or the active window.
void ForgetInputState(HWND window);

// --- From the message queues ---

// Makes sure the calling thread has a queue.
void EnsureQueue();
// Wakes a wait of the thread on its queue, so that it looks again (paint, a new timer).
void WakeQueue(DWORD thread);
// Removes the window's posted messages and timers from its thread's queue.
void ForgetWindowMessages(DWORD thread, HWND window);
// One atom per name, without regard to case, from 0xC000 on; shared by registered messages and
// window classes as on Windows.
ATOM NameAtom(const char* name);

}  // namespace win32::detail
