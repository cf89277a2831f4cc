// The window table: classes, windows, creation and destruction, the default window procedure,
// sending, window data and text. Rectangles, painting and input state are in window_state.cpp.
//
// A window belongs to the thread that created it; only that thread sends to it, paints it and
// destroys it. Other threads may ask whether a handle is a window, whose it is, and read its
// state, so the table and every window's fields are guarded by one lock. The lock is held only
// to read or write fields, never while a window procedure runs: every message is sent with the
// lock released, and a procedure may reenter the window manager freely.
#include "platform/win32.h"
#include "platform/posix/detail/gdi.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/window_manager.h"
#include "platform/posix/detail/windows.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace win32::detail {

Table& TheTable() {
    // Never destroyed: threads may still ask for their windows while the process ends.
    static Table* table = new Table;
    return *table;
}

namespace {

const WindowClass* FindClassLocked(Table& table, HINSTANCE instance, const char* name) {
    const WindowClass* global = nullptr;
    for (const auto& c : table.classes) {
        if (!SameName(c->name, name)) continue;
        if (!c->global && c->record.hInstance == instance) return c.get();
        if (c->global && global == nullptr) global = c.get();
    }
    return global;
}

std::shared_ptr<const WindowClass> FindClassShared(Table& table, HINSTANCE instance, const char* name) {
    const WindowClass* found = FindClassLocked(table, instance, name);
    for (const auto& c : table.classes) {
        if (c.get() == found) return c;
    }
    return nullptr;
}

// Marks the window and its descendants as being destroyed; the handles in destroy order of
// WM_DESTROY (the window before its children).
void CollectForDestroy(Table& table, HWND handle, std::vector<HWND>& order) {
    Window* window = Find(table, handle);
    if (window == nullptr) return;
    window->destroying = true;
    order.push_back(handle);
    for (HWND child : window->children) CollectForDestroy(table, child, order);
}

void RemoveLocked(Table& table, HWND handle) {
    auto it = table.windows.find(Key(handle));
    if (it == table.windows.end()) return;
    if (Window* parent = Find(table, it->second->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
    }
    if (table.capture == handle) table.capture = nullptr;
    if (table.focus == handle) table.focus = nullptr;
    table.windows.erase(it);
}

// WM_NCDESTROY to the children first, then to the window; each leaves the table after its
// message, so that it is still a window while it handles it.
void FreeWindow(HWND handle) {
    std::vector<HWND> children;
    DWORD thread = 0;
    WithWindow(handle, [&](Window& w) {
        children = w.children;
        thread = w.thread;
    });
    for (HWND child : children) FreeWindow(child);
    SendMessageA(handle, WM_NCDESTROY, 0, 0);
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        RemoveLocked(table, handle);
    }
    ForgetWindowMessages(thread, handle);
    ForgetInputState(handle);
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    if (size == 0 || buffer == 0) return 0;
    std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    char* out = reinterpret_cast<char*>(buffer);
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return static_cast<LRESULT>(count);
}

std::string TextOf(HWND window) {
    std::string text;
    WithWindow(window, [&](Window& w) { text = w.text; });
    return text;
}

}  // namespace

bool SameName(const std::string& a, const char* b) {
    std::size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

DWORD WindowThread(HWND window) {
    DWORD thread = 0;
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    if (Window* w = Find(table, window)) thread = w->thread;
    return thread;
}

std::vector<HWND> WindowAndDescendants(HWND window) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    std::vector<HWND> all;
    if (Find(table, window) == nullptr) return all;
    all.push_back(window);
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (HWND child : Find(table, all[i])->children) all.push_back(child);
    }
    return all;
}

HWND FirstInvalidWindow(DWORD thread, const std::vector<HWND>& among) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    for (const auto& [key, window] : table.windows) {
        if (window->thread != thread || !window->invalid) continue;
        if (!among.empty() && std::find(among.begin(), among.end(), window->handle) == among.end()) continue;
        return window->handle;
    }
    return nullptr;
}

void ForgetThreadWindows(DWORD thread) {
    std::vector<HWND> gone;
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        for (const auto& [key, window] : table.windows) {
            if (window->thread == thread) gone.push_back(window->handle);
        }
        for (HWND window : gone) RemoveLocked(table, window);
    }
    for (HWND window : gone) ForgetInputState(window);
}

std::vector<HWND> TopLevelWindows() {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    std::vector<HWND> result;
    for (const auto& [key, window] : table.windows) {
        if (window->parent == nullptr && !window->destroying) result.push_back(window->handle);
    }
    return result;
}

}  // namespace win32::detail

