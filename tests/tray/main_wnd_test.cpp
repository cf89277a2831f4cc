// The hidden main window against the simulated shell: the icon with its tooltip, the pictures
// the activity timer chooses, the popup menu and its commands, the beep while a dialog is open,
// the restore after a shell restart, and the exit path. The window runs on the test's thread,
// whose messages the test dispatches as the user-interface thread's loop does.
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "gateway/ZActivityFlag.h"
#include "platform/testing.h"
#include "tray/ZMainWnd.h"
#include "tray/ZUIThread.h"
#include "window/WindowClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <functional>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* ClassName = "rwsvr_ro100_mainwndclass";

// The resource id of the picture the shell shows for the tray icon; 0 without one.
UINT ShownPicture(HWND window) {
    for (const RwTestShellIcon& icon : RwTestShellIcons()) {
        if (icon.window != window || icon.id != ZMainWnd::TrayIconId) continue;
        RwTestPicture picture{};
        if (!RwTestDescribePicture(icon.icon, picture)) return 0;
        EXPECT_EQ(picture.width, 16);
        return picture.resourceId;
    }
    return 0;
}

int ShellCalls(DWORD command) {
    int count = 0;
    for (const RwTestShellCall& call : RwTestShellCalls()) count += call.message == command;
    return count;
}

class MainWindow : public testing::Test {
protected:
    // The tools library's dialogs run on the controlling terminal; without one they confirm at
    // once, which is what these tests rely on also when started from a terminal.
    static void SetUpTestSuite() {
        int terminal = open("/dev/tty", O_RDWR | O_CLOEXEC);
        if (terminal >= 0) {
            ioctl(terminal, TIOCNOTTY);
            close(terminal);
        }
    }

    void SetUp() override {
        RwTestResetDesktop();
        ReceiveActivity.Clear();
        SendActivity.Clear();
        g_comPort = 1;
        g_tcpPort = 9851;
        g_currentIconId = ZMainWnd::IconUnknown;
        ASSERT_TRUE(RegisterWndClass(ClassName, 0, nullptr, nullptr, LoadCursorA(nullptr, IDC_ARROW),
                                     reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(6))));
    }

    void TearDown() override {
        if (IsWindow(window.GetHandle())) DestroyWindow(window.GetHandle());
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        FlushTemporaries();
    }

    bool CreateWindow() {
        return window.Create(ClassName, GetAppName(), 0, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr);
    }

    // Dispatches the thread's messages until the condition holds after a message; false when it
    // did not within the bound or the quit message came.
    bool DispatchUntil(const std::function<bool(const MSG&)>& done, std::chrono::milliseconds bound = 3s) {
        auto deadline = Clock::now() + bound;
        while (Clock::now() < deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT) ==
                WAIT_TIMEOUT)
                return false;
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    quitCode = static_cast<int>(message.wParam);
                    return false;
                }
                DispatchMessageA(&message);
                FlushTemporaries();
                if (done(message)) return true;
            }
        }
        return false;
    }

    // Dispatches until n more ticks of the activity timer were handled.
    bool Ticks(int n) {
        int seen = 0;
        return DispatchUntil([&](const MSG& m) {
            return m.message == WM_TIMER && m.wParam == ZMainWnd::ActivityTimerId && ++seen == n;
        });
    }

    ZMainWnd window;
    int quitCode = -1;
};

