// The window manager's windows: classes, the message sequences of creation, destruction and
// closing, window data, moving and painting, as the class library and the hyperlink control
// rely on them.
#include "platform/win32.h"
#include "platform/testing.h"
#include "helpers/MessageRecorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using rwtest::MessageRecorder;
using rwtest::Received;

LRESULT CALLBACK PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE Module(std::intptr_t value) { return reinterpret_cast<HINSTANCE>(value); }

WNDCLASSEXA PlainClass(const char* name, HINSTANCE instance, UINT style = 0) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    return windowClass;
}

TEST(WindowClass, LocalToItsModuleGlobalToAll) {
    WNDCLASSEXA local = PlainClass("RwLocalClass", Module(0x1000));
    WNDCLASSEXA global = PlainClass("RwGlobalClass", Module(0x1000), CS_GLOBALCLASS);
    ASSERT_NE(RegisterClassExA(&local), 0);
    ASSERT_NE(RegisterClassExA(&global), 0);

    WNDCLASSEXA found{};
    found.cbSize = sizeof found;
    EXPECT_TRUE(GetClassInfoExA(Module(0x1000), "rwlocalclass", &found));   // names ignore case
    EXPECT_EQ(found.lpfnWndProc, &PlainProcedure);
    EXPECT_TRUE(GetClassInfoExA(Module(0x2000), "RwGlobalClass", &found));

    SetLastError(0);
    EXPECT_FALSE(GetClassInfoExA(Module(0x2000), "RwLocalClass", &found));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "RwLocalClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, Module(0x2000), nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

    // Another module may have a local class of the same name; the same module may not.
    WNDCLASSEXA otherModule = PlainClass("RwLocalClass", Module(0x2000));
    EXPECT_NE(RegisterClassExA(&otherModule), 0);
    for (WNDCLASSEXA again : {local, PlainClass("RWGLOBALCLASS", Module(0x3000))}) {
        SetLastError(0);
        EXPECT_EQ(RegisterClassExA(&again), 0) << again.lpszClassName;
        EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    }

    HWND window = CreateWindowExA(0, "RwGlobalClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, Module(0x2000), nullptr);
    ASSERT_NE(window, nullptr);
    char name[8];
    EXPECT_EQ(GetClassNameA(window, name, sizeof name), 7);
    EXPECT_STREQ(name, "RwGloba");
    DestroyWindow(window);
}

// The sequences Windows sends; each case is checked against the recorded messages.
TEST(WindowMessages, CreationDestructionAndClosingInWindowsOrder) {
    MessageRecorder recorder;

    HWND top = recorder.Create();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{
                                   {top, WM_GETMINMAXINFO}, {top, WM_NCCREATE}, {top, WM_NCCALCSIZE}, {top, WM_CREATE}}));

    HWND child = recorder.Create(top, 0, 7);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{{child, WM_NCCREATE}, {child, WM_NCCALCSIZE}, {child, WM_CREATE}}));

    // Destruction: WM_DESTROY from the top down, WM_NCDESTROY from the bottom up.
    ASSERT_TRUE(DestroyWindow(top));
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{
                                   {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    // A new window never gets the handle of one that is gone.
    HWND next = recorder.Create();
    EXPECT_NE(next, top);
    EXPECT_NE(next, child);
    recorder.Take();

    // Closing through the system menu command reaches DestroyWindow by the default procedure.
    SendMessageA(next, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{
                                   {next, WM_SYSCOMMAND}, {next, WM_CLOSE}, {next, WM_DESTROY}, {next, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(next));
}

TEST(WindowMessages, VisibleWindowsAreShownAfterCreationAndHiddenBeforeDestruction) {
    MessageRecorder recorder;
    bool visibleInCreate = true;
    recorder.onMessage = [&](HWND window, UINT message, WPARAM, LPARAM) {
        if (message == WM_CREATE) visibleInCreate = (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
    };
    HWND window = recorder.Create(nullptr, WS_VISIBLE);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(visibleInCreate);
    auto messages = [&] {
        std::vector<UINT> got;
        for (const Received& r : recorder.Take()) got.push_back(r.message);
        return got;
    };
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SHOWWINDOW,
                                             WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}));
    EXPECT_FALSE(ShowWindow(window, SW_SHOW) == FALSE);   // was visible already: no messages
    EXPECT_TRUE(messages().empty());
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(messages(),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_DESTROY, WM_NCDESTROY}));
}

