// ZMutex: creating, closing and releasing a named mutex.
#include "framework/ZMutex.h"

ZMutex::~ZMutex() {
    if (IsValid()) ReleaseMutex(handle);
}

bool ZMutex::Create(const char* name, bool initiallyOwned, LPSECURITY_ATTRIBUTES security) {
    if (IsValid()) return false;
    return Attach(CreateMutexA(security, initiallyOwned ? TRUE : FALSE, name));
}

bool ZMutex::Close() {
    if (handle == nullptr) return true;
    // A handle closed before (INVALID_HANDLE_VALUE) is not handed to CloseHandle again.
    if (IsValid()) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    return true;
}