TEST_F(MainWindow, AddsTheIconWithTooltipAndTheUnknownPicture) {
    ASSERT_TRUE(CreateWindow());
    auto icons = RwTestShellIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].tip, "Railwick Server - COM1 / TCP:9851");
    EXPECT_EQ(icons[0].callbackMessage, ZMainWnd::TrayCallbackMessage);
    EXPECT_EQ(ShownPicture(window.GetHandle()), 105u);
    // Never shown: it only carries the icon.
    EXPECT_EQ(GetWindowLongA(window.GetHandle(), GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(MainWindow, CreationFailsWhenTheShellRefusesTheIcon) {
    RwTestFailShellCalls(1);
    EXPECT_FALSE(CreateWindow());
    EXPECT_TRUE(RwTestShellIcons().empty());
}

TEST_F(MainWindow, EachTickShowsWhatHappenedSinceTheLastAndCallsTheShellOnlyOnChange) {
    ASSERT_TRUE(CreateWindow());
    // Idle: 108 from the first tick on, then no more shell calls.
    ASSERT_TRUE(Ticks(1));
    EXPECT_EQ(ShownPicture(window.GetHandle()), 108u);
    int modifies = ShellCalls(NIM_MODIFY);
    ASSERT_TRUE(Ticks(3));
    EXPECT_EQ(ShellCalls(NIM_MODIFY), modifies);

    struct Case {
        bool received, sent;
        UINT picture;
    } cases[] = {{true, true, 104}, {true, false, 107}, {false, true, 106}, {false, false, 108}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        if (c.received) ReceiveActivity.Raise();
        if (c.sent) SendActivity.Raise();
        ASSERT_TRUE(Ticks(1));
        EXPECT_EQ(ShownPicture(window.GetHandle()), c.picture);
        EXPECT_FALSE(ReceiveActivity.IsRaised());
        EXPECT_FALSE(SendActivity.IsRaised());
    }

    // Steady traffic in one direction keeps its picture without further shell calls.
    ReceiveActivity.Raise();
    ASSERT_TRUE(Ticks(1));
    modifies = ShellCalls(NIM_MODIFY);
    for (int i = 0; i < 3; ++i) {
        ReceiveActivity.Raise();
        ASSERT_TRUE(Ticks(1));
    }
    EXPECT_EQ(ShownPicture(window.GetHandle()), 107u);
    EXPECT_EQ(ShellCalls(NIM_MODIFY), modifies);

    // Another timer's tick changes nothing.
    SendActivity.Raise();
    SendMessageA(window.GetHandle(), WM_TIMER, 5, 0);
    EXPECT_TRUE(SendActivity.IsRaised());
    EXPECT_EQ(ShellCalls(NIM_MODIFY), modifies);
}

TEST_F(MainWindow, TicksComeEveryHundredMilliseconds) {
    ASSERT_TRUE(CreateWindow());
    ASSERT_TRUE(Ticks(1));
    auto start = Clock::now();
    ASSERT_TRUE(Ticks(5));
    auto each = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start) / 5;
    EXPECT_GE(each.count(), 90);
    EXPECT_LE(each.count(), 160);
}

TEST_F(MainWindow, ButtonReleasesOpenThePopupMenuOtherEventsDoNot) {
    ASSERT_TRUE(CreateWindow());
    HWND hwnd = window.GetHandle();
    for (UINT ignored : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MOUSEMOVE})
        SendMessageA(hwnd, ZMainWnd::TrayCallbackMessage, ZMainWnd::TrayIconId, ignored);
    EXPECT_TRUE(RwTestPopupMenus().empty());

    for (UINT release : {WM_LBUTTONUP, WM_RBUTTONUP}) {
        ASSERT_TRUE(RwTestClickShellIcon(hwnd, ZMainWnd::TrayIconId, release));
        ASSERT_TRUE(DispatchUntil([](const MSG& m) { return m.message == ZMainWnd::TrayCallbackMessage; }));
    }
    auto menus = RwTestPopupMenus();
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].owner, hwnd);
    EXPECT_EQ(menus[0].flags & TPM_RIGHTBUTTON, TPM_RIGHTBUTTON);
    ASSERT_EQ(menus[0].items.size(), 4u);
    EXPECT_EQ(menus[0].items[0].id, ZMainWnd::CmdConnectionSettings);
    EXPECT_EQ(menus[0].items[1].id, ZMainWnd::CmdVersion);
    EXPECT_TRUE(menus[0].items[2].separator);
    EXPECT_EQ(menus[0].items[3].id, ZMainWnd::CmdExit);
    // The window was made the foreground window to track the menu.
    EXPECT_EQ(GetForegroundWindow(), hwnd);
}

