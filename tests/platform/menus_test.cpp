// Menus from the resource tables, the simulated popup menu and the mouse position.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

// The shape of the tray's menu: one popup whose submenu holds commands and a separator.
const win32::rc::MenuItem kCommands[] = {
    {40008, "接続設定(&O)...", nullptr, 0},   // 0x90 0xDA 0x91 0xB1 ... in code page 932
    {40004, "Version", nullptr, 0},
    {0, nullptr, nullptr, 0},
    {40001, "終了(&X)", nullptr, 0},
};
const win32::rc::MenuItem kTop[] = {{0, " ", kCommands, std::size(kCommands)}};
const win32::rc::MenuResource kMenus[] = {{7301, kTop, std::size(kTop)}};
const win32::rc::Table kTable = {.menus = kMenus, .menuCount = std::size(kMenus)};
const win32::rc::Registration kRegistration(kTable);

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateOwner() {
    static const ATOM registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PlainProc;
        windowClass.hInstance = Self();
        windowClass.lpszClassName = "MenusTestOwner";
        return RegisterClassExA(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    return CreateWindowExA(0, "MenusTestOwner", "", 0, 0, 0, 1, 1, nullptr, nullptr, Self(), nullptr);
}

// The WM_COMMAND messages waiting for the window, taken from its queue.
std::vector<WPARAM> TakeCommands(HWND window) {
    std::vector<WPARAM> commands;
    MSG message;
    while (PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        EXPECT_EQ(message.lParam, 0);
        commands.push_back(message.wParam);
    }
    return commands;
}

TEST(LoadMenuA, BuildsTheTemplateWithAnsiTexts) {
    HMENU menu = LoadMenuA(Self(), MAKEINTRESOURCEA(7301));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(GetMenuItemID(menu, 0), 0xFFFFFFFFu);   // a popup
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetSubMenu(menu, 0), popup);
    EXPECT_EQ(GetSubMenu(popup, 0), nullptr);
    EXPECT_EQ(GetSubMenu(menu, 1), nullptr);
    EXPECT_EQ(GetMenuItemCount(popup), 4);

    const UINT ids[] = {40008, 40004, 0, 40001, 0xFFFFFFFF};
    for (int position = 0; position < 5; ++position) {
        EXPECT_EQ(GetMenuItemID(popup, position), ids[position]) << position;
    }

    char text[64];
    EXPECT_EQ(GetMenuStringA(popup, 40001, text, sizeof text, MF_BYCOMMAND), 8);
    EXPECT_STREQ(text, "\x8F\x49\x97\xB9(&X)");
    // By command the search goes through the submenus; by position it stays in the menu.
    EXPECT_EQ(GetMenuStringA(menu, 40004, text, sizeof text, MF_BYCOMMAND), 7);
    EXPECT_STREQ(text, "Version");
    EXPECT_EQ(GetMenuStringA(popup, 1, text, sizeof text, MF_BYPOSITION), 7);
    EXPECT_EQ(GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION), 1);
    EXPECT_STREQ(text, " ");
    EXPECT_EQ(GetMenuStringA(popup, 2, text, sizeof text, MF_BYPOSITION), 0);   // separator
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetMenuStringA(popup, 12345, text, sizeof text, MF_BYCOMMAND), 0);

    // A short buffer cuts before a whole character; no buffer asks for the length.
    EXPECT_EQ(GetMenuStringA(popup, 40001, text, 4, MF_BYCOMMAND), 2);
    EXPECT_STREQ(text, "\x8F\x49");
    EXPECT_EQ(GetMenuStringA(popup, 40001, nullptr, 0, MF_BYCOMMAND), 8);
    EXPECT_TRUE(DestroyMenu(menu));
}

TEST(LoadMenuA, MissingMenusAndDestroyedHandlesFail) {
    const int alive = RwTestMenusAlive();
    struct Case {
        HINSTANCE module;
        LPCSTR name;
        DWORD error;
    } cases[] = {
        {Self(), MAKEINTRESOURCEA(7399), ERROR_RESOURCE_NAME_NOT_FOUND},
        {Self(), "MENU", ERROR_RESOURCE_NAME_NOT_FOUND},
        {GetModuleHandleA("User32.dll"), MAKEINTRESOURCEA(7301), ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadMenuA(c.module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(RwTestMenusAlive(), alive);

    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(7301));   // null: the executable
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    EXPECT_EQ(RwTestMenusAlive(), alive + 2);
    ASSERT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(RwTestMenusAlive(), alive);
    // The submenu went with its menu.
    for (HMENU gone : {menu, popup}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetMenuItemCount(gone), -1);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(DestroyMenu(gone));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetSubMenu(gone, 0), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    }
}

TEST(LoadMenuA, MenusAreProcessWideObjectsForAnyThread) {
    const int alive = RwTestMenusAlive();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int round = 0; round < 200; ++round) {
                HMENU menu = LoadMenuA(Self(), MAKEINTRESOURCEA(7301));
                EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 4);
                EXPECT_TRUE(DestroyMenu(menu));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(RwTestMenusAlive(), alive);
}

