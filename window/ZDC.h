// ZDC: the class library's wrapper of a device-context handle.
#pragma once

#include "framework/ZHandle.h"
#include "platform/win32.h"

// Destroying the object does not delete the device context: the owner calls DeleteDC.
class ZDC : public ZHandle<HDC> {
public:
    ZDC() = default;

    // Hands the handle out and leaves null, whatever it held.
    HDC Detach() override;
    // Deletes the held device context and forgets it; false without a call when none is held.
    virtual bool DeleteDC();

    // A new wrapper on the calling thread's temporaries list, one per call; null for a null
    // handle. Deleting it leaves the device context alone.
    static ZDC* FromHandle(HDC dc);
};
