// ZMainWnd: RwServer's hidden main window. It owns the notification icon, shows the gateway's
// activity by the icon's picture every 100 ms, and offers the connection settings, the version
// information and exit in the icon's popup menu.
#pragma once

#include "window/ZMenu.h"
#include "window/ZTrayWnd.h"

// The COM port and TCP port the server uses, for the tooltip; written by start-up before the
// user-interface thread starts, only read afterwards.
extern int g_comPort;
extern int g_tcpPort;
// The activity picture last handed to the shell; user-interface thread only.
extern int g_currentIconId;

class ZMainWnd : public ZTrayWnd {
public:
    static constexpr UINT TrayIconId = 101;
    static constexpr UINT TrayCallbackMessage = WM_APP + 1;
    static constexpr UINT_PTR ActivityTimerId = 101;
    static constexpr UINT ActivityTimerPeriod = 100;

    // Menu commands.
    static constexpr UINT CmdExit = 40001;
    static constexpr UINT CmdVersion = 40004;
    static constexpr UINT CmdConnectionSettings = 40008;

    // Resources.
    static constexpr UINT PopupMenuId = 101;
    static constexpr UINT ProgramIconId = 101;
    static constexpr UINT TooltipStringId = 109;
    static constexpr UINT SettingsChangedStringId = 107;
    // Activity pictures: both directions, sent only, not yet known, received only, neither.
    static constexpr int IconBoth = 104;
    static constexpr int IconUnknown = 105;
    static constexpr int IconSent = 106;
    static constexpr int IconReceived = 107;
    static constexpr int IconIdle = 108;

    // Loads the popup menu; runs during static initialisation, after the application object
    // has set the resource handle.
    ZMainWnd();
    ~ZMainWnd() override;

    // True while a tools-library dialog or the message after the settings dialog is open.
    bool IsDialogOpen() const { return dialogOpen; }

protected:
    // WM_CREATE: adds the icon with its tooltip and starts the activity timer; false (the
    // creation fails) when the shell refuses the icon.
    bool OnCreate(CREATESTRUCTA* create) override;
    // WM_COMMAND: the popup menu's commands.
    void OnCommand(UINT id, UINT code) override;
    // WM_TIMER: the activity timer's tick changes the picture.
    void OnTimer(UINT_PTR id) override;
    // WM_DESTROY: ends the user-interface thread's loop; the icon is already gone.
    void OnDestroy() override;
    // The icon's callback message: a button release opens the popup menu.
    void OnTrayNotify(WPARAM wParam, LPARAM lParam) override;

private:
    // The picture for what happened since the last tick, clearing both flags.
    static int TakeActivityPicture();
    static HICON LoadActivityPicture(int id);
    void ShowVersion();
    void ShowConnectionSettings();

    ZMenu popupMenu;
    bool dialogOpen = false;
};
