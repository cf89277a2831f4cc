// ZTrayWnd: a window that owns one icon in the notification area of the taskbar, brings it
// back when the shell restarts, and shows popup menus at the cursor.
#pragma once

#include "framework/ZString.h"
#include "window/ZWnd.h"

// The icon is added with AddTrayIcon and removed before OnDestroy runs. While it is present,
// every "TaskbarCreated" adds it again with the values AddTrayIcon stored.
class ZTrayWnd : public ZWnd {
public:
    ZTrayWnd();
    // Leaves the icon alone: the window's destruction removes it.
    ~ZTrayWnd() override = default;

    // Turns the shell's restart announcement and the icon's callback message into
    // OnTaskbarCreated and OnTrayNotify; removes the icon before WM_DESTROY is dispatched.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Called when the shell's taskbar was created again; the default adds the icon again.
    virtual void OnTaskbarCreated();
    // Called for the icon's callback message: wParam is the icon's identifier, lParam the
    // mouse or keyboard message of the event.
    virtual void OnTrayNotify(WPARAM wParam, LPARAM lParam);

    // False without a window or while an icon is present, without calling the shell. The values
    // are kept also when the shell refuses, so that the icon counts as present.
    bool AddTrayIcon(UINT id, UINT callbackMessage, HICON picture, const char* tooltip);
    // Id 0 stands for the present icon; a null picture or tooltip keeps the shown one. The
    // values stored by AddTrayIcon do not change.
    bool ModifyTrayIcon(UINT id, HICON picture, const char* tooltip);
    // A failed removal leaves the icon counted as present.
    bool DeleteTrayIcon(UINT id);
    // Makes the window the foreground window and tracks the menu at the cursor; the chosen
    // command arrives as WM_COMMAND.
    bool ShowPopupMenu(HMENU menu, UINT flags);

protected:
    UINT callbackMessage = 0;
    UINT iconId = 0;
    ZString tooltip;
    HICON iconPicture = nullptr;
    UINT taskbarCreatedMessage = 0;

private:
    bool NotifyShell(DWORD command, UINT id, UINT flags, UINT callback, HICON picture, const char* tip);
};
