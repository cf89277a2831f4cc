// ZSyncMutex: an unnamed mutex that starts unowned.
#pragma once

#include "gateway/ZAbstractSyncObject.h"

class ZSyncMutex : public ZAbstractSyncObject {
public:
    ZSyncMutex() { handle = CreateMutexA(nullptr, FALSE, nullptr); }
    ~ZSyncMutex() override = default;

    bool Lock() { return Wait(INFINITE); }
    void Unlock() { ReleaseMutex(handle); }
};
