// ZCriticalSection and ZCriticalSectionLock: a Win32 critical section owned by an object, and
// the scoped lock that enters it. The gateway guards its short shared state with these.
#pragma once

#include "platform/win32.h"

class ZCriticalSection {
public:
    ZCriticalSection() { InitializeCriticalSection(&section); }
    ~ZCriticalSection() { DeleteCriticalSection(&section); }
    ZCriticalSection(const ZCriticalSection&) = delete;
    ZCriticalSection& operator=(const ZCriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section); }
    void Leave() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

class ZCriticalSectionLock {
public:
    explicit ZCriticalSectionLock(ZCriticalSection& section) : section(section) { section.Enter(); }
    ~ZCriticalSectionLock() { section.Leave(); }
    ZCriticalSectionLock(const ZCriticalSectionLock&) = delete;
    ZCriticalSectionLock& operator=(const ZCriticalSectionLock&) = delete;

private:
    ZCriticalSection& section;
};
