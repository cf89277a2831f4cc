// The simulated shell's notification area, its trace file, and the system module through which
// the tray finds AllowSetForegroundWindow.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// An .ico file with one 16 by 16 picture of 16 colours.
const BYTE kSmallIcon[] = {0, 0, 1, 0, 1, 0,                                  // ICONDIR
                           16, 16, 16, 0, 1, 0, 4, 0, 8, 0, 0, 0, 22, 0, 0, 0,   // ICONDIRENTRY
                           1, 2, 3, 4, 5, 6, 7, 8};
const win32::rc::IconResource kIcons[] = {{7205, kSmallIcon, sizeof kSmallIcon}, {7208, kSmallIcon, sizeof kSmallIcon}};
const win32::rc::Table kTable = {.icons = kIcons, .iconCount = std::size(kIcons)};
const win32::rc::Registration kRegistration(kTable);

constexpr UINT kCallback = 0x8001;

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateTrayWindow() {
    static const ATOM registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PlainProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ShellTestWindow";
        return RegisterClassExA(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    return CreateWindowExA(0, "ShellTestWindow", "", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HICON Icon(WORD id) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_SHARED));
}

// A record as the tray fills it: cleared over its full size, cbSize of the first version.
NOTIFYICONDATAA Record(HWND window, UINT id, UINT flags, HICON icon = nullptr, const char* tip = "") {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NotifyIconDataV1Size;
    data.hWnd = window;
    data.uID = id;
    data.uFlags = flags;
    data.uCallbackMessage = (flags & NIF_MESSAGE) != 0 ? kCallback : 0;
    data.hIcon = icon;
    lstrcpynA(data.szTip, tip, sizeof data.szTip);
    return data;
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        RwTestResetDesktop();
        window = CreateTrayWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        RwTestResetDesktop();
    }
    BOOL Notify(DWORD message, NOTIFYICONDATAA data) { return Shell_NotifyIconA(message, &data); }
    RwTestShellIcon OnlyIcon() {
        std::vector<RwTestShellIcon> icons = RwTestShellIcons();
        EXPECT_EQ(icons.size(), 1u);
        return icons.empty() ? RwTestShellIcon{} : icons[0];
    }
    HWND window = nullptr;
};

TEST_F(Shell, KeepsIconsByWindowAndIdAndRefusesWhatDoesNotFit) {
    struct Step {
        DWORD message;
        UINT id;
        UINT flags;
        BOOL result;
        DWORD error;
    } steps[] = {
        {NIM_MODIFY, 101, NIF_ICON, FALSE, ERROR_INVALID_PARAMETER},
        {NIM_DELETE, 101, 0, FALSE, ERROR_INVALID_PARAMETER},
        {NIM_ADD, 101, NIF_MESSAGE | NIF_ICON | NIF_TIP, TRUE, ERROR_SUCCESS},
        {NIM_ADD, 101, NIF_MESSAGE | NIF_ICON | NIF_TIP, FALSE, ERROR_ALREADY_EXISTS},
        {NIM_ADD, 102, NIF_ICON, TRUE, ERROR_SUCCESS},
        {NIM_MODIFY, 101, NIF_ICON, TRUE, ERROR_SUCCESS},
        {NIM_DELETE, 102, 0, TRUE, ERROR_SUCCESS},
        {NIM_DELETE, 102, 0, FALSE, ERROR_INVALID_PARAMETER},
    };
    for (const Step& s : steps) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(Notify(s.message, Record(window, s.id, s.flags, Icon(7205), "tip")), s.result)
            << s.message << " " << s.id;
        EXPECT_EQ(GetLastError(), s.error) << s.message << " " << s.id;
    }
    std::vector<RwTestShellCall> calls = RwTestShellCalls();
    ASSERT_EQ(calls.size(), std::size(steps));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].message, steps[i].message);
        EXPECT_EQ(calls[i].window, window);
        EXPECT_EQ(calls[i].id, steps[i].id);
        EXPECT_EQ(calls[i].flags, steps[i].flags);
        EXPECT_EQ(calls[i].result, steps[i].result);
    }
    RwTestShellIcon icon = OnlyIcon();
    EXPECT_EQ(icon.window, window);
    EXPECT_EQ(icon.id, 101u);

    // The same id of another window is another icon.
    HWND other = CreateTrayWindow();
    EXPECT_TRUE(Notify(NIM_ADD, Record(other, 101, NIF_ICON, Icon(7205))));
    EXPECT_EQ(RwTestShellIcons().size(), 2u);
    DestroyWindow(other);

    NOTIFYICONDATAA tooSmall = Record(window, 103, NIF_ICON);
    tooSmall.cbSize = NotifyIconDataV1Size - 1;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &tooSmall));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Shell, ModifyTakesOnlyTheFieldsNamed) {
    ASSERT_TRUE(Notify(NIM_ADD, Record(window, 101, NIF_MESSAGE | NIF_ICON | NIF_TIP, Icon(7205), "first")));
    // The record of a picture change carries an empty tip and no callback message; neither may
    // reach the icon.
    ASSERT_TRUE(Notify(NIM_MODIFY, Record(window, 101, NIF_ICON, Icon(7208))));
    RwTestShellIcon icon = OnlyIcon();
    EXPECT_EQ(icon.icon, Icon(7208));
    EXPECT_EQ(icon.tip, "first");
    EXPECT_EQ(icon.callbackMessage, kCallback);

    ASSERT_TRUE(Notify(NIM_MODIFY, Record(window, 101, NIF_TIP, nullptr, "second")));
    ASSERT_TRUE(Notify(NIM_MODIFY, Record(window, 101, 0)));
    icon = OnlyIcon();
    EXPECT_EQ(icon.icon, Icon(7208));
    EXPECT_EQ(icon.tip, "second");
    EXPECT_EQ(icon.flags, NIF_MESSAGE | NIF_ICON | NIF_TIP);

    // An icon added without a picture has none until one is given.
    ASSERT_TRUE(Notify(NIM_ADD, Record(window, 102, NIF_TIP, Icon(7205), "no picture")));
    EXPECT_EQ(RwTestShellIcons()[1].icon, nullptr);
    EXPECT_EQ(RwTestShellIcons()[1].flags, NIF_TIP);
}

