// ZMenu and ZDC: loading and destroying menus, submenus as temporary wrappers, deleting device
// contexts, and wrappers that never release what they wrap.
#include "framework/ModuleHandles.h"
#include "framework/Temporaries.h"
#include "window/ZDC.h"
#include "window/ZMenu.h"

#include "platform/testing.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

constexpr UINT TestMenuId = 4711;
constexpr UINT MissingMenuId = 4712;

const win32::rc::MenuItem kPopupItems[] = {
    {40001, "Settings", nullptr, 0},
    {0, nullptr, nullptr, 0},
    {40002, "Exit", nullptr, 0},
};
const win32::rc::MenuItem kTopItems[] = {
    {0, "Popup", kPopupItems, std::size(kPopupItems)},
};
const win32::rc::MenuResource kMenus[] = {
    {TestMenuId, kTopItems, std::size(kTopItems)},
};
const win32::rc::Table kTable = {.menus = kMenus, .menuCount = std::size(kMenus)};
const win32::rc::Registration kRegistration(kTable);

class MenuDcTest : public ::testing::Test {
protected:
    void SetUp() override { SetModuleHandles(nullptr); }
    void TearDown() override { FlushTemporaries(); }
};

TEST_F(MenuDcTest, SubmenusAreNewWrappersOfOneHandle) {
    ZMenu menu;
    menu.LoadMenu(TestMenuId);
    ASSERT_TRUE(menu.IsValid());
    ZMenu* first = menu.GetSubMenu(0);
    ZMenu* second = menu.GetSubMenu(0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->GetHandle(), second->GetHandle());
    EXPECT_EQ(first->GetHandle(), GetSubMenu(menu.GetHandle(), 0));
    EXPECT_EQ(menu.GetSubMenu(1), nullptr);   // no popup there
    EXPECT_EQ(ZMenu::FromHandle(nullptr), nullptr);
    menu.DestroyMenu();
}

TEST_F(MenuDcTest, WrappersNeverDestroyTheMenuOnlyDestroyMenuDoes) {
    const int before = RwTestMenusAlive();
    HMENU loaded = nullptr;
    {
        ZMenu menu;
        menu.LoadMenu(TestMenuId);
        loaded = menu.GetHandle();
        ASSERT_NE(loaded, nullptr);
        menu.GetSubMenu(0);
    }
    FlushTemporaries();   // deletes the submenu's wrapper
    EXPECT_GT(RwTestMenusAlive(), before);
    EXPECT_EQ(GetMenuItemCount(loaded), 1);

    ZMenu owner;
    ASSERT_TRUE(owner.Attach(loaded));
    owner.DestroyMenu();
    EXPECT_EQ(RwTestMenusAlive(), before);
    EXPECT_EQ(owner.GetHandle(), loaded);   // the handle is kept: callers destroy once
    EXPECT_EQ(owner.Detach(), loaded);
    EXPECT_EQ(owner.GetHandle(), nullptr);
    EXPECT_EQ(owner.Detach(), nullptr);
}

TEST_F(MenuDcTest, MissingMenuLeavesAnEmptyObject) {
    const int before = RwTestMenusAlive();
    ZMenu menu;
    menu.LoadMenu(MissingMenuId);
    EXPECT_FALSE(menu.IsValid());
    EXPECT_EQ(menu.GetHandle(), nullptr);
    EXPECT_EQ(menu.GetSubMenu(0), nullptr);
    menu.DestroyMenu();
    EXPECT_EQ(RwTestMenusAlive(), before);
}

TEST_F(MenuDcTest, DeleteDcDeletesOnceAndForgetsTheHandle) {
    ZDC empty;
    EXPECT_FALSE(empty.DeleteDC());

    ZDC dc;
    ASSERT_TRUE(dc.Attach(RwTestCreateDC()));
    EXPECT_TRUE(dc.DeleteDC());
    EXPECT_EQ(dc.GetHandle(), nullptr);
    EXPECT_FALSE(dc.DeleteDC());
}

TEST_F(MenuDcTest, TemporaryDcWrapperLeavesTheDcToItsOwner) {
    HDC owned = RwTestCreateDC();
    ASSERT_NE(owned, nullptr);
    ZDC* first = ZDC::FromHandle(owned);
    ZDC* second = ZDC::FromHandle(owned);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->GetHandle(), owned);
    EXPECT_EQ(ZDC::FromHandle(nullptr), nullptr);
    FlushTemporaries();
    // The device context outlived its wrappers; its owner deletes it.
    EXPECT_TRUE(DeleteDC(owned));
}

}  // namespace
