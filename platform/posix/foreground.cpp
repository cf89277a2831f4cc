// Foreground, activation and help as recorded process state, and the window manager's test
// interface. Nothing here sends a message: there is no other program whose windows could take
// the foreground, so the calls only leave their trace for tests.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/window_manager.h"
#include "platform/posix/detail/windows.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace win32::detail {

namespace {

struct ForegroundState {
    std::mutex lock;
    HWND foreground = nullptr;
    HWND active = nullptr;
    std::vector<RwTestWinHelpCall> help;
    std::vector<RwTestAttachCall> attach;
    std::vector<DWORD> allowed;
    std::vector<HWND> broughtToTop;
};

ForegroundState& State() {
    static ForegroundState* state = new ForegroundState;   // never destroyed, as the window table
    return *state;
}

std::atomic<bool> g_allowAbsent{false};

}  // namespace

void ForgetInputState(HWND window) {
    ForegroundState& state = State();
    std::lock_guard guard(state.lock);
    if (state.foreground == window) state.foreground = nullptr;
    if (state.active == window) state.active = nullptr;
}

bool AllowSetForegroundWindowAvailable() { return !g_allowAbsent.load(); }

}  // namespace win32::detail

namespace win32 {

using detail::State;

HWND GetForegroundWindow() {
    std::lock_guard guard(State().lock);
    return State().foreground;
}

BOOL SetForegroundWindow(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard guard(State().lock);
    State().foreground = window;
    State().active = window;
    return TRUE;
}

BOOL BringWindowToTop(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard guard(State().lock);
    State().broughtToTop.push_back(window);
    return TRUE;
}

HWND SetActiveWindow(HWND window) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::lock_guard guard(State().lock);
    return std::exchange(State().active, window);
}

BOOL AttachThreadInput(DWORD attach, DWORD attachTo, BOOL doAttach) {
    std::lock_guard guard(State().lock);
    State().attach.push_back(RwTestAttachCall{attach, attachTo, doAttach != FALSE});
    return TRUE;
}

BOOL AllowSetForegroundWindow(DWORD processId) {
    std::lock_guard guard(State().lock);
    State().allowed.push_back(processId);
    return TRUE;
}

BOOL WinHelpA(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data) {
    std::lock_guard guard(State().lock);
    State().help.push_back(RwTestWinHelpCall{window, helpFile != nullptr ? helpFile : "", command, data});
    return TRUE;
}

}  // namespace win32

std::vector<RwTestWinHelpCall> RwTestWinHelpCalls() {
    std::lock_guard guard(win32::detail::State().lock);
    return win32::detail::State().help;
}

std::vector<RwTestAttachCall> RwTestAttachThreadInputCalls() {
    std::lock_guard guard(win32::detail::State().lock);
    return win32::detail::State().attach;
}

std::vector<win32::DWORD> RwTestAllowSetForegroundWindowCalls() {
    std::lock_guard guard(win32::detail::State().lock);
    return win32::detail::State().allowed;
}

std::vector<win32::HWND> RwTestBroughtToTop() {
    std::lock_guard guard(win32::detail::State().lock);
    return win32::detail::State().broughtToTop;
}

win32::HWND RwTestActiveWindow() {
    std::lock_guard guard(win32::detail::State().lock);
    return win32::detail::State().active;
}

bool RwTestIsTopmost(win32::HWND window) { return win32::detail::IsTopmost(window); }

void RwTestSetAllowSetForegroundWindowAbsent(bool absent) { win32::detail::g_allowAbsent.store(absent); }

void RwTestClearWindowRecords() {
    auto& state = win32::detail::State();
    {
        std::lock_guard guard(state.lock);
        state.foreground = nullptr;
        state.active = nullptr;
        state.help.clear();
        state.attach.clear();
        state.allowed.clear();
        state.broughtToTop.clear();
    }
    win32::detail::g_allowAbsent.store(false);
}
