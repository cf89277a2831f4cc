#include "gateway/ZActivityFlag.h"

ZActivityFlag ReceiveActivity;
ZActivityFlag SendActivity;

void ZActivityFlag::Raise() {
    ZCriticalSectionLock guard(section);
    raised = true;
}

bool ZActivityFlag::TakeAndClear() {
    ZCriticalSectionLock guard(section);
    bool was = raised;
    raised = false;
    return was;
}

bool ZActivityFlag::IsRaised() {
    ZCriticalSectionLock guard(section);
    return raised;
}

void ZActivityFlag::Clear() {
    ZCriticalSectionLock guard(section);
    raised = false;
}
