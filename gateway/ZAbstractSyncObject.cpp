#include "gateway/ZAbstractSyncObject.h"

ZAbstractSyncObject::~ZAbstractSyncObject() {
    if (handle != nullptr) CloseHandle(handle);
}

bool ZAbstractSyncObject::Wait(DWORD milliseconds) {
    return WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
}
