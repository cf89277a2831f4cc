// The tray window against the simulated shell: adding, changing and removing its icon, the
// shell's restart, the callback message, and popup menus made foreground on each system.
#include "framework/ModuleHandles.h"
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "platform/testing.h"
#include "window/WindowClass.h"
#include "window/ZTrayWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* ClassName = "TrayWndTestClass";
constexpr UINT IconId = 101;
constexpr UINT Callback = WM_APP + 1;
constexpr UINT PopupMenuId = 4811;
const HICON PictureA = reinterpret_cast<HICON>(0x1A);
const HICON PictureB = reinterpret_cast<HICON>(0x1B);

const win32::rc::MenuItem kPopupItems[] = {{40001, "Exit", nullptr, 0}};
const win32::rc::MenuItem kTopItems[] = {{0, " ", kPopupItems, std::size(kPopupItems)}};
const win32::rc::MenuResource kMenus[] = {{PopupMenuId, kTopItems, std::size(kTopItems)}};
const win32::rc::Table kTable = {.menus = kMenus, .menuCount = std::size(kMenus)};
const win32::rc::Registration kRegistration(kTable);

class TrayTestWnd : public ZTrayWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> notifies;
    int defaults = 0;
    std::size_t shellIconsAtDestroy = 99;
    UINT iconIdAtDestroy = 99;

    UINT IconId() const { return iconId; }
    void OnTrayNotify(WPARAM wParam, LPARAM lParam) override { notifies.emplace_back(wParam, lParam); }
    void OnDestroy() override {
        shellIconsAtDestroy = RwTestShellIcons().size();
        iconIdAtDestroy = iconId;
    }
    LRESULT DefaultProc() override {
        ++defaults;
        return ZTrayWnd::DefaultProc();
    }
};

// Dispatches what the thread's queue holds, as a message loop would.
void PumpMessages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

class TrayWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        RwTestResetDesktop();
        RwTestClearWindowRecords();
        ASSERT_TRUE(RegisterWndClass(ClassName, 0, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(window.Create(ClassName, "tray", 0, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr));
        window.defaults = 0;
    }
    void TearDown() override {
        if (IsWindow(window.GetHandle())) window.DestroyWnd();
        PumpMessages();
        FlushTemporaries();
    }

    TrayTestWnd window;
};

TEST_F(TrayWndTest, AddShowsPictureTipAndCallback) {
    const std::string tip(40, 't');
    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, tip.c_str()));
    const std::vector<RwTestShellIcon> icons = RwTestShellIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].window, window.GetHandle());
    EXPECT_EQ(icons[0].id, IconId);
    EXPECT_EQ(icons[0].callbackMessage, Callback);
    EXPECT_EQ(icons[0].icon, PictureA);
    EXPECT_EQ(icons[0].tip, tip);
    const std::vector<RwTestShellCall> calls = RwTestShellCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, NIM_ADD);
    EXPECT_EQ(calls[0].flags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

TEST_F(TrayWndTest, AddIsRefusedWithoutWindowOrWithAnIconPresentWithoutCallingTheShell) {
    TrayTestWnd unbound;
    EXPECT_FALSE(unbound.AddTrayIcon(IconId, Callback, PictureA, "tip"));
    EXPECT_FALSE(unbound.ModifyTrayIcon(0, PictureB, nullptr));
    EXPECT_FALSE(unbound.DeleteTrayIcon(IconId));
    EXPECT_FALSE(window.ModifyTrayIcon(0, PictureB, nullptr));   // no icon yet
    EXPECT_FALSE(window.DeleteTrayIcon(IconId));
    EXPECT_TRUE(RwTestShellCalls().empty());
    // Before an icon is added there is no callback message: WM_NULL stays with the dispatcher.
    SendMessageA(window.GetHandle(), WM_NULL, 0, 0);
    EXPECT_TRUE(window.notifies.empty());
    EXPECT_EQ(window.defaults, 1);

    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, "tip"));
    EXPECT_FALSE(window.AddTrayIcon(IconId + 1, Callback, PictureB, "other"));
    EXPECT_EQ(RwTestShellCalls().size(), 1u);
    EXPECT_EQ(window.IconId(), IconId);
}

