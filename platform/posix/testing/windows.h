// Test interface of the window manager. Included through platform/testing.h only.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

struct RwTestWinHelpCall {
    win32::HWND window;
    std::string helpFile;
    win32::UINT command;
    win32::ULONG_PTR data;
};

struct RwTestAttachCall {
    win32::DWORD attach;
    win32::DWORD attachTo;
    bool doAttach;
};

// The calls recorded since the last RwTestClearWindowRecords, oldest first.
std::vector<RwTestWinHelpCall> RwTestWinHelpCalls();
std::vector<RwTestAttachCall> RwTestAttachThreadInputCalls();
std::vector<win32::DWORD> RwTestAllowSetForegroundWindowCalls();   // the process ids passed
// Windows passed to BringWindowToTop.
std::vector<win32::HWND> RwTestBroughtToTop();
// The active window that SetActiveWindow or SetForegroundWindow left; the foreground window is
// GetForegroundWindow.
win32::HWND RwTestActiveWindow();
// Whether SetWindowPos made the window topmost.
bool RwTestIsTopmost(win32::HWND window);
// Makes AllowSetForegroundWindow absent for GetProcAddress, as on systems before Windows 2000.
void RwTestSetAllowSetForegroundWindowAbsent(bool absent);
// Clears the recorded calls, the foreground and active windows and the absence above.
void RwTestClearWindowRecords();
