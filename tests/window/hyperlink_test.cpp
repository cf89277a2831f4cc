// The hyperlink control on the simulated desktop: its text, its colours and font on the recording
// device context, the hover from mouse moves and from the shared timer, the click notification
// and the life of its record.
#include "window/HyperLink.h"

#include "platform/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr COLORREF Blue = 0xFF0000;
constexpr COLORREF Red = 0x0000FF;
constexpr COLORREF Purple = 0x800080;
constexpr int LinkId = 7;
constexpr char ParentClass[] = "HyperLinkTestParent";

// The parent's side: the notifications it got and the font it answers WM_GETFONT with.
struct ParentRecord {
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Command> commands;
    HFONT font = nullptr;
    bool destroyLinkOnCommand = false;
};
ParentRecord* g_parent = nullptr;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(g_parent->font);
    if (message == WM_COMMAND) {
        g_parent->commands.push_back({wParam, lParam});
        if (g_parent->destroyLinkOnCommand) DestroyWindow(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A control subclassed to have a font of its own, as a dialog's WM_SETFONT would give it.
HFONT g_linkFont = nullptr;
LRESULT CALLBACK LinkWithFontProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(g_linkFont);
    return CallWindowProcA(HyperLinkWndProc, window, message, wParam, lParam);
}

LPARAM Point(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

HFONT CreateTestFont(const char* face, LONG height) {
    LOGFONTA font{};
    font.lfHeight = height;
    std::strcpy(font.lfFaceName, face);
    return CreateFontIndirectA(&font);
}

// A parent at (100, 50) on the screen with one link at (10, 20), 200 by 30, inside it.
class HyperLinkTest : public ::testing::Test {
protected:
    static constexpr POINT InsideLink{150, 80};
    static constexpr POINT OutsideLink{40, 40};

    void SetUp() override {
        RwTestResetDesktop();
        instance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterHyperLinkClass(instance));
        WNDCLASSEXA parentClass{};
        parentClass.cbSize = sizeof parentClass;
        parentClass.lpfnWndProc = ParentProc;
        parentClass.hInstance = instance;
        parentClass.lpszClassName = ParentClass;
        RegisterClassExA(&parentClass);   // fails harmlessly from the second test on
        g_parent = &parentRecord;
        fontsAtStart = RwTestFontsAlive();
        parent = CreateParent(WS_CLIPCHILDREN);
        ASSERT_NE(parent, nullptr);
    }

    void TearDown() override {
        for (HWND window : parents) DestroyWindow(window);
        EXPECT_EQ(RwTestFontsAlive(), fontsAtStart) << "a font was leaked";
        g_parent = nullptr;
    }

    HWND CreateParent(DWORD style) {
        HWND window = CreateWindowExA(0, ParentClass, "", WS_VISIBLE | style, 100, 50, 400, 300, nullptr, nullptr,
                                      instance, nullptr);
        parents.push_back(window);
        return window;
    }

    HWND CreateLink(const char* text, HWND owner = nullptr, int x = 10) {
        return CreateWindowExA(0, HyperLinkClassName, text, WS_CHILD | WS_VISIBLE, x, 20, 200, 30,
                               owner != nullptr ? owner : parent,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(LinkId)), instance, nullptr);
    }

    static std::string TextOf(HWND window) {
        char text[1000] = {};
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    // Draws the link through WM_PRINT on a fresh recording device context; the one text drawn.
    static RwTestDrawing Print(HWND link) {
        HDC dc = RwTestCreateDC();
        EXPECT_EQ(SendMessageA(link, WM_PRINT, reinterpret_cast<WPARAM>(dc), 0), 1);
        std::vector<RwTestDrawing> drawings = RwTestDrawingsOn(dc);
        DeleteDC(dc);
        EXPECT_EQ(drawings.size(), 1u);
        if (drawings.empty()) return RwTestDrawing{};
        EXPECT_EQ(drawings[0].kind, RwTestDrawKind::Text);
        return drawings[0];
    }

    // The colour of the link's latest paint on its own window (UpdateWindow or WM_PAINT).
    static COLORREF PaintedColor(HWND link) {
        std::vector<RwTestDrawing> drawings = RwTestDrawingsOf(link);
        return drawings.empty() ? 0xFFFFFFFF : drawings.back().textColor;
    }

    // Runs the thread's message loop until the condition holds or the bound passes.
    static bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!condition()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
            MSG message{};
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        return true;
    }

    HINSTANCE instance = nullptr;
    ParentRecord parentRecord;
    HWND parent = nullptr;
    std::vector<HWND> parents;
    int fontsAtStart = 0;
};

