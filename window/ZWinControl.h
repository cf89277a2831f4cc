// ZWinControl: the class library's control window, to which the dispatcher of its parent
// reflects the owner-draw messages.
#pragma once

#include "window/ZWnd.h"

// A window object that is a control of another window. Its parent's dispatcher hands it the
// owner-draw messages for which it is the item window (OnReflectedDrawItem and the others).
class ZWinControl : public ZWnd {
public:
    ZWinControl() = default;
};