namespace win32 {

using namespace detail;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->cbWndExtra < 0 || windowClass->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto record = std::make_shared<WindowClass>();
    record->name = windowClass->lpszClassName;
    record->record = *windowClass;
    record->global = (windowClass->style & CS_GLOBALCLASS) != 0;
    if (windowClass->lpszMenuName != nullptr) {
        // A menu named by its resource id (MAKEINTRESOURCE) is kept as that value.
        record->menuIsId = reinterpret_cast<std::uintptr_t>(windowClass->lpszMenuName) < 0x10000;
        if (!record->menuIsId) record->menuName = windowClass->lpszMenuName;
    }
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    for (const auto& c : table.classes) {
        bool visible = c->global || c->record.hInstance == windowClass->hInstance;
        if (visible && SameName(c->name, windowClass->lpszClassName)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    table.classes.push_back(record);
    return NameAtom(windowClass->lpszClassName);
}

BOOL GetClassInfoExA(HINSTANCE instance, LPCSTR className, LPWNDCLASSEXA windowClass) {
    if (className == nullptr || windowClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    const WindowClass* found = FindClassLocked(table, instance, className);
    if (found == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    UINT size = windowClass->cbSize;
    *windowClass = found->record;
    windowClass->cbSize = size;
    windowClass->lpszClassName = className;   // Windows hands back the caller's own pointer
    windowClass->lpszMenuName = found->menuIsId ? found->record.lpszMenuName
                                : found->menuName.empty() && found->record.lpszMenuName == nullptr
                                    ? nullptr
                                    : found->menuName.c_str();
    return TRUE;
}

int GetClassNameA(HWND window, LPSTR className, int maxCount) {
    std::string name;
    if (!WithWindow(window, [&](Window& w) { name = w.windowClass->name; })) return 0;
    if (className == nullptr || maxCount <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(CopyText(name, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(className)));
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
    if (className == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    EnsureQueue();
    HWND handle = nullptr;
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        auto windowClass = FindClassShared(table, instance, className);
        if (!windowClass) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        Window* parentWindow = nullptr;
        if (parent != nullptr) {
            parentWindow = Find(table, parent);
            if (parentWindow == nullptr) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        } else if ((style & WS_CHILD) != 0) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        auto window = std::make_shared<Window>();
        handle = reinterpret_cast<HWND>(table.next);
        table.next += 4;
        window->handle = handle;
        window->thread = GetCurrentThreadId();
        window->windowClass = windowClass;
        window->procedure = windowClass->record.lpfnWndProc;
        window->style = style & ~WS_VISIBLE;   // shown after creation, as ShowWindow shows it
        window->exStyle = exStyle;
        window->id = (style & WS_CHILD) != 0 ? reinterpret_cast<LONG_PTR>(menu) : 0;
        window->instance = instance;
        window->parent = parent;
        window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        window->extra.assign((static_cast<std::size_t>(windowClass->record.cbWndExtra) + 3) / 4, 0);
        table.windows.emplace(Key(handle), window);
        if (parentWindow != nullptr) parentWindow->children.push_back(handle);
    }

    CREATESTRUCTA create{parameter, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                         windowName, className, exStyle};
    if ((style & WS_CHILD) == 0) {
        MINMAXINFO limits{};
        SendMessageA(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    }
    if (SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0) {
        FreeWindow(handle);
        return nullptr;
    }
    RECT bounds{};
    GetWindowRect(handle, &bounds);
    SendMessageA(handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&bounds));
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
    std::vector<HWND> order;
    bool visible = false;
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        Window* w = Find(table, window);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->thread != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;   // a procedure destroying its window while it goes
        visible = (w->style & WS_VISIBLE) != 0;
    }
    if (visible) {
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        CollectForDestroy(table, window, order);
    }
    for (HWND handle : order) {
        if (IsWindow(handle)) SendMessageA(handle, WM_DESTROY, 0, 0);
    }
    FreeWindow(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    if (window == nullptr) return FALSE;
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    return Find(table, window) != nullptr ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if (create != nullptr && create->lpszName != nullptr) {
                std::string text = create->lpszName;
                WithWindow(window, [&](Window& w) { w.text = std::move(text); });
            }
            return TRUE;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SETTEXT: {
            std::string text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
            return WithWindow(window, [&](Window& w) { w.text = std::move(text); }) ? TRUE : FALSE;
        }
        case WM_GETTEXT:
            return CopyText(TextOf(window), wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(TextOf(window).size());
        case WM_ERASEBKGND: {
            // Windows fills with the class brush and answers whether it erased.
            HBRUSH brush = nullptr;
            WithWindow(window, [&](Window& w) { brush = w.windowClass->record.hbrBackground; });
            return brush != nullptr ? 1 : 0;
        }
        case WM_PAINT: {
            // Validates, so that a window that does not paint is not asked again and again.
            PAINTSTRUCT paint{};
            if (BeginPaint(window, &paint) != nullptr) EndPaint(window, &paint);
            return 0;
        }
        case WM_WINDOWPOSCHANGED: {
            auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (position == nullptr) return 0;
            if ((position->flags & SWP_NOCLIENTMOVE) == 0) {
                SendMessageA(window, WM_MOVE, 0, MAKELONG(static_cast<WORD>(position->x), static_cast<WORD>(position->y)));
            }
            if ((position->flags & SWP_NOCLIENTSIZE) == 0) {
                SendMessageA(window, WM_SIZE, SIZE_RESTORED,
                             MAKELONG(static_cast<WORD>(position->cx), static_cast<WORD>(position->cy)));
            }
            return 0;
        }
        default:
            return 0;   // WM_PRINT and WM_PRINTCLIENT draw nothing by default
    }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    DWORD thread = 0;
    if (!WithWindow(window, [&](Window& w) {
            procedure = w.procedure;
            thread = w.thread;
        })) {
        return 0;
    }
    RW_CHECK(thread == GetCurrentThreadId());
    return procedure(window, message, wParam, lParam);
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    LONG_PTR value = 0;
    bool valid = true;
    if (!WithWindow(window, [&](Window& w) {
            switch (index) {
                case GWLP_WNDPROC: value = reinterpret_cast<LONG_PTR>(w.procedure); break;
                case GWLP_HINSTANCE: value = reinterpret_cast<LONG_PTR>(w.instance); break;
                case GWLP_ID: value = w.id; break;
                case GWL_STYLE: value = static_cast<LONG>(w.style); break;
                case GWL_EXSTYLE: value = static_cast<LONG>(w.exStyle); break;
                case GWLP_USERDATA: value = w.userData; break;
                default:
                    if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w.extra.size()) {
                        value = w.extra[static_cast<std::size_t>(index / 4)];
                    } else {
                        valid = false;
                    }
            }
        })) {
        return 0;
    }
    if (!valid) SetLastError(ERROR_INVALID_INDEX);
    return value;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    LONG_PTR previous = 0;
    bool valid = true;
    if (!WithWindow(window, [&](Window& w) {
            switch (index) {
                case GWLP_WNDPROC:
                    previous = reinterpret_cast<LONG_PTR>(w.procedure);
                    w.procedure = reinterpret_cast<WNDPROC>(value);
                    break;
                case GWLP_HINSTANCE:
                    previous = reinterpret_cast<LONG_PTR>(w.instance);
                    w.instance = reinterpret_cast<HINSTANCE>(value);
                    break;
                case GWLP_ID: previous = std::exchange(w.id, value); break;
                case GWL_STYLE:
                    previous = static_cast<LONG>(w.style);
                    w.style = static_cast<DWORD>(value);
                    break;
                case GWL_EXSTYLE:
                    previous = static_cast<LONG>(w.exStyle);
                    w.exStyle = static_cast<DWORD>(value);
                    break;
                case GWLP_USERDATA: previous = std::exchange(w.userData, value); break;
                default:
                    if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w.extra.size()) {
                        previous = std::exchange(w.extra[static_cast<std::size_t>(index / 4)], value);
                    } else {
                        valid = false;
                    }
            }
        })) {
        return 0;
    }
    if (!valid) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return previous;
}

LONG GetWindowLongA(HWND window, int index) {
    if (index != GWL_STYLE && index != GWL_EXSTYLE && index != GWLP_ID) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    if (index != GWL_STYLE && index != GWL_EXSTYLE && index != GWLP_ID) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR wide = index == GWLP_ID ? static_cast<LONG_PTR>(value) : static_cast<LONG_PTR>(static_cast<DWORD>(value));
    return static_cast<LONG>(SetWindowLongPtrA(window, index, wide));
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (WindowThread(window) == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int maxCount) {
    DWORD thread = WindowThread(window);
    if (thread == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (text != nullptr && maxCount > 0) text[0] = '\0';
        return 0;
    }
    if (text == nullptr || maxCount <= 0) return 0;
    // The window's own thread asks its procedure; other threads read the text, as on Windows.
    if (thread == GetCurrentThreadId()) {
        return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                             reinterpret_cast<LPARAM>(text)));
    }
    return static_cast<int>(CopyText(TextOf(window), static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthA(HWND window) {
    DWORD thread = WindowThread(window);
    if (thread == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (thread == GetCurrentThreadId()) return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    return static_cast<int>(TextOf(window).size());
}

HWND GetParent(HWND window) {
    HWND parent = nullptr;
    WithWindow(window, [&](Window& w) { parent = w.parent; });
    return parent;
}

HWND GetDlgItem(HWND dialog, int id) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    Window* parent = Find(table, dialog);
    if (parent == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : parent->children) {
        if (Find(table, child)->id == id) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    int id = 0;
    WithWindow(window, [&](Window& w) { id = static_cast<int>(w.id); });
    return id;
}

}  // namespace win32
