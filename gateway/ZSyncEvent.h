// ZSyncEvent: an unnamed auto-reset event that starts non-signalled.
#pragma once

#include "gateway/ZAbstractSyncObject.h"

class ZSyncEvent : public ZAbstractSyncObject {
public:
    ZSyncEvent() { handle = CreateEventA(nullptr, FALSE, FALSE, nullptr); }
    ~ZSyncEvent() override = default;

    void Set() { SetEvent(handle); }
    void Reset() { ResetEvent(handle); }
};
