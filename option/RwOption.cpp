// RwOption: opens the tools library's settings dialog, so that the settings can be changed
// without starting the server, and ends when the dialog is closed. It reads no command line.
#include "gateway/Railwick.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    Railwick_ShowOptionDlg(nullptr);
    return 0;
}
