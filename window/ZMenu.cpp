// ZMenu: loading, submenus and temporary wrappers of menu handles.
#include "window/ZMenu.h"

#include "framework/ModuleHandles.h"
#include "framework/Temporaries.h"

HMENU ZMenu::Detach() {
    HMENU held = handle;
    handle = nullptr;
    return held;
}

void ZMenu::LoadMenu(UINT id) {
    Attach(::LoadMenuA(GetResourceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(id))));
}

ZMenu* ZMenu::GetSubMenu(int position) const {
    if (!IsValid()) return nullptr;
    return FromHandle(::GetSubMenu(handle, position));
}

void ZMenu::DestroyMenu() {
    if (IsValid()) ::DestroyMenu(handle);
}

ZMenu* ZMenu::FromHandle(HMENU menu) {
    if (menu == nullptr) return nullptr;
    auto* wrapper = new ZMenu;
    wrapper->Attach(menu);
    AddTemporary(wrapper);
    return wrapper;
}
