// Binding windows to their objects: creation through the pending map and the creation ticket,
// subclassing, the sequence of a window's destruction, and lookups by handle.
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "platform/testing.h"
#include "window/WindowClass.h"
#include "window/ZWnd.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* ClassName = "WndBindingTestClass";
constexpr const char* ForeignClassName = "WndBindingForeignClass";

std::vector<std::string> g_log;

std::string MessageName(UINT message) {
    switch (message) {
    case WM_NULL: return "WM_NULL";
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_GETMINMAXINFO: return "WM_GETMINMAXINFO";
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_NCCALCSIZE: return "WM_NCCALCSIZE";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_USER: return "WM_USER";
    default: return std::to_string(message);
    }
}

// The procedure of a window made outside the class library, which subclassing replaces.
LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_log.push_back("old " + MessageName(message));
    return DefWindowProcA(window, message, wParam, lParam);
}

// Logs every message it is handed (with whether its handle was set by then) and the steps of
// closing and destruction.
class LoggingWnd : public ZWnd {
public:
    bool createResult = true;
    bool canClose = true;
    bool refuseSubclass = false;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        g_log.push_back(MessageName(message) + (GetHandle() != nullptr ? "" : " unbound"));
        return ZWnd::WindowProc(message, wParam, lParam);
    }
    bool OnCreate(CREATESTRUCTA*) override { return createResult; }
    bool CanClose() override {
        g_log.push_back("CanClose");
        return canClose;
    }
    bool PreSubclass() override { return !refuseSubclass; }
    void OnNcDestroy() override { g_log.push_back("OnNcDestroy"); }
    void PostNcDestroy() override {
        const auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(GetHandle(), GWLP_WNDPROC));
        g_log.push_back(std::string("PostNcDestroy") + (FromHandle(GetHandle()) == this ? " bound" : " unbound") +
                        (procedure == ForeignProc ? " old procedure" : "") +
                        " help quit " + std::to_string(RwTestWinHelpCalls().size()));
    }
};

class WndBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterWndClass(ClassName, 0, nullptr, nullptr, nullptr, nullptr));
        WNDCLASSEXA foreign{};
        foreign.cbSize = sizeof foreign;
        foreign.lpfnWndProc = ForeignProc;
        foreign.hInstance = GetApp()->GetHandle();
        foreign.lpszClassName = ForeignClassName;
        WNDCLASSEXA existing{};
        if (!GetClassInfoExA(foreign.hInstance, ForeignClassName, &existing)) {
            ASSERT_NE(RegisterClassExA(&foreign), 0);
        }
        RwTestClearWindowRecords();
        g_log.clear();
    }
    void TearDown() override { FlushTemporaries(); }

    static HWND CreateForeign() {
        HWND window = CreateWindowExA(0, ForeignClassName, "foreign", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      GetApp()->GetHandle(), nullptr);
        g_log.clear();
        return window;
    }
    static bool CreateIn(ZWnd& window) {
        return window.Create(ClassName, "binding", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr);
    }
};

TEST_F(WndBindingTest, FirstMessageOfANewWindowIsDispatchedToItsBoundObject) {
    LoggingWnd window;
    const int ticket = detail::CreationTicket();
    ASSERT_TRUE(CreateIn(window));
    const std::vector<std::string> expected = {"WM_GETMINMAXINFO", "WM_NCCREATE", "WM_NCCALCSIZE", "WM_CREATE"};
    EXPECT_EQ(g_log, expected);
    EXPECT_EQ(ZWnd::FromHandle(window.GetHandle()), &window);
    EXPECT_EQ(detail::CreationTicket(), ticket + 1);
    EXPECT_TRUE(window.DestroyWnd());
}

TEST_F(WndBindingTest, CreationTicketWrapsToZeroBeforeItsLimit) {
    detail::SetCreationTicket(16777214);
    LoggingWnd window;
    ASSERT_TRUE(CreateIn(window));
    EXPECT_EQ(ZWnd::FromHandle(window.GetHandle()), &window);
    EXPECT_EQ(detail::CreationTicket(), 0);
    EXPECT_TRUE(window.DestroyWnd());
}

