// The simulated shell's notification area.
//
// The shell keeps the icons of this process keyed by window and id, as Explorer does, and
// reads only the parts of a record that its size field admits. Tests click and restart it
// through platform/testing.h; people and tests in other processes follow it through the trace
// file described in shell.h. One lock guards the icons, the call record and the planned
// failures; trace lines are written under it so that they come in the order of the changes.
// Messages to windows are posted after the lock is released.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/gdi.h"
#include "platform/posix/detail/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace win32 {

namespace {

struct ShellState {
    std::mutex lock;
    std::vector<RwTestShellIcon> icons;
    std::deque<RwTestShellCall> calls;
    int failuresLeft = 0;
};

ShellState& State() {
    // Never destroyed: a thread may remove its icon while the process ends.
    static ShellState* state = new ShellState;
    return *state;
}

// Records with at least this size carry the 128-byte tip of the later versions.
constexpr DWORD kLongTipSize = offsetof(NOTIFYICONDATAA, dwState);
constexpr UINT kKnownFields = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// Tests read the most recent calls; a long-running program must not grow without bound.
constexpr std::size_t kCallLimit = 10000;

// The caller holds the lock.
RwTestShellIcon* Find(ShellState& state, HWND window, UINT id) {
    for (RwTestShellIcon& icon : state.icons) {
        if (icon.window == window && icon.id == id) return &icon;
    }
    return nullptr;
}

std::string PictureName(HICON picture) {
    if (picture == nullptr) return "none";
    detail::PictureOrigin origin{};
    if (!detail::DescribePicture(picture, origin)) return "unknown";
    return std::to_string(origin.resourceId);
}

// One line of the trace file, when RW_SHELL_TRACE names one. Opened for each line, so that the
// file may be moved or removed between changes and each line reaches it at once.
void Trace(const std::string& line) {
    const char* path = std::getenv("RW_SHELL_TRACE");
    if (path == nullptr || path[0] == '\0') return;
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) return;
    std::fputs((line + "\n").c_str(), file);
    std::fclose(file);
}

std::string TraceFields(UINT flags, const std::string& tip, HICON picture) {
    std::string fields;
    if ((flags & NIF_TIP) != 0) {
        std::string shown = detail::AnsiToUtf8(tip);
        for (char& c : shown) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        fields += " tip=" + shown;
    }
    if ((flags & NIF_ICON) != 0) fields += " icon=" + PictureName(picture);
    return fields;
}

// The caller holds the lock. Returns FALSE with the last error set when the shell refuses.
BOOL Apply(ShellState& state, DWORD message, const NOTIFYICONDATAA& data, const std::string& tip) {
    RwTestShellIcon* icon = Find(state, data.hWnd, data.uID);
    const std::string id = std::to_string(data.uID);
    switch (message) {
        case NIM_ADD:
            if (icon != nullptr) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return FALSE;
            }
            state.icons.push_back({data.hWnd, data.uID, 0, 0, nullptr, {}});
            icon = &state.icons.back();
            break;
        case NIM_MODIFY:
            if (icon == nullptr) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            break;
        case NIM_DELETE:
            if (icon == nullptr) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            state.icons.erase(state.icons.begin() + (icon - state.icons.data()));
            Trace("delete " + id);
            return TRUE;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    // Only the fields that uFlags names are taken.
    if ((data.uFlags & NIF_MESSAGE) != 0) icon->callbackMessage = data.uCallbackMessage;
    if ((data.uFlags & NIF_ICON) != 0) icon->icon = data.hIcon;
    if ((data.uFlags & NIF_TIP) != 0) icon->tip = tip;
    icon->flags |= data.uFlags & kKnownFields;
    Trace((message == NIM_ADD ? "add " : "modify ") + id + TraceFields(data.uFlags, tip, data.hIcon));
    return TRUE;
}

}  // namespace

BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ShellState& state = State();
    std::lock_guard guard(state.lock);
    if (state.calls.size() == kCallLimit) state.calls.pop_front();
    RwTestShellCall& call = state.calls.emplace_back(RwTestShellCall{message, nullptr, 0, 0, FALSE});
    if (data->cbSize < NotifyIconDataV1Size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Copy only what the record's size admits; the rest of the caller's record is never read.
    NOTIFYICONDATAA admitted{};
    std::memcpy(&admitted, data, offsetof(NOTIFYICONDATAA, szTip));
    const std::size_t tipSize = data->cbSize >= kLongTipSize ? sizeof data->szTip : NotifyIconDataV1Size - offsetof(NOTIFYICONDATAA, szTip);
    // A tip that fills its field without a NUL is taken whole.
    const std::string tip(data->szTip, strnlen(data->szTip, tipSize));
    call.window = admitted.hWnd;
    call.id = admitted.uID;
    call.flags = admitted.uFlags;
    if (state.failuresLeft > 0) {
        --state.failuresLeft;
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    call.result = Apply(state, message, admitted, tip);
    return call.result;
}

}  // namespace win32

std::vector<RwTestShellIcon> RwTestShellIcons() {
    win32::ShellState& state = win32::State();
    std::lock_guard guard(state.lock);
    return state.icons;
}

std::vector<RwTestShellCall> RwTestShellCalls() {
    win32::ShellState& state = win32::State();
    std::lock_guard guard(state.lock);
    return {state.calls.begin(), state.calls.end()};
}

bool RwTestClickShellIcon(win32::HWND window, win32::UINT id, win32::UINT mouseMessage) {
    win32::UINT callback = 0;
    {
        win32::ShellState& state = win32::State();
        std::lock_guard guard(state.lock);
        const RwTestShellIcon* icon = win32::Find(state, window, id);
        if (icon == nullptr || (icon->flags & win32::NIF_MESSAGE) == 0) return false;
        callback = icon->callbackMessage;
    }
    return win32::PostMessageA(window, callback, id, static_cast<win32::LPARAM>(mouseMessage)) != win32::FALSE;
}

void RwTestRestartShell() {
    {
        win32::ShellState& state = win32::State();
        std::lock_guard guard(state.lock);
        state.icons.clear();
        win32::Trace("restart");
    }
    const win32::UINT taskbarCreated = win32::RegisterWindowMessageA("TaskbarCreated");
    for (win32::HWND window : win32::detail::TopLevelWindows()) win32::PostMessageA(window, taskbarCreated, 0, 0);
}

void RwTestFailShellCalls(int count) {
    win32::ShellState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.failuresLeft = count;
}

void RwTestResetShell() {
    win32::ShellState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.icons.clear();
    state.calls.clear();
    state.failuresLeft = 0;
}
