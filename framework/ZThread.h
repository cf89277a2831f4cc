// ZThread: a thread of the class library, started through the C run-time and run by Run.
#pragma once

#include "framework/ZWinHandle.h"
#include "platform/win32.h"

// Start runs Run (then OnExit) on a new thread. The object holds the thread's handle, id and
// start parameter; closing the handle or destroying the object neither waits for the thread nor
// stops it, so the owner lets the thread end (Run returns) before the object goes.
class ZThread : public ZWinHandle {
public:
    ZThread() = default;
    ~ZThread() override;

    // Stores the parameter, then creates the thread with the given creation flags; true when a
    // thread handle came back. Does not check whether a thread was started before.
    bool Start(DWORD parameter, unsigned creationFlags);
    // Closes the handle if there is one and sets handle, id and parameter to 0.
    bool Close() override;

    DWORD GetThreadId() const { return threadId; }
    DWORD GetStartParameter() const { return startParameter; }

protected:
    // The thread body; its result becomes the thread's exit code.
    virtual DWORD Run(DWORD parameter) = 0;
    // Called on the thread after Run.
    virtual void OnExit() {}

private:
    static unsigned __stdcall ThreadEntry(void* start);

    DWORD threadId = 0;
    DWORD startParameter = 0;
};
