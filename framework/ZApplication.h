// ZApplication: the one application object of a process, with the program's entry point, the
// main-thread message loop, message boxes, the single-instance check and the application name.
#pragma once

#include "framework/ZModule.h"
#include "framework/ZMutex.h"
#include "framework/ZString.h"
#include "platform/win32.h"

#include <vector>

class ZWnd;

// The program's entry point. Without an application object it shows "No ZApplication exists!"
// and returns 0; otherwise it runs InitInstance and then Run, whose result is the exit code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// Exactly one exists per process, a statically constructed object of a derived class; a second
// one makes the constructor throw std::logic_error. The object holds the program's own module
// handle, which only the constructor and the entry point set.
class ZApplication : public ZModule {
public:
    ZApplication();
    // Releases and closes the instance mutex if this process holds it.
    ~ZApplication() override;

    // Always false: the module handle is the program's own and is not attached from outside.
    bool Attach(HINSTANCE instance) override;

    // The program's startup; false ends the program at once with exit code 0.
    virtual bool InitInstance() = 0;
    // The exit code of the program: the one Run stored.
    virtual int ExitInstance();
    // Idle work while the queue is empty; idleCount counts the calls since the last message.
    // True asks for another call.
    virtual bool OnIdle(int idleCount);
    // A look at each message before it is dispatched; true keeps it from being dispatched.
    virtual bool PreTranslateMessage(MSG* message);

    // The main-thread message loop; returns ExitInstance. Without a main window it returns at
    // once, without touching the queue.
    int Run();

    // True when another process holds the named mutex, or when the test itself failed (after
    // a message box). The first answer is remembered while this process holds the mutex.
    bool CheckPrevInstance(const char* mutexName);
    // Sets the name to the string-table entry of the program's own module, cut at its first
    // line feed; a missing or empty entry keeps the name. Always true.
    bool LoadAppName(UINT id);

    // The main window, not owned; null for none. While it is set, message boxes are owned by it
    // and Run loops until the quit message.
    void SetMainWindow(ZWnd* window) { mainWindow = window; }
    ZWnd* GetMainWindow() const { return mainWindow; }
    // Windows, not owned, that the loop asks for idle work in the order they were added. A
    // window added twice is asked twice; removing takes out every entry of it.
    void AddIdleWindow(ZWnd* window);
    void RemoveIdleWindow(ZWnd* window);

protected:
    ZWnd* mainWindow = nullptr;
    ZString helpPath;
    ZString appName;
    ZMutex instanceMutex;
    int exitCode = 0;
    std::vector<ZWnd*> idleWindows;

private:
    friend int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);
    friend void SetAppName(const char* name);
    friend ZString GetAppName();
    friend ZString GetHelpPath();

    // One idle step of Run: OnIdle, then every idle window; true when any asks for more.
    bool DoIdle(int idleCount);
};

// The application object; null only before it is constructed.
ZApplication* GetApp();

// These act on the application object; calling them without one is a programming error
// (std::logic_error).
void SetAppName(const char* name);
// Copies, which callers may keep or change.
ZString GetAppName();
ZString GetHelpPath();

// A message box with the application name as caption, owned by the main window if there is one;
// a null text shows an empty box. MB_TASKMODAL and MB_SETFOREGROUND are always added to the
// flags. Returns the id of the button pressed.
int ShowMessage(const char* text, UINT flags);
// A warning box (MB_ICONEXCLAMATION) with the string-table entry as text, empty when it is
// missing.
int ShowResourceMessage(UINT id);

// The registered window message "MSWHEEL_ROLLMSG" on Windows 95, where the wheel arrives as a
// message of its own; 0 on every other system.
extern UINT g_mouseWheelMessage;
// The remembered answer of CheckPrevInstance; false at start.
extern bool g_prevInstanceFound;