TEST(WindowMessages, RefusedCreationsStillDestroyTheWindow) {
    struct Case {
        UINT refused;
        LRESULT answer;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {WM_CREATE, -1, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
        {WM_NCCREATE, FALSE, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        MessageRecorder recorder;
        recorder.answers[c.refused] = c.answer;
        HWND created = recorder.Create();
        EXPECT_EQ(created, nullptr);
        std::vector<Received> got = recorder.Take();
        ASSERT_FALSE(got.empty());
        HWND window = got.front().window;
        std::vector<UINT> messages;
        for (const Received& r : got) {
            EXPECT_EQ(r.window, window);
            messages.push_back(r.message);
        }
        EXPECT_EQ(messages, c.expected) << "refused " << c.refused;
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST(WindowMessages, TheFirstMessageComesBeforeCreateAndCarriesTheHandle) {
    MessageRecorder recorder;
    HWND first = nullptr;
    UINT firstMessage = 0;
    recorder.onMessage = [&](HWND window, UINT message, WPARAM, LPARAM) {
        if (first == nullptr) {
            first = window;
            firstMessage = message;
            EXPECT_TRUE(IsWindow(window));
        }
    };
    HWND window = recorder.Create();
    EXPECT_EQ(first, window);
    EXPECT_NE(firstMessage, WM_CREATE);
    DestroyWindow(window);
}

TEST(WindowMessages, MoveSendsPositionMessagesOnlyForWhatChanged) {
    MessageRecorder recorder;
    HWND window = recorder.Create(nullptr, WS_VISIBLE);
    recorder.Take();
    const struct {
        int x, y, width, height;
        std::vector<UINT> expected;
    } moves[] = {
        {30, 40, 100, 50, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}},
        {30, 40, 120, 60, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE}},
        {1, 2, 3, 4, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}},
        {1, 2, 3, 4, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}},
    };
    for (const auto& move : moves) {
        ASSERT_TRUE(MoveWindow(window, move.x, move.y, move.width, move.height, FALSE));
        std::vector<UINT> got;
        for (const Received& r : recorder.Take()) got.push_back(r.message);
        EXPECT_EQ(got, move.expected) << move.x << "," << move.y << " " << move.width << "x" << move.height;
    }
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.bottom, 6);
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right, 3);
    EXPECT_EQ(rect.bottom, 4);
    DestroyWindow(window);
}

TEST(WindowState, ChildRectanglesAndIdentifiers) {
    MessageRecorder recorder;
    HWND parent = recorder.Create();
    HWND child = recorder.Create(parent, 0, 42);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetDlgItem(parent, 42), child);
    EXPECT_EQ(GetDlgCtrlID(child), 42);
    SetLastError(0);
    EXPECT_EQ(GetDlgItem(parent, 43), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(child, &rect));   // the parent's position is added
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 40);
    DestroyWindow(parent);
}

TEST(WindowState, LongsHoldPointers) {
    MessageRecorder recorder;
    HWND window = recorder.Create();
    static int target;
    auto pointer = reinterpret_cast<LONG_PTR>(&target);
    for (int index : {0, 4, GWLP_USERDATA, GWLP_ID}) {
        EXPECT_EQ(SetWindowLongPtrA(window, index, pointer), 0) << index;
        EXPECT_EQ(GetWindowLongPtrA(window, index), pointer) << index;
    }

    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PlainProcedure)));
    EXPECT_NE(previous, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&PlainProcedure));
    recorder.Take();
    SendMessageA(window, WM_USER, 0, 0);
    EXPECT_TRUE(recorder.Take().empty());   // the new procedure has it
    CallWindowProcA(previous, window, WM_USER, 0, 0);
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{{window, WM_USER}}));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));

    EXPECT_EQ(SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_CLIPCHILDREN)), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), WS_CLIPCHILDREN);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), WS_CLIPCHILDREN);

    // Beyond the class's extra bytes, and pointers through the 32-bit functions.
    for (int index : {8, 2, -100}) {
        SetLastError(0);
        EXPECT_EQ(GetWindowLongPtrA(window, index), 0) << index;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << index;
    }
    SetLastError(0);
    EXPECT_EQ(GetWindowLongA(window, GWLP_WNDPROC), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
    DestroyWindow(window);
}

TEST(WindowState, TextIsCutToTheBuffer) {
    MessageRecorder recorder;
    HWND window = recorder.Create(nullptr, 0, 0, "created");
    char buffer[16];
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 7);   // taken by WM_NCCREATE
    EXPECT_STREQ(buffer, "created");
    ASSERT_TRUE(SetWindowTextA(window, "abcdef"));
    EXPECT_EQ(GetWindowTextLengthA(window), 6);
    const struct {
        int maxCount;
        int length;
        const char* text;
    } cuts[] = {{7, 6, "abcdef"}, {6, 5, "abcde"}, {2, 1, "a"}, {1, 0, ""}};
    for (const auto& cut : cuts) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetWindowTextA(window, buffer, cut.maxCount), cut.length);
        EXPECT_STREQ(buffer, cut.text);
    }
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(window, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');   // nothing written without room

    // Another thread reads the text without sending to the window.
    int fromThread = -1;
    std::thread([&] { fromThread = GetWindowTextA(window, buffer, sizeof buffer); }).join();
    EXPECT_EQ(fromThread, 6);
    DestroyWindow(window);
}

