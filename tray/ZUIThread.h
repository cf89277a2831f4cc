// ZUIThread: the user-interface thread. It creates the hidden main window with the tray icon
// and runs that window's message loop; when the window is destroyed it ends the process.
#pragma once

#include "framework/ZThread.h"
#include "tray/ZMainWnd.h"

// Threads: constructed during static initialisation, started by the main thread once the
// gateway serves, and from then on the only thread that touches the window. The main thread
// reaches the window only through CloseWindow, which posts to it after the creation is over
// (the ready event orders the creation before the post).
class ZUIThread : public ZThread {
public:
    ZUIThread();
    ~ZUIThread() override;

    // Asks the window to close on its own thread, whose exit path then removes the icon and ends
    // the process before this returns. True at once when the thread is not running (never
    // started, or the window could not be created); false when the time ran out.
    bool CloseWindow(DWORD timeout);

    // Dispatches the calling thread's messages until the quit message, freeing after each one
    // the temporary wrappers made for it.
    static void RunMessageLoop();

protected:
    DWORD Run(DWORD parameter) override;

private:
    ZMainWnd mainWnd;
    // Manual-reset; set once the window's creation is over, whether it succeeded or not.
    HANDLE windowReady;
    // The window's handle as the creation left it, for CloseWindow; written before windowReady is
    // set and never again.
    HWND createdWindow = nullptr;
};
