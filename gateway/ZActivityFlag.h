// ZActivityFlag: a flag that tells the tray icon that traffic has passed since its last look,
// guarded by a critical section of its own; and the gateway's two flags.
#pragma once

#include "gateway/ZCriticalSection.h"

class ZActivityFlag {
public:
    ZActivityFlag() = default;
    ZActivityFlag(const ZActivityFlag&) = delete;
    ZActivityFlag& operator=(const ZActivityFlag&) = delete;

    void Raise();
    // Reads the flag and clears it, in one step.
    bool TakeAndClear();
    bool IsRaised();
    void Clear();

private:
    ZCriticalSection section;
    bool raised = false;
};

// Raised by the receive loop for every message read from the device.
extern ZActivityFlag ReceiveActivity;
// Raised for every client SEND line whose hex text parsed.
extern ZActivityFlag SendActivity;
