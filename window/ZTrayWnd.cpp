// The notification-area window: its icon, the shell's restart announcement and popup menus.
#include "window/ZTrayWnd.h"

#include "window/ForceForegroundWindow.h"

#include <cstring>

namespace {

// The shell reads the record's first version, whose tip field holds 64 bytes with the
// terminator.
constexpr int ShellTipSize = 64;

// Copies as much of the text as fits the first version's tip field with its terminator,
// cutting before a double-byte character rather than between its two bytes.
void CopyTip(char* field, const char* text) {
    const int length = static_cast<int>(std::strlen(text));
    int kept = 0;
    while (kept < length) {
        const int step = IsDBCSLeadByte(static_cast<BYTE>(text[kept])) && kept + 1 < length ? 2 : 1;
        if (kept + step > ShellTipSize - 1) break;
        kept += step;
    }
    std::memcpy(field, text, static_cast<std::size_t>(kept));
    field[kept] = '\0';
}

}  // namespace

ZTrayWnd::ZTrayWnd() : taskbarCreatedMessage(RegisterWindowMessageA("TaskbarCreated")) {}

bool ZTrayWnd::NotifyShell(DWORD command, UINT id, UINT flags, UINT callback, HICON picture, const char* tip) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NotifyIconDataV1Size;
    data.hWnd = handle;
    data.uID = id;
    data.uFlags = flags;
    data.uCallbackMessage = callback;
    data.hIcon = picture;
    if (tip != nullptr) CopyTip(data.szTip, tip);
    return Shell_NotifyIconA(command, &data) != FALSE;
}

bool ZTrayWnd::AddTrayIcon(UINT id, UINT callback, HICON picture, const char* tip) {
    if (handle == nullptr || iconId != 0) return false;
    iconId = id;
    callbackMessage = callback;
    tooltip = tip;
    iconPicture = picture;
    return NotifyShell(NIM_ADD, iconId, NIF_MESSAGE | NIF_ICON | NIF_TIP, callbackMessage, iconPicture, tooltip);
}

bool ZTrayWnd::ModifyTrayIcon(UINT id, HICON picture, const char* tip) {
    if (handle == nullptr || iconId == 0) return false;
    if (id == 0) id = iconId;
    UINT flags = 0;
    if (picture != nullptr) flags |= NIF_ICON;
    if (tip != nullptr) flags |= NIF_TIP;
    return NotifyShell(NIM_MODIFY, id, flags, 0, picture, tip);
}

bool ZTrayWnd::DeleteTrayIcon(UINT id) {
    if (handle == nullptr || iconId == 0) return false;
    if (!NotifyShell(NIM_DELETE, id, 0, 0, nullptr, nullptr)) return false;
    iconId = 0;
    return true;
}

void ZTrayWnd::OnTaskbarCreated() {
    if (iconId == 0) return;
    NotifyShell(NIM_ADD, iconId, NIF_MESSAGE | NIF_ICON | NIF_TIP, callbackMessage, iconPicture, tooltip);
}

void ZTrayWnd::OnTrayNotify(WPARAM, LPARAM) {}

LRESULT ZTrayWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreatedMessage) {
        OnTaskbarCreated();
        return 0;
    }
    // Until an icon was added the callback message is 0, which is WM_NULL: that one stays with
    // the dispatcher.
    if (callbackMessage != 0 && message == callbackMessage) {
        OnTrayNotify(wParam, lParam);
        return 0;
    }
    if (message == WM_DESTROY && iconId != 0) DeleteTrayIcon(iconId);
    return ZWnd::WindowProc(message, wParam, lParam);
}

bool ZTrayWnd::ShowPopupMenu(HMENU menu, UINT flags) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ForceForegroundWindow(handle, true, true, false);
    return TrackPopupMenu(menu, flags, cursor.x, cursor.y, 0, handle, nullptr) != FALSE;
}