TEST_F(HyperLinkTest, CreationSettlesTheTextThatIsDrawn) {
    const std::string longText(350, 'x');
    const struct {
        std::string given;
        std::string shown;
    } cases[] = {
        {"", DefaultHyperLinkAddress},
        {"Railwick", "Railwick"},
        {longText, longText.substr(0, 299)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.size());
        HWND link = CreateLink(c.given.c_str());
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(TextOf(link), c.shown);

        RwTestDrawing drawing = Print(link);
        EXPECT_EQ(drawing.text, c.shown);
        EXPECT_EQ(drawing.format, 0x25u);
        EXPECT_EQ(drawing.rect.left, 0);
        EXPECT_EQ(drawing.rect.top, 0);
        EXPECT_EQ(drawing.rect.right, 200);
        EXPECT_EQ(drawing.rect.bottom, 30);
        EXPECT_EQ(drawing.textColor, Blue);
        EXPECT_EQ(drawing.font.lfUnderline, 1);
        DestroyWindow(link);
    }
}

// The colour on every repaint the mouse causes: red while hovering even once visited.
TEST_F(HyperLinkTest, ColourFollowsHoverAndVisited) {
    HWND link = CreateLink("Railwick");
    ASSERT_NE(link, nullptr);
    const struct {
        const char* step;
        UINT message;
        LPARAM position;
        COLORREF painted;
        HWND capture;
    } steps[] = {
        {"move inside", WM_MOUSEMOVE, Point(50, 10), Red, link},
        {"click", WM_LBUTTONUP, Point(50, 10), Purple, link},
        {"move inside again", WM_MOUSEMOVE, Point(60, 12), Red, link},
        {"move outside", WM_MOUSEMOVE, Point(-5, 10), Purple, nullptr},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        const std::size_t paints = RwTestDrawingsOf(link).size();
        SendMessageA(link, s.message, 0, s.position);
        EXPECT_GT(RwTestDrawingsOf(link).size(), paints) << "not repainted at once";
        EXPECT_EQ(PaintedColor(link), s.painted);
        EXPECT_EQ(GetCapture(), s.capture);
    }
    // A second move inside while hovering changes nothing and paints nothing.
    SendMessageA(link, WM_MOUSEMOVE, 0, Point(50, 10));
    const std::size_t paints = RwTestDrawingsOf(link).size();
    SendMessageA(link, WM_MOUSEMOVE, 0, Point(51, 10));
    EXPECT_EQ(RwTestDrawingsOf(link).size(), paints);
    EXPECT_EQ(Print(link).textColor, Red);
}

TEST_F(HyperLinkTest, EveryClickNotifiesTheParentAtOnce) {
    HWND link = CreateLink("Railwick");
    ASSERT_NE(link, nullptr);
    for (std::size_t click = 1; click <= 2; ++click) {
        EXPECT_EQ(SendMessageA(link, WM_LBUTTONUP, 0, Point(5, 5)), 1);
        ASSERT_EQ(parentRecord.commands.size(), click);
        EXPECT_EQ(LOWORD(parentRecord.commands.back().wParam), LinkId);
        EXPECT_EQ(HIWORD(parentRecord.commands.back().wParam), BN_CLICKED);
        EXPECT_EQ(parentRecord.commands.back().lParam, reinterpret_cast<LPARAM>(link));
    }

    // A parent that closes the link on the notification: the control must not touch its freed
    // record afterwards.
    parentRecord.destroyLinkOnCommand = true;
    HWND closing = CreateLink("Close");
    ASSERT_NE(closing, nullptr);
    EXPECT_EQ(SendMessageA(closing, WM_LBUTTONUP, 0, Point(5, 5)), 1);
    EXPECT_FALSE(IsWindow(closing));
    EXPECT_EQ(parentRecord.commands.size(), 3u);
}

// A parent that clips its children paints the link's background itself; any other parent shows
// through.
TEST_F(HyperLinkTest, BackgroundFollowsTheParentsClipping) {
    const struct {
        DWORD parentStyle;
        int mode;
    } cases[] = {
        {WS_CLIPCHILDREN, OPAQUE},
        {0, TRANSPARENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parentStyle);
        HWND link = CreateLink("Railwick", CreateParent(c.parentStyle));
        ASSERT_NE(link, nullptr);
        RwTestDrawing drawing = Print(link);
        EXPECT_EQ(drawing.backgroundMode, c.mode);
        EXPECT_EQ(drawing.backgroundColor, GetSysColor(COLOR_BTNFACE));
    }
}

// The control's own font, else its parent's, else the system font, underlined; the underlined
// copy is deselected and deleted after drawing (the fixture counts the fonts alive).
TEST_F(HyperLinkTest, FontFallsBackFromControlToParentToSystem) {
    HFONT linkFont = CreateTestFont("Link Face", -11);
    HFONT parentFont = CreateTestFont("Parent Face", -13);
    LOGFONTA system{};
    ASSERT_GT(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof system, &system), 0);
    const struct {
        const char* source;
        HFONT own;
        HFONT parents;
        std::string face;
        LONG height;
    } cases[] = {
        {"control", linkFont, parentFont, "Link Face", -11},
        {"parent", nullptr, parentFont, "Parent Face", -13},
        {"system", nullptr, nullptr, system.lfFaceName, system.lfHeight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        g_linkFont = c.own;
        parentRecord.font = c.parents;
        HWND link = CreateLink("Railwick");
        ASSERT_NE(link, nullptr);
        SetWindowLongPtrA(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkWithFontProc));
        const int fontsBefore = RwTestFontsAlive();

        RwTestDrawing drawing = Print(link);
        EXPECT_EQ(drawing.font.lfFaceName, c.face);
        EXPECT_EQ(drawing.font.lfHeight, c.height);
        EXPECT_EQ(drawing.font.lfUnderline, 1);
        EXPECT_EQ(RwTestFontsAlive(), fontsBefore);
        DestroyWindow(link);
    }
    // The fonts that were handed out stay as they were.
    LOGFONTA parentAfter{};
    GetObjectA(parentFont, sizeof parentAfter, &parentAfter);
    EXPECT_EQ(parentAfter.lfUnderline, 0);
    g_linkFont = nullptr;
    parentRecord.font = nullptr;
    DeleteObject(linkFont);
    DeleteObject(parentFont);
}