TEST_F(WndBindingTest, RefusedCreationLeavesNoBindingAndTheObjectReusable) {
    LoggingWnd window;
    window.createResult = false;
    EXPECT_FALSE(CreateIn(window));
    const HWND refused = window.GetHandle();
    EXPECT_FALSE(IsWindow(refused));
    EXPECT_NE(ZWnd::FromHandle(refused), &window);

    window.createResult = true;
    ASSERT_TRUE(CreateIn(window));
    EXPECT_EQ(ZWnd::FromHandle(window.GetHandle()), &window);
    EXPECT_TRUE(window.DestroyWnd());
}

// A creation that fails before the window procedure runs must not leave its object waiting:
// the next window of a framework class made without an object would be bound to it.
TEST_F(WndBindingTest, FailedCreationLeavesNoPendingObject) {
    LoggingWnd stale;
    EXPECT_FALSE(stale.Create("NoSuchClass", "none", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
    HWND unowned = CreateWindowExA(0, ClassName, "unowned", 0, 0, 0, 10, 10, nullptr, nullptr,
                                   GetApp()->GetHandle(), nullptr);
    ASSERT_NE(unowned, nullptr);
    EXPECT_EQ(stale.GetHandle(), nullptr);
    EXPECT_TRUE(g_log.empty());
    EXPECT_NE(ZWnd::FromHandle(unowned), &stale);
    EXPECT_TRUE(DestroyWindow(unowned));
}

class ThrowingWnd : public ZWnd {
public:
    bool OnCreate(CREATESTRUCTA*) override { throw std::runtime_error("refused"); }
};

TEST_F(WndBindingTest, ExceptionFromAHandlerDuringCreationFailsTheCreation) {
    ThrowingWnd window;
    EXPECT_FALSE(window.Create(ClassName, "throws", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
    EXPECT_FALSE(IsWindow(window.GetHandle()));
    EXPECT_NE(ZWnd::FromHandle(window.GetHandle()), &window);
}

TEST_F(WndBindingTest, ClosingRunsTheDestructionSequence) {
    LoggingWnd window;
    ASSERT_TRUE(CreateIn(window));
    const HWND handle = window.GetHandle();
    g_log.clear();

    window.canClose = false;
    EXPECT_TRUE(window.Close());
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(g_log, (std::vector<std::string>{"WM_SYSCOMMAND", "WM_CLOSE", "CanClose"}));

    g_log.clear();
    window.canClose = true;
    EXPECT_TRUE(window.Close());
    const std::vector<std::string> expected = {
        "WM_SYSCOMMAND", "WM_CLOSE", "CanClose", "WM_DESTROY", "WM_NCDESTROY", "OnNcDestroy",
        "PostNcDestroy unbound help quit 1",
    };
    EXPECT_EQ(g_log, expected);
    EXPECT_FALSE(IsWindow(handle));
    const std::vector<RwTestWinHelpCall> help = RwTestWinHelpCalls();
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].window, handle);
    EXPECT_EQ(help[0].command, HELP_QUIT);
    EXPECT_EQ(help[0].data, 0u);
    EXPECT_EQ(help[0].helpFile, std::string(GetHelpPath()));
    // The object keeps its stale handle and can be used for a new window.
    EXPECT_EQ(window.GetHandle(), handle);
    ASSERT_TRUE(CreateIn(window));
    EXPECT_TRUE(window.DestroyWnd());
}

TEST_F(WndBindingTest, SubclassedWindowGetsItsOldProcedureBackWhenDestroyed) {
    HWND foreign = CreateForeign();
    LoggingWnd window;
    ASSERT_TRUE(window.Attach(foreign));
    EXPECT_TRUE(g_log.empty());   // attaching binds nothing
    ASSERT_TRUE(window.Subclass());
    EXPECT_EQ(g_log, (std::vector<std::string>{"WM_NULL", "old WM_NULL"}));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(foreign, GWLP_WNDPROC)), FrameworkWndProc);
    EXPECT_EQ(ZWnd::FromHandle(foreign), &window);

    g_log.clear();
    SendMessageA(foreign, WM_USER, 0, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"WM_USER", "old WM_USER"}));

    g_log.clear();
    ASSERT_TRUE(DestroyWindow(foreign));
    const std::vector<std::string> expected = {
        "WM_DESTROY", "old WM_DESTROY", "WM_NCDESTROY", "OnNcDestroy", "old WM_NCDESTROY",
        "PostNcDestroy unbound old procedure help quit 1",
    };
    EXPECT_EQ(g_log, expected);
}

