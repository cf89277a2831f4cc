// Menus built from the resource tables, the simulated popup menu and the simulated mouse
// position.
//
// Menus are process-wide objects, as on Windows: any thread may use any menu. One lock guards
// the menus, the record of popup menus shown, the queued choices and the mouse position; it is
// never held across a call into another area (window manager) or into a test's callback.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/gdi.h"
#include "platform/posix/detail/modules.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace win32 {

namespace {

constexpr UINT kNoItem = 0xFFFFFFFF;

struct Item {
    UINT id;
    std::string text;   // ANSI code page
    bool separator;
    HMENU popup;
};

struct Menu {
    std::vector<Item> items;
};

struct Choice {
    UINT command;
    std::function<void()> whileOpen;
};

struct MenuState {
    std::mutex lock;
    std::uintptr_t nextSerial = 1;
    std::unordered_map<std::uintptr_t, Menu> menus;
    std::vector<RwTestPopupMenu> shown;
    std::deque<Choice> choices;
    POINT cursor{};
};

MenuState& State() {
    // Never destroyed: menus may be used by threads that outlive static destruction.
    static MenuState* state = new MenuState;
    return *state;
}

std::uintptr_t Key(HMENU menu) { return reinterpret_cast<std::uintptr_t>(menu); }

// The menu of the handle, or null with ERROR_INVALID_MENU_HANDLE. The caller holds the lock.
Menu* Find(MenuState& state, HMENU menu) {
    auto it = state.menus.find(Key(menu));
    if (it == state.menus.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// The caller holds the lock.
HMENU Build(MenuState& state, const rc::MenuItem* items, std::size_t count) {
    Menu menu;
    for (std::size_t i = 0; i < count; ++i) {
        const rc::MenuItem& source = items[i];
        Item item{source.id, {}, false, nullptr};
        if (source.items != nullptr) {
            item.id = 0;
            item.popup = Build(state, source.items, source.itemCount);
        } else if (source.text == nullptr) {
            item.separator = true;
        }
        if (source.text != nullptr) item.text = detail::Utf8ToAnsi(source.text);
        menu.items.push_back(std::move(item));
    }
    const std::uintptr_t value = detail::ObjectValue(detail::ObjectKind::Menu, state.nextSerial++);
    state.menus.emplace(value, std::move(menu));
    return reinterpret_cast<HMENU>(value);
}

// The caller holds the lock.
void Destroy(MenuState& state, HMENU handle) {
    auto it = state.menus.find(Key(handle));
    if (it == state.menus.end()) return;
    Menu menu = std::move(it->second);
    state.menus.erase(it);
    for (const Item& item : menu.items) {
        if (item.popup != nullptr) Destroy(state, item.popup);
    }
}

// The item with the command id, searched depth-first through the submenus as Windows does.
// The caller holds the lock.
const Item* FindCommand(MenuState& state, const Menu& menu, UINT id) {
    for (const Item& item : menu.items) {
        if (item.popup == nullptr && !item.separator && item.id == id) return &item;
        if (item.popup != nullptr) {
            auto sub = state.menus.find(Key(item.popup));
            if (sub == state.menus.end()) continue;
            if (const Item* found = FindCommand(state, sub->second, id)) return found;
        }
    }
    return nullptr;
}

const rc::MenuResource* FindMenuResource(std::uintptr_t base, UINT id, bool& anyMenus) {
    anyMenus = false;
    for (const rc::Table* table : detail::TablesOf(base)) {
        for (std::size_t i = 0; i < table->menuCount; ++i) {
            anyMenus = true;
            if (table->menus[i].id == id) return &table->menus[i];
        }
    }
    return nullptr;
}

bool IsIntResource(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

}  // namespace

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    const std::uintptr_t base =
        instance == nullptr ? detail::ExecutableBase() : reinterpret_cast<std::uintptr_t>(instance);
    bool anyMenus = false;
    const rc::MenuResource* resource =
        IsIntResource(name) ? FindMenuResource(base, static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)), anyMenus)
                            : nullptr;
    if (resource == nullptr) {
        // Resources are named by number only here, so a text name finds nothing either.
        if (IsIntResource(name)) {
            SetLastError(anyMenus ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        } else {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        }
        return nullptr;
    }
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    return Build(state, resource->items, resource->itemCount);
}

HMENU GetSubMenu(HMENU menu, int position) {
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    Menu* found = Find(state, menu);
    if (found == nullptr) return nullptr;
    if (position < 0 || static_cast<std::size_t>(position) >= found->items.size()) return nullptr;
    return found->items[position].popup;
}

BOOL DestroyMenu(HMENU menu) {
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    if (Find(state, menu) == nullptr) return FALSE;
    Destroy(state, menu);
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    Menu* found = Find(state, menu);
    return found == nullptr ? -1 : static_cast<int>(found->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    Menu* found = Find(state, menu);
    if (found == nullptr || position < 0 || static_cast<std::size_t>(position) >= found->items.size()) return kNoItem;
    const Item& item = found->items[position];
    return item.popup != nullptr ? kNoItem : item.id;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int maxCount, UINT flags) {
    std::string found;
    {
        MenuState& state = State();
        std::lock_guard guard(state.lock);
        Menu* owner = Find(state, menu);
        if (owner == nullptr) return 0;
        const Item* entry = nullptr;
        if ((flags & MF_BYPOSITION) != 0) {
            if (item < owner->items.size()) entry = &owner->items[item];
        } else {
            entry = FindCommand(state, *owner, item);
        }
        if (entry == nullptr) return 0;
        found = entry->text;
    }
    if (text == nullptr || maxCount <= 0) return static_cast<int>(found.size());
    // Cut to maxCount - 1 bytes, never between the two bytes of a character.
    std::size_t length = 0;
    const std::size_t room = static_cast<std::size_t>(maxCount) - 1;
    while (length < found.size()) {
        std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(found[length])) && length + 1 < found.size() ? 2 : 1;
        if (length + width > room) break;
        length += width;
    }
    std::memcpy(text, found.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, LPCRECT) {
    if (!IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MenuState& state = State();
    Choice choice{0, {}};
    {
        std::lock_guard guard(state.lock);
        Menu* found = Find(state, menu);
        if (found == nullptr) return FALSE;
        RwTestPopupMenu shown{menu, {}, flags, x, y, owner};
        for (const Item& item : found->items) {
            shown.items.push_back({item.id, item.text, item.separator, item.popup != nullptr});
        }
        state.shown.push_back(std::move(shown));
        if (!state.choices.empty()) {
            choice = std::move(state.choices.front());
            state.choices.pop_front();
        }
        // Only a command that the menu shows can be clicked.
        if (choice.command != 0 && FindCommand(state, *found, choice.command) == nullptr) choice.command = 0;
    }
    if (choice.whileOpen) choice.whileOpen();
    SetLastError(ERROR_SUCCESS);
    if (choice.command == 0) return 0;
    if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(choice.command);
    // The menu has closed when the command arrives, as on Windows.
    PostMessageA(owner, WM_COMMAND, MAKELONG(static_cast<WORD>(choice.command), 0), 0);
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuState& state = State();
    std::lock_guard guard(state.lock);
    *point = state.cursor;
    return TRUE;
}

}  // namespace win32

std::vector<RwTestPopupMenu> RwTestPopupMenus() {
    win32::MenuState& state = win32::State();
    std::lock_guard guard(state.lock);
    return state.shown;
}

void RwTestQueuePopupMenuChoice(win32::UINT command, std::function<void()> whileOpen) {
    win32::MenuState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.choices.push_back({command, std::move(whileOpen)});
}

int RwTestMenusAlive() {
    win32::MenuState& state = win32::State();
    std::lock_guard guard(state.lock);
    return static_cast<int>(state.menus.size());
}

void RwTestSetCursorPos(int x, int y) {
    win32::MenuState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.cursor = {x, y};
}

void RwTestResetMenus() {
    win32::MenuState& state = win32::State();
    std::deque<win32::Choice> dropped;
    {
        std::lock_guard guard(state.lock);
        state.shown.clear();
        dropped.swap(state.choices);   // a test's callbacks are destroyed outside the lock
        state.cursor = {};
    }
}
