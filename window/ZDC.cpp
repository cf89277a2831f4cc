// ZDC: deleting device contexts and temporary wrappers of their handles.
#include "window/ZDC.h"

#include "framework/Temporaries.h"

HDC ZDC::Detach() {
    HDC held = handle;
    handle = nullptr;
    return held;
}

bool ZDC::DeleteDC() {
    if (handle == nullptr) return false;
    HDC held = handle;
    handle = nullptr;
    return ::DeleteDC(held) != FALSE;
}

ZDC* ZDC::FromHandle(HDC dc) {
    if (dc == nullptr) return nullptr;
    auto* wrapper = new ZDC;
    wrapper->Attach(dc);
    AddTemporary(wrapper);
    return wrapper;
}