TEST_F(MainWindow, SettingsAcceptedShowsTheRestartNoticeAndClicksMeanwhileBeep) {
    ASSERT_TRUE(CreateWindow());
    HWND hwnd = window.GetHandle();
    bool openWhileShown = false;
    // Without a terminal the settings dialog confirms the settings as they stand; the notice
    // follows. A click that arrives while the notice is open only beeps.
    RwTestQueueMessageBoxAnswer(IDOK, [&] {
        openWhileShown = window.IsDialogOpen();
        RwTestClickShellIcon(hwnd, ZMainWnd::TrayIconId, WM_LBUTTONUP);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    });
    RwTestQueuePopupMenuChoice(ZMainWnd::CmdConnectionSettings);
    ASSERT_TRUE(RwTestClickShellIcon(hwnd, ZMainWnd::TrayIconId, WM_RBUTTONUP));
    ASSERT_TRUE(DispatchUntil([](const MSG& m) { return m.message == WM_COMMAND; }));

    auto boxes = RwTestMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Railwick Server");
    EXPECT_EQ(boxes[0].text, std::string(ZString(ZMainWnd::SettingsChangedStringId)));
    EXPECT_EQ(boxes[0].type & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
    EXPECT_TRUE(openWhileShown);
    EXPECT_EQ(RwTestBeeps().size(), 1u);
    EXPECT_EQ(RwTestPopupMenus().size(), 1u) << "no second menu while the notice is open";
    EXPECT_FALSE(window.IsDialogOpen());
}

TEST_F(MainWindow, IconComesBackAfterAShellRestartWithItsFirstPictureAndTooltip) {
    ASSERT_TRUE(CreateWindow());
    ReceiveActivity.Raise();
    ASSERT_TRUE(Ticks(1));
    ASSERT_EQ(ShownPicture(window.GetHandle()), 107u);

    RwTestRestartShell();
    ASSERT_TRUE(DispatchUntil([](const MSG& m) { return m.message >= 0xC000; }));
    auto icons = RwTestShellIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].tip, "Railwick Server - COM1 / TCP:9851");
    EXPECT_EQ(ShownPicture(window.GetHandle()), 105u);
    // It shows the live state again at the first tick whose picture differs from the last one
    // handed to the shell.
    ASSERT_TRUE(Ticks(1));
    EXPECT_EQ(ShownPicture(window.GetHandle()), 108u);
}

TEST_F(MainWindow, ExitRemovesTheIconAndEndsTheLoopWithZero) {
    ASSERT_TRUE(CreateWindow());
    RwTestQueuePopupMenuChoice(ZMainWnd::CmdExit);
    ASSERT_TRUE(RwTestClickShellIcon(window.GetHandle(), ZMainWnd::TrayIconId, WM_LBUTTONUP));
    EXPECT_FALSE(DispatchUntil([](const MSG&) { return false; }, 2s));
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(IsWindow(window.GetHandle()));
    EXPECT_TRUE(RwTestShellIcons().empty());
}

// A wrapper object whose end is counted, standing for the wrappers a click makes.
struct CountedWrapper : ZObject {
    static int alive;
    CountedWrapper() { ++alive; }
    ~CountedWrapper() override { --alive; }
    bool IsValid() const override { return true; }
};
int CountedWrapper::alive = 0;

// Every message handled makes a wrapper; by the next message the loop must have freed it.
LRESULT CALLBACK WrapperMakingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER) return DefWindowProcA(window, message, wParam, lParam);
    if (wParam == 1) *reinterpret_cast<int*>(lParam) = CountedWrapper::alive;
    AddTemporary(new CountedWrapper);
    return 0;
}

TEST(UserInterfaceLoop, FreesTheTemporariesOfEachMessage) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WrapperMakingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RwTrayLoopTest";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "RwTrayLoopTest", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);

    int aliveAtSecond = -1;
    PostMessageA(window, WM_USER, 0, 0);
    PostMessageA(window, WM_USER, 1, reinterpret_cast<LPARAM>(&aliveAtSecond));
    PostQuitMessage(0);
    ZUIThread::RunMessageLoop();
    EXPECT_EQ(aliveAtSecond, 0);
    EXPECT_EQ(CountedWrapper::alive, 0);
    DestroyWindow(window);
}

// When the LocoBuffer is gone while a dialog of the tray is open, the window cannot close in
// time; the main thread then stops waiting after the bound, and start-up ends the process.
TEST(UserInterfaceThread, ClosingGivesUpAfterTheBoundWhileANoticeStaysOpen) {
    FILE* program = popen(RW_STUCK_DIALOG_PROGRAM " 2>/dev/null", "r");
    ASSERT_NE(program, nullptr);
    char line[128] = {};
    bool read = std::fgets(line, sizeof line, program) != nullptr;
    int status = pclose(program);
    ASSERT_TRUE(read);
    int closed = -1;
    long long waited = -1;
    ASSERT_EQ(std::sscanf(line, "closed=%d waited=%lld", &closed, &waited), 2) << line;
    EXPECT_EQ(closed, 0);
    EXPECT_GE(waited, 1950);
    EXPECT_LE(waited, 2600);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
