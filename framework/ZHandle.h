// ZHandle<T>: the base of every class that owns one operating-system handle.
#pragma once

#include "framework/ZObject.h"

// Holds one handle of type T. Null and InvalidHandle() both mean "no handle". The template
// itself never releases anything: its destructor and Close only forget the handle, and the
// derived classes that own a system object close it in their own Close or destructor.
template <class T>
class ZHandle : public ZObject {
public:
    ZHandle() = default;
    ~ZHandle() override = default;
    ZHandle(const ZHandle&) = delete;
    ZHandle& operator=(const ZHandle&) = delete;

    bool IsValid() const override { return handle != T() && handle != InvalidHandle(); }
    virtual T InvalidHandle() const { return T(); }

    // Stores h unless it is null or the invalid value; a handle held before is overwritten, not
    // closed, so callers detach or close first.
    virtual bool Attach(T h) {
        if (h == T() || h == InvalidHandle()) return false;
        handle = h;
        return true;
    }

    // Hands the handle out and leaves the invalid value; an empty object keeps its state and
    // returns the invalid value.
    virtual T Detach() {
        if (!IsValid()) return InvalidHandle();
        T held = handle;
        handle = InvalidHandle();
        return held;
    }

    virtual bool Close() {
        handle = InvalidHandle();
        return true;
    }

    T GetHandle() const { return handle; }

protected:
    T handle = T();
};
