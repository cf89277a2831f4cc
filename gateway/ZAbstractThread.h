// ZAbstractThread: the base of the gateway's worker threads (client connections, the TCP
// listener). One thread per object at a time; Run is the thread body.
//
// Threads are never killed from outside. An owner that destroys a running thread object first
// wakes the blocking call of its Run (the derived class knows how: shut its socket down) and
// then joins it with WaitForRun, from the derived destructor, so that Run never sees a
// half-destroyed object. A thread object may also destroy itself from inside its own Run; after
// that nothing on that thread touches the object again.
#pragma once

#include "platform/win32.h"

#include <atomic>

class ZAbstractThread {
public:
    ZAbstractThread() = default;
    // Joins a thread that still runs; on the object's own thread, only releases the handle.
    virtual ~ZAbstractThread();
    ZAbstractThread(const ZAbstractThread&) = delete;
    ZAbstractThread& operator=(const ZAbstractThread&) = delete;

    // False when a thread of this object still runs, or when no thread could be created.
    bool Start();

protected:
    virtual void Run() = 0;
    // Waits until Run has returned (at once when no thread runs). Not on the object's own thread.
    void WaitForRun();

private:
    static DWORD WINAPI ThreadEntry(LPVOID self);

    // Null until Start succeeds, null again once Run has returned. Whoever takes the handle out
    // (the ending thread or the joining owner) closes it.
    std::atomic<HANDLE> threadHandle{nullptr};
    // Keeps the new thread from running before Start has finished with the object.
    HANDLE startGate = nullptr;
};