TEST_F(TrayWndTest, ModifySendsOnlyWhatIsGiven) {
    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, "first"));
    struct Case {
        UINT id;
        HICON picture;
        const char* tip;
        UINT flags;
        HICON shownPicture;
        const char* shownTip;
    };
    const Case cases[] = {
        {0, PictureB, nullptr, NIF_ICON, PictureB, "first"},
        {IconId, nullptr, "second", NIF_TIP, PictureB, "second"},
        {0, PictureA, "third", NIF_ICON | NIF_TIP, PictureA, "third"},
        {0, nullptr, nullptr, 0, PictureA, "third"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_TRUE(window.ModifyTrayIcon(c.id, c.picture, c.tip));
        const RwTestShellCall last = RwTestShellCalls().back();
        EXPECT_EQ(last.message, NIM_MODIFY);
        EXPECT_EQ(last.id, IconId);
        EXPECT_EQ(last.flags, c.flags);
        const std::vector<RwTestShellIcon> icons = RwTestShellIcons();
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_EQ(icons[0].icon, c.shownPicture);
        EXPECT_EQ(icons[0].tip, c.shownTip);
    }
}

TEST_F(TrayWndTest, ShellRestartBringsBackTheIconAsFirstAdded) {
    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, "as added"));
    ASSERT_TRUE(window.ModifyTrayIcon(0, PictureB, "changed"));
    RwTestRestartShell();
    EXPECT_TRUE(RwTestShellIcons().empty());
    PumpMessages();
    const std::vector<RwTestShellIcon> icons = RwTestShellIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].icon, PictureA);
    EXPECT_EQ(icons[0].tip, "as added");
    EXPECT_EQ(icons[0].callbackMessage, Callback);
    EXPECT_EQ(window.defaults, 0);   // the announcement does not reach the dispatcher

    // Without an icon, a restart adds nothing.
    ASSERT_TRUE(window.DeleteTrayIcon(IconId));
    const std::size_t calls = RwTestShellCalls().size();
    RwTestRestartShell();
    PumpMessages();
    EXPECT_EQ(RwTestShellCalls().size(), calls);
}

TEST_F(TrayWndTest, ShellRefusalsKeepTheIconCountedAsPresent) {
    RwTestFailShellCalls(1);
    EXPECT_FALSE(window.AddTrayIcon(IconId, Callback, PictureA, "tip"));
    EXPECT_EQ(window.IconId(), IconId);
    // The stored values bring it back at the next restart.
    RwTestRestartShell();
    PumpMessages();
    ASSERT_EQ(RwTestShellIcons().size(), 1u);

    RwTestFailShellCalls(1);
    EXPECT_FALSE(window.DeleteTrayIcon(IconId));
    EXPECT_EQ(window.IconId(), IconId);
    EXPECT_TRUE(window.DeleteTrayIcon(IconId));
    EXPECT_EQ(window.IconId(), 0u);
    EXPECT_TRUE(RwTestShellIcons().empty());
}

TEST_F(TrayWndTest, DestroyingTheWindowRemovesTheIconBeforeOnDestroy) {
    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, "tip"));
    ASSERT_TRUE(window.DestroyWnd());
    EXPECT_EQ(window.shellIconsAtDestroy, 0u);
    EXPECT_EQ(window.iconIdAtDestroy, 0u);
    const RwTestShellCall last = RwTestShellCalls().back();
    EXPECT_EQ(last.message, NIM_DELETE);
    EXPECT_EQ(last.flags, 0u);
}

TEST_F(TrayWndTest, CallbackMessageReachesOnTrayNotifyWithoutTheDispatcher) {
    ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, "tip"));
    EXPECT_EQ(SendMessageA(window.GetHandle(), Callback, 7, -5), 0);
    ASSERT_TRUE(RwTestClickShellIcon(window.GetHandle(), IconId, WM_RBUTTONUP));
    PumpMessages();
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{7, -5}, {IconId, WM_RBUTTONUP}};
    EXPECT_EQ(window.notifies, expected);
    EXPECT_EQ(window.defaults, 0);
}

