// ZWinHandle: a kernel-object handle, whose invalid value is INVALID_HANDLE_VALUE.
#pragma once

#include "framework/ZHandle.h"
#include "platform/win32.h"

class ZWinHandle : public ZHandle<void*> {
public:
    void* InvalidHandle() const override { return INVALID_HANDLE_VALUE; }
};