class PopupMenu : public ::testing::Test {
protected:
    void SetUp() override {
        RwTestResetDesktop();
        owner = CreateOwner();
        ASSERT_NE(owner, nullptr);
        menu = LoadMenuA(Self(), MAKEINTRESOURCEA(7301));
        popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
    }
    void TearDown() override {
        DestroyMenu(menu);
        DestroyWindow(owner);
        RwTestResetDesktop();
    }
    HWND owner = nullptr;
    HMENU menu = nullptr;
    HMENU popup = nullptr;
};

TEST_F(PopupMenu, NothingIsChosenUnlessATestChoseAndTheMenuIsRecorded) {
    RwTestSetCursorPos(630, 470);
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 630);
    EXPECT_EQ(cursor.y, 470);

    EXPECT_EQ(TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr), 0);
    EXPECT_TRUE(TakeCommands(owner).empty());

    std::vector<RwTestPopupMenu> shown = RwTestPopupMenus();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].menu, popup);
    EXPECT_EQ(shown[0].flags, TPM_RIGHTBUTTON);
    EXPECT_EQ(shown[0].x, 630);
    EXPECT_EQ(shown[0].y, 470);
    EXPECT_EQ(shown[0].owner, owner);
    ASSERT_EQ(shown[0].items.size(), 4u);
    EXPECT_EQ(shown[0].items[0].id, 40008u);
    EXPECT_EQ(shown[0].items[0].text, "\x90\xDA\x91\xB1\x90\xDD\x92\xE8(&O)...");
    EXPECT_TRUE(shown[0].items[2].separator);
    EXPECT_EQ(shown[0].items[3].id, 40001u);
}

TEST_F(PopupMenu, AChoiceIsPostedAsACommandOrReturnedWithReturnCmd) {
    struct Case {
        UINT choice;
        UINT flags;
        BOOL result;
        std::vector<WPARAM> posted;
    } cases[] = {
        {40001, TPM_RIGHTBUTTON, TRUE, {40001}},
        {40004, TPM_RETURNCMD, 40004, {}},
        {0, TPM_RETURNCMD, 0, {}},
        {40002, TPM_RIGHTBUTTON, 0, {}},   // not in the menu: nothing can be clicked
    };
    for (const Case& c : cases) {
        RwTestQueuePopupMenuChoice(c.choice);
        EXPECT_EQ(TrackPopupMenu(popup, c.flags, 0, 0, 0, owner, nullptr), c.result) << c.choice;
        EXPECT_EQ(TakeCommands(owner), c.posted) << c.choice;
    }
    // Choices are used once each, in order.
    EXPECT_EQ(TrackPopupMenu(popup, TPM_RIGHTBUTTON, 0, 0, 0, owner, nullptr), 0);
    EXPECT_EQ(RwTestPopupMenus().size(), 5u);
}

TEST_F(PopupMenu, TheCallbackRunsWhileTheMenuIsOpenAndTheCommandComesAfter) {
    std::vector<std::string> events;
    RwTestQueuePopupMenuChoice(40008, [&] {
        events.push_back(TakeCommands(owner).empty() ? "open, no command yet" : "command too early");
    });
    EXPECT_TRUE(TrackPopupMenu(popup, TPM_RIGHTBUTTON, 0, 0, 0, owner, nullptr));
    EXPECT_EQ(events, std::vector<std::string>{"open, no command yet"});
    EXPECT_EQ(TakeCommands(owner), std::vector<WPARAM>{40008});
}

TEST_F(PopupMenu, BadMenuOrOwnerFails) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(TrackPopupMenu(popup, 0, 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    DestroyMenu(menu);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(TrackPopupMenu(popup, 0, 0, 0, 0, owner, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    EXPECT_TRUE(RwTestPopupMenus().empty());
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetCursorPos(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
