// Recording device contexts: colours, background mode, fonts and the text drawn.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreatePaintedWindow() {
    static const ATOM registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PlainProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GdiTestWindow";
        return RegisterClassExA(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    return CreateWindowExA(0, "GdiTestWindow", "", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        RwTestResetDesktop();
        fontsAlive = RwTestFontsAlive();
        dc = RwTestCreateDC();
        ASSERT_NE(dc, nullptr);
    }
    void TearDown() override {
        DeleteDC(dc);
        EXPECT_EQ(RwTestFontsAlive(), fontsAlive) << "a font leaked";
        RwTestResetDesktop();
    }
    LOGFONTA SystemFont() {
        LOGFONTA font{};
        EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof font, &font), static_cast<int>(sizeof font));
        return font;
    }
    HDC dc = nullptr;
    int fontsAlive = 0;
};

TEST_F(Drawing, SettersReturnThePreviousValueAndDrawTextRecordsTheState) {
    EXPECT_EQ(SetBkColor(dc, RGB(192, 192, 192)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(dc, RGB(192, 192, 192)), RGB(192, 192, 192));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextColor(dc, RGB(0, 0, 255)), RGB(0, 0, 0));

    RECT rect{0, 0, 120, 20};
    const char text[] = "http://example.org/ and more";
    EXPECT_EQ(DrawTextA(dc, text, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_CENTER), 16);
    EXPECT_EQ(DrawTextA(dc, text, 4, &rect, 0), 16);

    std::vector<RwTestDrawing> drawn = RwTestDrawingsOn(dc);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].kind, RwTestDrawKind::Text);
    EXPECT_EQ(drawn[0].text, text);
    EXPECT_EQ(drawn[0].rect.right, 120);
    EXPECT_EQ(drawn[0].rect.bottom, 20);
    EXPECT_EQ(drawn[0].format, 0x25u);
    EXPECT_EQ(drawn[0].textColor, RGB(0, 0, 255));
    EXPECT_EQ(drawn[0].backgroundColor, RGB(192, 192, 192));
    EXPECT_EQ(drawn[0].backgroundMode, TRANSPARENT);
    EXPECT_STREQ(drawn[0].font.lfFaceName, "System");
    EXPECT_EQ(drawn[1].text, "http");
}

TEST_F(Drawing, AnUnderlinedCopyOfTheSystemFontIsDrawnWithAndFreed) {
    LOGFONTA logFont = SystemFont();
    EXPECT_EQ(logFont.lfUnderline, 0);
    EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), 0, nullptr), 60);
    logFont.lfUnderline = 1;
    HFONT underlined = CreateFontIndirectA(&logFont);
    ASSERT_NE(underlined, nullptr);
    EXPECT_EQ(RwTestFontsAlive(), fontsAlive + 1);

    HGDIOBJ previous = SelectObject(dc, underlined);
    EXPECT_EQ(previous, GetStockObject(SYSTEM_FONT));
    RECT rect{0, 0, 10, 10};
    DrawTextA(dc, "link", -1, &rect, 0);
    EXPECT_EQ(SelectObject(dc, previous), underlined);
    EXPECT_TRUE(DeleteObject(underlined));
    DrawTextA(dc, "plain", -1, &rect, 0);

    std::vector<RwTestDrawing> drawn = RwTestDrawingsOn(dc);
    ASSERT_EQ(drawn.size(), 2u);   // no deletion of a selected font among them
    EXPECT_EQ(drawn[0].font.lfUnderline, 1);
    EXPECT_EQ(drawn[1].font.lfUnderline, 0);

    // Deleted is gone; stock objects are never deleted.
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetObjectA(underlined, sizeof logFont, &logFont), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SelectObject(dc, underlined), nullptr);
    EXPECT_TRUE(DeleteObject(GetStockObject(SYSTEM_FONT)));
    EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof logFont, &logFont), 60);
}

TEST_F(Drawing, DeletingTheSelectedFontIsRecordedAndItLivesUntilDeselected) {
    LOGFONTA logFont = SystemFont();
    logFont.lfUnderline = 1;
    HFONT font = CreateFontIndirectA(&logFont);
    HGDIOBJ previous = SelectObject(dc, font);
    EXPECT_TRUE(DeleteObject(font));
    // The device context still draws with it, as Windows does, and the font is still alive.
    RECT rect{};
    DrawTextA(dc, "after", -1, &rect, 0);
    EXPECT_EQ(RwTestFontsAlive(), fontsAlive + 1);
    std::vector<RwTestDrawing> drawn = RwTestDrawingsOn(dc);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].kind, RwTestDrawKind::SelectedFontDeleted);
    EXPECT_EQ(drawn[1].kind, RwTestDrawKind::Text);
    EXPECT_EQ(drawn[1].font.lfUnderline, 1);

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DeleteObject(font));   // deleted already
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SelectObject(dc, previous);
    EXPECT_EQ(RwTestFontsAlive(), fontsAlive);

    // A font left selected goes with its device context once it was deleted.
    HDC other = RwTestCreateDC();
    SelectObject(other, CreateFontIndirectA(&logFont));
    EXPECT_TRUE(DeleteObject(SelectObject(other, GetStockObject(SYSTEM_FONT))));
    HFONT kept = CreateFontIndirectA(&logFont);
    SelectObject(other, kept);
    DeleteObject(kept);
    EXPECT_EQ(RwTestFontsAlive(), fontsAlive + 1);
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_EQ(RwTestFontsAlive(), fontsAlive);
}

TEST_F(Drawing, PaintDCsBelongToTheirWindowAndBadHandlesFail) {
    HWND window = CreatePaintedWindow();
    ASSERT_NE(window, nullptr);
    PAINTSTRUCT ps{};
    HDC paint = BeginPaint(window, &ps);
    ASSERT_NE(paint, nullptr);
    RECT rect{1, 2, 3, 4};
    DrawTextA(paint, "painted", -1, &rect, 0);
    EndPaint(window, &ps);
    DestroyWindow(window);
    std::vector<RwTestDrawing> drawn = RwTestDrawingsOf(window);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].dc, paint);
    EXPECT_EQ(drawn[0].text, "painted");
    EXPECT_TRUE(RwTestDrawingsOn(dc).empty());

    // The released device context is gone for every operation.
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(DrawTextA(paint, "late", -1, &rect, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetBkColor(paint, 0), 0xFFFFFFFFu);
    EXPECT_EQ(SetTextColor(paint, 0), 0xFFFFFFFFu);
    EXPECT_EQ(SetBkMode(paint, OPAQUE), 0);
    EXPECT_EQ(SelectObject(paint, GetStockObject(SYSTEM_FONT)), nullptr);
    EXPECT_FALSE(DeleteDC(paint));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(DrawTextA(dc, nullptr, -1, &rect, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    EXPECT_EQ(GetStockObject(0), nullptr);   // WHITE_BRUSH: no brushes here
}

}  // namespace