// The shell reads the first version's 64-byte tip; a longer tooltip is cut so that the tip
// ends inside it, and never between the two bytes of a double-byte character.
TEST_F(TrayWndTest, LongTooltipIsCutToATerminatedTip) {
    RwTestSetAnsiCodePage(932);
    struct Case {
        const char* name;
        std::string tooltip;
        std::string shown;
    };
    const std::string lead62(62, 'a');
    const Case cases[] = {
        {"63 characters", std::string(63, 'x'), std::string(63, 'x')},
        {"70 characters", std::string(70, 'x'), std::string(63, 'x')},
        {"double-byte across the end", lead62 + "\x82\xa0" "bbb", lead62},
        {"double-byte at the end", std::string(61, 'a') + "\x82\xa0" "bbb", std::string(61, 'a') + "\x82\xa0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(window.AddTrayIcon(IconId, Callback, PictureA, c.tooltip.c_str()));
        ASSERT_EQ(RwTestShellIcons().size(), 1u);
        EXPECT_EQ(RwTestShellIcons()[0].tip, c.shown);
        ASSERT_TRUE(window.ModifyTrayIcon(0, nullptr, c.tooltip.c_str()));
        EXPECT_EQ(RwTestShellIcons()[0].tip, c.shown);
        ASSERT_TRUE(window.DeleteTrayIcon(IconId));
    }
}

class PopupMenuTest : public TrayWndTest {
protected:
    void SetUp() override {
        TrayWndTest::SetUp();
        menu = LoadMenuA(GetResourceHandle(), MAKEINTRESOURCEA(PopupMenuId));
        ASSERT_NE(menu, nullptr);
        other = CreateWindowExA(0, ClassName, "foreground", 0, 0, 0, 1, 1, nullptr, nullptr, GetApp()->GetHandle(),
                                nullptr);
        ASSERT_NE(other, nullptr);
        SetForegroundWindow(other);
        RwTestClearWindowRecords();
        SetForegroundWindow(other);
        RwTestSetCursorPos(30, 40);
    }
    void TearDown() override {
        DestroyMenu(menu);
        DestroyWindow(other);
        TrayWndTest::TearDown();
    }

    HMENU menu = nullptr;
    HWND other = nullptr;
};

TEST_F(PopupMenuTest, MenuIsTrackedAtTheCursorByTheForegroundWindow) {
    HMENU popup = GetSubMenu(menu, 0);
    RwTestQueuePopupMenuChoice(40001);
    EXPECT_TRUE(window.ShowPopupMenu(popup, TPM_RIGHTBUTTON));
    const std::vector<RwTestPopupMenu> shown = RwTestPopupMenus();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].menu, popup);
    EXPECT_EQ(shown[0].flags, TPM_RIGHTBUTTON);
    EXPECT_EQ(shown[0].x, 30);
    EXPECT_EQ(shown[0].y, 40);
    EXPECT_EQ(shown[0].owner, window.GetHandle());

    const HWND self = window.GetHandle();
    EXPECT_EQ(GetForegroundWindow(), self);
    EXPECT_EQ(RwTestActiveWindow(), self);
    EXPECT_EQ(RwTestBroughtToTop(), std::vector<HWND>{self});
    EXPECT_FALSE(RwTestIsTopmost(self));
    // The input was attached to the foreground window's thread only for the calls.
    const std::vector<RwTestAttachCall> attach = RwTestAttachThreadInputCalls();
    ASSERT_EQ(attach.size(), 2u);
    EXPECT_TRUE(attach[0].doAttach);
    EXPECT_FALSE(attach[1].doAttach);
    EXPECT_EQ(attach[0].attach, GetCurrentThreadId());
    EXPECT_EQ(attach[0].attachTo, GetWindowThreadProcessId(other, nullptr));
    EXPECT_EQ(RwTestAllowSetForegroundWindowCalls(), std::vector<DWORD>{GetCurrentProcessId()});
}

TEST_F(PopupMenuTest, NothingChosenReturnsFalse) {
    EXPECT_FALSE(window.ShowPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON));
    EXPECT_EQ(RwTestPopupMenus().size(), 1u);
}

// The system-version tests remember their first answer for the process, so each system runs in
// a process of its own.
struct SystemCase {
    const char* name;
    DWORD platform;
    DWORD major;
    DWORD minor;
    DWORD build;
    bool allowAbsent;
    std::size_t attachCalls;
    std::size_t allowCalls;
};

class ForegroundBySystemTest : public PopupMenuTest, public ::testing::WithParamInterface<SystemCase> {};

TEST_P(ForegroundBySystemTest, AttachesInputOnlyWhereForegroundLocksExist) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const SystemCase& system = GetParam();
    EXPECT_EXIT(
        {
            RwTestSetOsVersion(system.platform, system.major, system.minor, system.build);
            RwTestSetAllowSetForegroundWindowAbsent(system.allowAbsent);
            window.ShowPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON);
            const bool right = RwTestAttachThreadInputCalls().size() == system.attachCalls &&
                               RwTestAllowSetForegroundWindowCalls().size() == system.allowCalls &&
                               GetForegroundWindow() == window.GetHandle() && RwTestPopupMenus().size() == 1;
            std::_Exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Systems, ForegroundBySystemTest,
    ::testing::Values(SystemCase{"Windows95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, (4u << 24) | 950, true, 0, 0},
                      SystemCase{"WindowsNT4", VER_PLATFORM_WIN32_NT, 4, 0, 1381, true, 0, 0},
                      SystemCase{"Windows98WithoutAllow", VER_PLATFORM_WIN32_WINDOWS, 4, 10, (4u << 24) | (10u << 16) | 1998,
                                 true, 2, 0},
                      SystemCase{"Windows2000", VER_PLATFORM_WIN32_NT, 5, 0, 2195, false, 2, 1}),
    [](const ::testing::TestParamInfo<SystemCase>& info) { return std::string(info.param.name); });

}  // namespace