// The running timer, shared by two controls of which the first is gone: it starts the hover
// where the cursor rests and ends it when the cursor left without a mouse move.
TEST_F(HyperLinkTest, SharedTimerStartsAndEndsTheHover) {
    HWND first = CreateLink("first", nullptr, 220);
    HWND link = CreateLink("second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(g_hyperLinkTimer, HyperLinkTimerId);
    DestroyWindow(first);

    // Bounded by the 200 ms period with a wide margin for a busy machine.
    constexpr std::chrono::milliseconds Bound{2000};
    RwTestSetCursorPos(InsideLink.x, InsideLink.y);
    EXPECT_TRUE(PumpUntil([&] { return PaintedColor(link) == Red; }, Bound));

    RwTestSetCursorPos(OutsideLink.x, OutsideLink.y);
    const auto left = std::chrono::steady_clock::now();
    EXPECT_TRUE(PumpUntil([&] { return PaintedColor(link) == Blue; }, Bound));
    EXPECT_LT(std::chrono::steady_clock::now() - left, Bound);
}

// A disabled parent (behind a modal box) keeps the timer from lighting its links; the mouse
// still can.
TEST_F(HyperLinkTest, TimerStartsNoHoverWhileTheParentIsDisabled) {
    HWND link = CreateLink("Railwick");
    ASSERT_NE(link, nullptr);
    RwTestSetCursorPos(InsideLink.x, InsideLink.y);
    EnableWindow(parent, FALSE);
    EXPECT_EQ(SendMessageA(link, WM_TIMER, g_hyperLinkTimer, 0), 1);
    EXPECT_EQ(Print(link).textColor, Blue);
    SendMessageA(link, WM_MOUSEMOVE, 0, Point(50, 10));
    EXPECT_EQ(Print(link).textColor, Red);
    SendMessageA(link, WM_MOUSEMOVE, 0, Point(-5, 10));

    EnableWindow(parent, TRUE);
    // Another timer's tick is not the control's.
    EXPECT_EQ(SendMessageA(link, WM_TIMER, g_hyperLinkTimer + 1, 0), 0);
    EXPECT_EQ(Print(link).textColor, Blue);
    EXPECT_EQ(SendMessageA(link, WM_TIMER, g_hyperLinkTimer, 0), 1);
    EXPECT_EQ(Print(link).textColor, Red);
}

// Without its record the control shows the arrow and leaves everything else to the default.
TEST_F(HyperLinkTest, CursorIsTheHandAndTheArrowWithoutARecord) {
    HWND link = CreateLink("Railwick");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), 0), 0);
    EXPECT_EQ(RwTestCurrentCursor(), LoadCursorA(nullptr, IDC_HAND));

    const LONG_PTR record = SetWindowLongPtrA(link, 0, 0);
    ASSERT_NE(record, 0);
    SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), 0);
    EXPECT_EQ(RwTestCurrentCursor(), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(SendMessageA(link, WM_LBUTTONUP, 0, Point(5, 5)), 0);
    EXPECT_TRUE(parentRecord.commands.empty());
    HDC dc = RwTestCreateDC();
    SendMessageA(link, WM_PRINT, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_TRUE(RwTestDrawingsOn(dc).empty());
    DeleteDC(dc);
    SetWindowLongPtrA(link, 0, record);
}

TEST_F(HyperLinkTest, CreationFailsWithoutARecord) {
    g_hyperLinkTimer = 0;
    RwTestFailNextHeapAlloc();
    EXPECT_EQ(CreateLink("Railwick"), nullptr);
    EXPECT_EQ(GetDlgItem(parent, LinkId), nullptr);
    EXPECT_EQ(g_hyperLinkTimer, 0u) << "a control that failed started its timer";

    HWND link = CreateLink("Railwick");
    EXPECT_NE(link, nullptr);
}

TEST_F(HyperLinkTest, DestroyFreesTheRecordAndKillsTheTimer) {
    HWND link = CreateLink("Railwick");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(HyperLinkWndProc(link, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(link, 0), 0);
    EXPECT_FALSE(KillTimer(link, HyperLinkTimerId)) << "the timer still ran";
    // Whatever still arrives finds no record, not a freed one.
    SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), 0);
    EXPECT_EQ(RwTestCurrentCursor(), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_TRUE(DestroyWindow(link));
}

}  // namespace
