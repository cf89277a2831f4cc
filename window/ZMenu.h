// ZMenu: the class library's wrapper of a menu handle.
#pragma once

#include "framework/ZHandle.h"
#include "platform/win32.h"

// Destroying the object does not destroy the menu: the owner calls DestroyMenu.
class ZMenu : public ZHandle<HMENU> {
public:
    ZMenu() = default;

    // Hands the handle out and leaves null, whatever it held.
    HMENU Detach() override;

    // Loads the menu of that id from the resource module; a failed load leaves the object empty.
    void LoadMenu(UINT id);
    // A temporary wrapper of the popup at that position (see FromHandle); null when there is none.
    ZMenu* GetSubMenu(int position) const;
    // Destroys the held menu but keeps the handle, so call it once per loaded menu.
    void DestroyMenu();

    // A new wrapper on the calling thread's temporaries list, one per call (there is no map of
    // menus); null for a null handle. Deleting it leaves the menu alone.
    static ZMenu* FromHandle(HMENU menu);
};