TEST_F(Shell, TheRecordSizeDecidesHowMuchOfTheTipIsRead) {
    const std::string tip40(40, 'a');
    const std::string tip127 = std::string(60, 'b') + std::string(67, 'c');
    struct Case {
        DWORD cbSize;
        std::string tip;
        std::string kept;
    } cases[] = {
        {NotifyIconDataV1Size, tip40, tip40},
        {NotifyIconDataV1Size, tip127, tip127.substr(0, 64)},   // no NUL in the first 64 bytes
        {sizeof(NOTIFYICONDATAA), tip127, tip127},
    };
    UINT id = 101;
    for (const Case& c : cases) {
        NOTIFYICONDATAA data = Record(window, id, NIF_TIP, nullptr, c.tip.c_str());
        data.cbSize = c.cbSize;
        ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
        EXPECT_EQ(RwTestShellIcons().back().tip, c.kept) << c.cbSize << " " << c.tip.size();
        ++id;
    }
}

TEST_F(Shell, AClickPostsTheCallbackMessageToTheWindow) {
    ASSERT_TRUE(Notify(NIM_ADD, Record(window, 101, NIF_MESSAGE | NIF_ICON, Icon(7205))));
    ASSERT_TRUE(Notify(NIM_ADD, Record(window, 102, NIF_ICON, Icon(7205))));
    EXPECT_TRUE(RwTestClickShellIcon(window, 101, WM_RBUTTONUP));
    EXPECT_FALSE(RwTestClickShellIcon(window, 102, WM_RBUTTONUP));   // no callback message
    EXPECT_FALSE(RwTestClickShellIcon(window, 103, WM_RBUTTONUP));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kCallback);
    EXPECT_EQ(message.wParam, 101u);
    EXPECT_EQ(message.lParam, static_cast<LPARAM>(WM_RBUTTONUP));
    EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
}

TEST_F(Shell, ARestartLosesTheIconsAndAnnouncesTheTaskbar) {
    ASSERT_TRUE(Notify(NIM_ADD, Record(window, 101, NIF_MESSAGE | NIF_ICON, Icon(7205))));
    RwTestRestartShell();
    EXPECT_TRUE(RwTestShellIcons().empty());
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE));
    // The icon can be added again, as the tray does when it hears the announcement.
    EXPECT_TRUE(Notify(NIM_ADD, Record(window, 101, NIF_MESSAGE | NIF_ICON, Icon(7205))));
}

