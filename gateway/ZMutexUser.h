// ZMutexUser: holds a ZSyncMutex locked for its own lifetime.
#pragma once

#include "gateway/ZSyncMutex.h"

class ZMutexUser {
public:
    // The result of Lock is not looked at: construction always completes.
    explicit ZMutexUser(ZSyncMutex& mutex) : mutex(mutex) { mutex.Lock(); }
    virtual ~ZMutexUser() { mutex.Unlock(); }
    ZMutexUser(const ZMutexUser&) = delete;
    ZMutexUser& operator=(const ZMutexUser&) = delete;

private:
    ZSyncMutex& mutex;
};