TEST_F(WndBindingTest, UnsubclassAndDetachHandTheWindowBack) {
    HWND foreign = CreateForeign();
    LoggingWnd window;
    ASSERT_TRUE(window.Attach(foreign));
    ASSERT_TRUE(window.Subclass());
    EXPECT_EQ(window.Unsubclass(), foreign);
    EXPECT_EQ(window.Unsubclass(), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(foreign, GWLP_WNDPROC)), ForeignProc);
    EXPECT_NE(ZWnd::FromHandle(foreign), &window);
    EXPECT_EQ(window.GetHandle(), foreign);

    ASSERT_TRUE(window.Subclass());
    EXPECT_EQ(window.Detach(), foreign);
    EXPECT_EQ(window.GetHandle(), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(foreign, GWLP_WNDPROC)), ForeignProc);
    g_log.clear();
    SendMessageA(foreign, WM_USER, 0, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"old WM_USER"}));
    EXPECT_TRUE(DestroyWindow(foreign));
}

TEST_F(WndBindingTest, SubclassRefusalsChangeNothing) {
    LoggingWnd unattached;
    EXPECT_FALSE(unattached.Subclass());

    HWND foreign = CreateForeign();
    LoggingWnd refusing;
    refusing.refuseSubclass = true;
    ASSERT_TRUE(refusing.Attach(foreign));
    EXPECT_FALSE(refusing.Subclass());
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(foreign, GWLP_WNDPROC)), ForeignProc);
    EXPECT_NE(ZWnd::FromHandle(foreign), &refusing);
    EXPECT_TRUE(g_log.empty());
    EXPECT_TRUE(DestroyWindow(foreign));

    LoggingWnd gone;
    ASSERT_TRUE(gone.Attach(CreateForeign()));
    ASSERT_TRUE(DestroyWindow(gone.GetHandle()));
    EXPECT_FALSE(gone.Subclass());
    EXPECT_FALSE(gone.Attach(gone.GetHandle()));
}

// A window made by CreateEx runs FrameworkWndProc already; keeping that as the "previous"
// procedure would make default processing call itself without end.
TEST_F(WndBindingTest, SubclassOfAFrameworkWindowKeepsItAsItIs) {
    LoggingWnd window;
    ASSERT_TRUE(CreateIn(window));
    EXPECT_TRUE(window.Subclass());
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window.GetHandle(), GWLP_WNDPROC)), FrameworkWndProc);
    g_log.clear();
    EXPECT_EQ(SendMessageA(window.GetHandle(), WM_USER, 0, 0), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"WM_USER"}));
    EXPECT_TRUE(window.DestroyWnd());
}

// A handler that dispatches another message to its own window and then asks for default
// processing of its own message.
class NestingWnd : public ZWnd {
public:
    std::vector<WPARAM> defaults;
    LRESULT DefaultProc() override {
        defaults.push_back(currentWParam);
        return 0x55;
    }
    void OnCommand(UINT id, UINT) override {
        if (id != 1) return;
        SendMessageA(GetHandle(), WM_COMMAND, 2, 0);
        SetNotHandled();
    }
};

