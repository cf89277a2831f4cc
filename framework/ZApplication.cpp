// ZApplication: construction, the entry point, the main-thread message loop, message boxes, the
// single-instance check and the application name.
//
// The object is built during static construction, before any second thread exists; the
// application pointer and the name are written then or by the startup on the main thread and
// only read afterwards. Message boxes run on whichever thread asks for one.
#include "framework/ZApplication.h"

#include "framework/ModuleHandles.h"
#include "framework/Paths.h"
#include "framework/Temporaries.h"
#include "framework/Version.h"
#include "window/ZWnd.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

UINT g_mouseWheelMessage = 0;
bool g_prevInstanceFound = false;

namespace {

ZApplication* g_application = nullptr;

constexpr UINT ShowMessageFlags = MB_TASKMODAL | MB_SETFOREGROUND;

ZApplication& TheApp() {
    if (g_application == nullptr) throw std::logic_error("no ZApplication exists");
    return *g_application;
}

// The class library's dialog windows all have the system's dialog class; asking the window's
// class tells a dialog without needing the object's type.
bool IsDialogWindow(HWND window) {
    char className[16] = {};
    return GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "#32770") == 0;
}

// Ends the text at its first line feed. The scan steps over double-byte characters whole, so
// the second byte of one is never taken for a line feed, and a lead byte right before the NUL
// ends it.
void CutAtLineFeed(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
            if (p[1] == '\0') return;
            ++p;
        } else if (*p == '\n') {
            *p = '\0';
            return;
        }
    }
}

}  // namespace

ZApplication::ZApplication() {
    if (g_application != nullptr) throw std::logic_error("a second ZApplication was constructed");
    g_application = this;
    if (IsWindows95()) g_mouseWheelMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
    handle = GetModuleHandleA(nullptr);
    SetModuleHandles(handle);
    SetResourceHandle(handle);
    appName = "Application";
    // The help file is named after the program file, without its directory: RwServer.exe gives
    // RwServer.hlp, a name without extension gets ".hlp" appended.
    ZString path = GetFileName();
    char name[MAX_PATH + 8] = {};
    lstrcpynA(name, FindFileName(path), MAX_PATH);
    RenameExtension(name, ".hlp");
    helpPath = name;
}

ZApplication::~ZApplication() {
    if (instanceMutex.IsValid()) {
        ReleaseMutex(instanceMutex.GetHandle());
        instanceMutex.Close();
    }
}

bool ZApplication::Attach(HINSTANCE) { return false; }

int ZApplication::ExitInstance() { return exitCode; }

bool ZApplication::OnIdle(int) { return false; }

bool ZApplication::PreTranslateMessage(MSG*) { return false; }

void ZApplication::AddIdleWindow(ZWnd* window) { idleWindows.push_back(window); }

void ZApplication::RemoveIdleWindow(ZWnd* window) { std::erase(idleWindows, window); }

bool ZApplication::DoIdle(int idleCount) {
    bool more = OnIdle(idleCount);
    // Every window is asked, also after one has asked for more. The copy lets a window's idle
    // work add or remove idle windows.
    const std::vector<ZWnd*> windows = idleWindows;
    for (ZWnd* window : windows) {
        if (window->OnIdle()) more = true;
    }
    return more;
}

int ZApplication::Run() {
    MSG message = {};
    bool idle = true;
    int idleCount = 0;
    if (mainWindow == nullptr || mainWindow->GetHandle() == nullptr) {
        FlushTemporaries();
        exitCode = 0;
        return ExitInstance();
    }
    const bool dialog = IsDialogWindow(mainWindow->GetHandle());
    for (;;) {
        // Peek first, so that idle work runs only while the queue is empty.
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) {
                exitCode = static_cast<int>(message.wParam);
                return ExitInstance();
            }
            if (!PreTranslateMessage(&message) &&
                !(dialog && IsDialogMessageA(mainWindow->GetHandle(), &message))) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            idle = true;
            idleCount = 0;
        } else if (idle) {
            idle = DoIdle(idleCount);
            // The count stops at its top instead of overflowing when idle work never ends.
            if (idleCount < INT_MAX) ++idleCount;
        } else {
            WaitMessage();
        }
        FlushTemporaries();
    }
}

bool ZApplication::CheckPrevInstance(const char* mutexName) {
    if (instanceMutex.IsValid()) return g_prevInstanceFound;
    if (!instanceMutex.Create(mutexName, false, nullptr)) {
        ShowMessage("ZApplication::CheckPrevInstance() failed...", MB_ICONHAND);
        return true;
    }
    // Read at once: Create makes no system call after CreateMutexA.
    const DWORD error = GetLastError();
    g_prevInstanceFound = false;
    if (error == ERROR_ALREADY_EXISTS) {
        instanceMutex.Close();
        g_prevInstanceFound = true;
    }
    return g_prevInstanceFound;
}

bool ZApplication::LoadAppName(UINT id) {
    char name[1024];
    if (LoadStringA(handle, id, name, sizeof name) > 0) {
        CutAtLineFeed(name);
        SetAppName(name);
    }
    return true;
}

ZApplication* GetApp() { return g_application; }

void SetAppName(const char* name) { TheApp().appName = name; }

ZString GetAppName() { return TheApp().appName; }

ZString GetHelpPath() { return TheApp().helpPath; }

int ShowMessage(const char* text, UINT flags) {
    ZApplication& app = TheApp();
    if (text == nullptr) text = "";
    flags |= ShowMessageFlags;
    // The main window's box takes the application name as caption and the window as owner.
    if (ZWnd* main = app.GetMainWindow()) return main->MessageBox(text, flags, nullptr);
    return MessageBoxA(nullptr, text, GetAppName(), flags);
}

int ShowResourceMessage(UINT id) { return ShowMessage(ZString(id), MB_ICONEXCLAMATION); }

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ZApplication* app = GetApp();
    if (app == nullptr) {
        MessageBoxA(nullptr, "No ZApplication exists!", "VoDE Error", MB_ICONHAND);
        return 0;
    }
    app->handle = instance;
    SetModuleHandles(instance);
    SetResourceHandle(instance);
    if (!app->InitInstance()) return 0;
    return app->Run();
}
