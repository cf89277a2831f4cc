// ZAbstractSyncObject: owner of one kernel synchronisation handle, the base of ZSyncEvent and
// ZSyncMutex.
#pragma once

#include "platform/win32.h"

class ZAbstractSyncObject {
public:
    ZAbstractSyncObject() = default;
    virtual ~ZAbstractSyncObject();
    ZAbstractSyncObject(const ZAbstractSyncObject&) = delete;
    ZAbstractSyncObject& operator=(const ZAbstractSyncObject&) = delete;

    // True only when the object was signalled or acquired within the time-out. A time-out, an
    // abandoned mutex and a failed wait (the object could not be created) give false.
    bool Wait(DWORD milliseconds);

protected:
    HANDLE handle = nullptr;
};