TEST_F(WndBindingTest, NestedDispatchLeavesTheOuterHandledFlagToTheOuterHandler) {
    NestingWnd window;
    ASSERT_TRUE(window.Create(ClassName, "nesting", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
    window.defaults.clear();
    EXPECT_EQ(SendMessageA(window.GetHandle(), WM_COMMAND, 1, 0), 0x55);
    EXPECT_EQ(window.defaults, (std::vector<WPARAM>{1}));
    EXPECT_TRUE(window.DestroyWnd());
}

TEST_F(WndBindingTest, FromHandleGivesTheBoundObjectOrANewTemporary) {
    EXPECT_EQ(ZWnd::FromHandle(nullptr), nullptr);
    LoggingWnd window;
    ASSERT_TRUE(CreateIn(window));
    EXPECT_EQ(ZWnd::FromHandle(window.GetHandle()), &window);

    HWND foreign = CreateForeign();
    ZWnd* first = ZWnd::FromHandle(foreign);
    ZWnd* second = ZWnd::FromHandle(foreign);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->GetHandle(), foreign);
    EXPECT_EQ(second->GetHandle(), foreign);
    FlushTemporaries();
    EXPECT_TRUE(IsWindow(foreign));   // deleting a temporary leaves its window alone
    EXPECT_TRUE(DestroyWindow(foreign));
    EXPECT_TRUE(window.DestroyWnd());
}

TEST_F(WndBindingTest, DestroyingTheApplicationsMainWindowPostsTheQuitMessage) {
    LoggingWnd other;
    LoggingWnd main;
    ASSERT_TRUE(CreateIn(other));
    ASSERT_TRUE(CreateIn(main));
    GetApp()->SetMainWindow(&main);
    MSG message{};
    EXPECT_TRUE(other.DestroyWnd());
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(main.DestroyWnd());
    GetApp()->SetMainWindow(nullptr);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(WndBindingTest, FitToParentFillsTheParentsClientArea) {
    LoggingWnd parent;
    ASSERT_TRUE(parent.Create(ClassName, "parent", 0, 0, 5, 6, 120, 80, nullptr, nullptr, nullptr));
    LoggingWnd child;
    ASSERT_TRUE(child.Create(ClassName, "child", WS_CHILD, 0, 1, 2, 3, 4, parent.GetHandle(), nullptr, nullptr));
    child.FitToParent();
    const RECT client = child.GetClientRect();
    EXPECT_EQ(client.right, 120);
    EXPECT_EQ(client.bottom, 80);
    RECT placed{};
    ASSERT_TRUE(GetWindowRect(child.GetHandle(), &placed));
    EXPECT_EQ(placed.left, 5);   // at the parent's client origin
    EXPECT_EQ(placed.top, 6);
    EXPECT_TRUE(parent.DestroyWnd());
}

TEST_F(WndBindingTest, RegisterWndClassKeepsTheFirstRegistration) {
    ASSERT_TRUE(RegisterWndClass("WndBindingOnce", CS_HREDRAW, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(RegisterWndClass("WndBindingOnce", CS_VREDRAW, nullptr, nullptr, nullptr, nullptr));
    WNDCLASSEXA registered{};
    ASSERT_TRUE(GetClassInfoExA(GetApp()->GetHandle(), "WndBindingOnce", &registered));
    EXPECT_EQ(registered.style, CS_HREDRAW);
    EXPECT_EQ(registered.lpfnWndProc, FrameworkWndProc);
    EXPECT_EQ(registered.cbClsExtra, 0);
    EXPECT_EQ(registered.cbWndExtra, 0);
}

TEST_F(WndBindingTest, MessageBoxIsOwnedByTheWindowWithTheApplicationNameForNoCaption) {
    LoggingWnd window;
    ASSERT_TRUE(CreateIn(window));
    RwTestResetMessageBoxes();
    EXPECT_EQ(window.MessageBox("text", MB_OK, nullptr), IDOK);
    EXPECT_EQ(window.MessageBox("text", MB_OK, "caption"), IDOK);
    const std::vector<RwTestMessageBox> boxes = RwTestMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, window.GetHandle());
    EXPECT_EQ(boxes[0].caption, std::string(GetAppName()));
    EXPECT_EQ(boxes[1].caption, "caption");
    EXPECT_TRUE(window.DestroyWnd());
}

}  // namespace
