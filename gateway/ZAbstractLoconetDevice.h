// ZAbstractLoconetDevice: the gateway's view of its LocoNet device.
#pragma once

#include "platform/win32.h"

class ZAbstractLoconetDevice {
public:
    // Blocks until one whole message is in the buffer and returns its length (at least 2);
    // negative when the device has failed or the buffer is too small.
    virtual int ReadMessage(BYTE* buffer, DWORD capacity) = 0;
    // True when the device has accepted the bytes for sending.
    virtual bool WriteMessage(const BYTE* bytes, DWORD length) = 0;
    virtual ~ZAbstractLoconetDevice() = default;
};
