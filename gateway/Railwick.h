// The tools library's four calls, bound at load time by RwServer and RwOption: the settings
// file's location and the modal dialogs that edit the settings and show the version.
#pragma once

#include "platform/win32.h"

extern "C" {

// Leaves the settings file's full path in the buffer, always NUL-terminated and cut to size - 1.
int WINAPI Railwick_GetSettingFile(char* buffer, int size);
// Modal; non-zero once the confirmed ComPort, TCPPort and DontShowDlgNext are in section "Server".
int WINAPI Railwick_ShowServerOptionDlg(HWND owner);
// Modal; shows the name and the module's version text, returns when it is closed.
int WINAPI Railwick_VersionDialog(HWND owner, HINSTANCE module, const char* name, HICON icon, int reserved);
// Modal; the same settings editor as the server's dialog, for RwOption.
int WINAPI Railwick_ShowOptionDlg(HWND owner);

}
