// ZMutex: a named mutex of the system, used for the single-instance check.
#pragma once

#include "framework/ZWinHandle.h"
#include "platform/win32.h"

class ZMutex : public ZWinHandle {
public:
    ZMutex() = default;
    // Releases the mutex if a handle is held; it does not close the handle (the owner calls
    // Close first).
    ~ZMutex() override;

    // False without a system call when a handle is held already. CreateMutexA is the last
    // system call, so its last error (ERROR_ALREADY_EXISTS) is still there for the caller.
    bool Create(const char* name, bool initiallyOwned, LPSECURITY_ATTRIBUTES security);
    // Closes the handle and leaves INVALID_HANDLE_VALUE.
    bool Close() override;
};
