// Making a window the foreground window on systems with foreground locks.
#include "window/ForceForegroundWindow.h"

#include "framework/Version.h"

namespace {

typedef BOOL(WINAPI* AllowSetForegroundWindowProc)(DWORD);

}  // namespace

bool ForceForegroundWindow(HWND window, bool bringToTop, bool activate, bool topmost) {
    HMODULE user32 = GetModuleHandleA("User32.dll");
    bool loaded = false;
    if (user32 == nullptr) {
        user32 = LoadLibraryA("User32.dll");
        loaded = user32 != nullptr;
    }

    // Windows 98 and Windows 2000 let only the foreground thread hand the foreground on. Sharing
    // that thread's input state for the span of the calls makes this thread count as it.
    bool attached = false;
    DWORD foregroundThread = 0;
    if (IsWindows98OrMe() || IsWindows2000OrLater()) {
        HWND foreground = GetForegroundWindow();
        if (foreground != nullptr) {
            foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
            AttachThreadInput(GetCurrentThreadId(), foregroundThread, TRUE);
            // Windows 98 and Windows 2000 have AllowSetForegroundWindow; older systems lack it.
            if (user32 != nullptr) {
                auto allow = reinterpret_cast<AllowSetForegroundWindowProc>(
                    reinterpret_cast<void*>(GetProcAddress(user32, "AllowSetForegroundWindow")));
                if (allow != nullptr) allow(GetCurrentProcessId());
            }
            attached = true;
        }
    }

    const bool result = SetForegroundWindow(window) != FALSE;
    if (bringToTop) BringWindowToTop(window);
    if (activate) SetActiveWindow(window);
    if (topmost) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (attached) AttachThreadInput(GetCurrentThreadId(), foregroundThread, FALSE);
    if (loaded) FreeLibrary(user32);
    return result;
}