TEST_F(Shell, PlannedFailuresChangeNothingAndAreRecorded) {
    RwTestFailShellCalls(2);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Notify(NIM_ADD, Record(window, 101, NIF_ICON, Icon(7205))));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_FALSE(Notify(NIM_ADD, Record(window, 101, NIF_ICON, Icon(7205))));
    EXPECT_TRUE(RwTestShellIcons().empty());
    EXPECT_TRUE(Notify(NIM_ADD, Record(window, 101, NIF_ICON, Icon(7205))));
    std::vector<RwTestShellCall> calls = RwTestShellCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[0].result);
    EXPECT_FALSE(calls[1].result);
    EXPECT_TRUE(calls[2].result);
}

TEST_F(Shell, TheTraceFileHasOneLinePerChange) {
    const std::string path = ::testing::TempDir() + "shell_trace_" + std::to_string(getpid()) + ".txt";
    std::remove(path.c_str());
    ASSERT_EQ(setenv("RW_SHELL_TRACE", path.c_str(), 1), 0);
    Notify(NIM_ADD, Record(window, 101, NIF_MESSAGE | NIF_ICON | NIF_TIP, Icon(7205),
                           "Railwick Server - COM1 / TCP:9851 \x95\x5C\x8E\xA6"));
    Notify(NIM_ADD, Record(window, 101, NIF_ICON, Icon(7205)));   // refused: no line
    Notify(NIM_MODIFY, Record(window, 101, NIF_ICON, Icon(7208)));
    Notify(NIM_MODIFY, Record(window, 101, NIF_ICON | NIF_TIP, nullptr, "two\nlines"));
    Notify(NIM_DELETE, Record(window, 101, 0));
    RwTestRestartShell();
    unsetenv("RW_SHELL_TRACE");
    Notify(NIM_ADD, Record(window, 101, NIF_ICON, Icon(7205)));   // no trace any more

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    const std::vector<std::string> expected = {
        "add 101 tip=Railwick Server - COM1 / TCP:9851 表示 icon=7205",
        "modify 101 icon=7208",
        "modify 101 tip=two lines icon=none",
        "delete 101",
        "restart",
    };
    EXPECT_EQ(lines, expected);
    std::remove(path.c_str());
}

TEST_F(Shell, CallsFromSeveralThreadsEachTakeEffectOnce) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            const UINT id = 200 + t;
            for (int round = 0; round < kRounds; ++round) {
                EXPECT_TRUE(Notify(NIM_ADD, Record(window, id, NIF_MESSAGE | NIF_ICON, Icon(7205))));
                EXPECT_TRUE(Notify(NIM_MODIFY, Record(window, id, NIF_ICON, Icon(7208))));
                EXPECT_TRUE(Notify(NIM_DELETE, Record(window, id, 0)));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(RwTestShellIcons().empty());
    EXPECT_EQ(RwTestShellCalls().size(), static_cast<std::size_t>(kThreads * kRounds * 3));
}

TEST(SystemModule, User32IsTheLayerAndOffersAllowSetForegroundWindow) {
    HMODULE user32 = GetModuleHandleA("User32.dll");
    ASSERT_NE(user32, nullptr);
    EXPECT_NE(user32, GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA("USER32"), user32);
    EXPECT_EQ(LoadLibraryA("user32.dll"), user32);
    EXPECT_TRUE(FreeLibrary(user32));

    using AllowFunction = BOOL (*)(DWORD);
    FARPROC found = GetProcAddress(user32, "AllowSetForegroundWindow");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(reinterpret_cast<AllowFunction>(reinterpret_cast<void (*)()>(found)), &AllowSetForegroundWindow);

    RwTestSetAllowSetForegroundWindowAbsent(true);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetProcAddress(user32, "AllowSetForegroundWindow"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    RwTestSetAllowSetForegroundWindowAbsent(false);

    struct Case {
        HMODULE module;
        LPCSTR name;
        DWORD error;
    } cases[] = {
        {user32, "SetForegroundWindow", ERROR_PROC_NOT_FOUND},
        {user32, MAKEINTRESOURCEA(1), ERROR_PROC_NOT_FOUND},
        {GetModuleHandleA(nullptr), "AllowSetForegroundWindow", ERROR_MOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetProcAddress(c.module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadLibraryA("shell32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(FreeLibrary(GetModuleHandleA(nullptr)));
}

}  // namespace