TEST(WindowState, OnlyTheOwningThreadDestroys) {
    MessageRecorder recorder;
    HWND window = recorder.Create();
    BOOL destroyed = TRUE;
    DWORD error = 0;
    DWORD owner = 0;
    std::thread([&] {
        SetLastError(0);
        destroyed = DestroyWindow(window);
        error = GetLastError();
        owner = GetWindowThreadProcessId(window, nullptr);
    }).join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(owner, GetCurrentThreadId());
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(WindowState, WindowsOfAnEndedThreadAreGone) {
    HWND window = nullptr;
    std::thread([&] {
        MessageRecorder recorder;
        window = recorder.Create();
    }).join();
    EXPECT_NE(window, nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST(Painting, BeginPaintErasesWhenAskedAndValidates) {
    MessageRecorder recorder;
    HWND hidden = recorder.Create();
    ASSERT_TRUE(InvalidateRect(hidden, nullptr, TRUE));
    recorder.Take();
    ASSERT_TRUE(UpdateWindow(hidden));
    EXPECT_TRUE(recorder.Take().empty());   // a hidden window is never invalid

    HWND window = recorder.Create(nullptr, WS_VISIBLE);
    PAINTSTRUCT paint{};
    BeginPaint(window, &paint);   // showing invalidated it
    EndPaint(window, &paint);

    const struct {
        BOOL erase;
        LRESULT erased;
        std::vector<UINT> expected;
        BOOL fErase;
    } cases[] = {
        {FALSE, 1, {WM_PAINT}, FALSE},
        {TRUE, 1, {WM_PAINT, WM_ERASEBKGND}, FALSE},
        {TRUE, 0, {WM_PAINT, WM_ERASEBKGND}, TRUE},   // not erased: the painter must erase
    };
    for (const auto& c : cases) {
        recorder.answers[WM_ERASEBKGND] = c.erased;
        BOOL fErase = -1;
        recorder.onMessage = [&](HWND w, UINT message, WPARAM, LPARAM) {
            if (message != WM_PAINT) return;
            PAINTSTRUCT ps{};
            EXPECT_NE(BeginPaint(w, &ps), nullptr);
            fErase = ps.fErase;
            EXPECT_EQ(ps.rcPaint.right, 100);
            EndPaint(w, &ps);
        };
        recorder.answers[WM_PAINT] = 0;
        recorder.Take();
        ASSERT_TRUE(InvalidateRect(window, nullptr, c.erase));
        ASSERT_TRUE(UpdateWindow(window));
        std::vector<UINT> got;
        for (const Received& r : recorder.Take()) got.push_back(r.message);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(fErase, c.fErase);
        ASSERT_TRUE(UpdateWindow(window));   // validated: nothing more
        EXPECT_TRUE(recorder.Take().empty());
    }
    recorder.onMessage = nullptr;
    DestroyWindow(window);
    DestroyWindow(hidden);
}

TEST(InputState, CaptureFocusEnableAndForeground) {
    RwTestClearWindowRecords();
    MessageRecorder recorder;
    HWND a = recorder.Create(nullptr, WS_VISIBLE);
    HWND b = recorder.Create(nullptr, WS_VISIBLE);

    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    EXPECT_EQ(GetCapture(), b);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);

    SetFocus(a);
    recorder.Take();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(recorder.Take(), (std::vector<Received>{{a, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));
    EXPECT_EQ(GetFocus(), b);

    EXPECT_TRUE(IsWindowEnabled(a));
    EXPECT_FALSE(EnableWindow(a, FALSE));   // was enabled
    EXPECT_FALSE(IsWindowEnabled(a));
    EXPECT_TRUE(static_cast<DWORD>(GetWindowLongA(a, GWL_STYLE)) & WS_DISABLED);
    EXPECT_TRUE(EnableWindow(a, TRUE));   // was disabled

    EXPECT_TRUE(SetForegroundWindow(a));
    EXPECT_EQ(GetForegroundWindow(), a);
    EXPECT_EQ(RwTestActiveWindow(), a);
    EXPECT_EQ(SetActiveWindow(b), a);
    EXPECT_TRUE(BringWindowToTop(b));
    EXPECT_EQ(RwTestBroughtToTop(), std::vector<HWND>{b});
    EXPECT_TRUE(SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_TRUE(RwTestIsTopmost(b));
    EXPECT_FALSE(RwTestIsTopmost(a));
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(a, &process), GetCurrentThreadId());
    EXPECT_EQ(process, GetCurrentProcessId());

    EXPECT_TRUE(AttachThreadInput(1, 2, TRUE));
    ASSERT_EQ(RwTestAttachThreadInputCalls().size(), 1u);
    EXPECT_TRUE(RwTestAttachThreadInputCalls()[0].doAttach);
    EXPECT_TRUE(WinHelpA(a, "RwServer.hlp", HELP_QUIT, 0));
    ASSERT_EQ(RwTestWinHelpCalls().size(), 1u);
    EXPECT_EQ(RwTestWinHelpCalls()[0].helpFile, "RwServer.hlp");

    // A window that is gone is no longer foreground, focused or captured.
    SetCapture(a);
    DestroyWindow(a);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
    RwTestClearWindowRecords();
}

}  // namespace
