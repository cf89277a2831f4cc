// The hyperlink control. It does not use the window framework: a plain window procedure keeps
// the control's state in a record from the process heap, hung on window long 0. All messages
// of a control run on the thread that created it.
#include "window/HyperLink.h"

#include "framework/ProcessHeap.h"


UINT_PTR g_hyperLinkTimer = 0;

namespace {

constexpr COLORREF LinkColor = 0xFF0000;      // blue
constexpr COLORREF HoverColor = 0x0000FF;     // red
constexpr COLORREF VisitedColor = 0x800080;   // purple
constexpr UINT TextFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

ZHyperLinkRecord* RecordOf(HWND window) {
    return reinterpret_cast<ZHyperLinkRecord*>(GetWindowLongPtrA(window, 0));
}

bool Contains(const RECT& rect, LONG x, LONG y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// Repaints at once, for changes the mouse makes.
void RepaintNow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

// Called for WM_CREATE: allocates and fills the record, fixes the text, starts the timer.
LRESULT OnCreate(HWND window) {
    auto* record = static_cast<ZHyperLinkRecord*>(ProcessHeapAllocZero(sizeof(ZHyperLinkRecord), 1));
    // A control without its record could neither draw nor notify; the creation fails instead.
    if (record == nullptr) return -1;
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(record));

    record->backgroundColor = GetSysColor(COLOR_BTNFACE);
    record->hoverColor = HoverColor;
    record->linkColor = LinkColor;
    record->visitedColor = VisitedColor;

    char text[HyperLinkTextSize] = {};
    GetWindowTextA(window, text, sizeof text);
    SetWindowTextA(window, text[0] != '\0' ? text : DefaultHyperLinkAddress);

    record->cursor = LoadCursorA(nullptr, IDC_HAND);
    if (record->cursor == nullptr) record->cursor = LoadCursorA(nullptr, IDC_ARROW);

    g_hyperLinkTimer = SetTimer(window, HyperLinkTimerId, HyperLinkTimerPeriod, nullptr);
    return 0;
}

// Called for WM_DESTROY: stops the timer and frees the record.
LRESULT OnDestroy(HWND window) {
    KillTimer(window, g_hyperLinkTimer);
    ZHyperLinkRecord* record = RecordOf(window);
    if (record != nullptr) {
        DestroyCursor(record->cursor);
        // Messages that still arrive before the window is gone must not find the freed record.
        SetWindowLongPtrA(window, 0, 0);
        ProcessHeapFree(record);
    }
    return 0;
}

// The control's font, else its parent's, else the system font, underlined. The caller deletes it.
HFONT CreateUnderlinedFont(HWND window) {
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0));
    HWND parent = GetParent(window);
    if (font == nullptr && parent != nullptr) font = reinterpret_cast<HGDIOBJ>(SendMessageA(parent, WM_GETFONT, 0, 0));
    if (font == nullptr) font = GetStockObject(SYSTEM_FONT);
    LOGFONTA logFont{};
    GetObjectA(font, sizeof logFont, &logFont);
    logFont.lfUnderline = 1;
    return CreateFontIndirectA(&logFont);
}

// Called for WM_PRINT and WM_PRINTCLIENT: draws the text centred in the link's colour.
LRESULT OnPrint(HWND window, const ZHyperLinkRecord& record, HDC dc) {
    char text[HyperLinkTextSize] = {};
    GetWindowTextA(window, text, sizeof text);

    HWND parent = GetParent(window);
    if (parent != nullptr && (static_cast<DWORD>(GetWindowLongA(parent, GWL_STYLE)) & WS_CLIPCHILDREN) != 0) {
        SetBkColor(dc, record.backgroundColor);
    } else {
        // A parent that draws under its children shows through the text.
        SetBkMode(dc, TRANSPARENT);
    }
    HFONT font = CreateUnderlinedFont(window);
    SetBkColor(dc, record.backgroundColor);
    SetTextColor(dc, record.hovering ? record.hoverColor : record.visited ? record.visitedColor : record.linkColor);

    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    RECT client{};
    GetClientRect(window, &client);
    DrawTextA(dc, text, -1, &client, TextFormat);
    if (font != nullptr) {
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    return 1;
}

// Called for WM_PAINT: draws through WM_PRINT on the paint device context.
LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    HyperLinkWndProc(window, WM_PRINT, reinterpret_cast<WPARAM>(dc), 0);
    EndPaint(window, &paint);
    return 0;
}

// Called for WM_SETCURSOR: the record's cursor, the arrow without one.
LRESULT OnSetCursor(HWND window) {
    const ZHyperLinkRecord* record = RecordOf(window);
    HCURSOR cursor = record != nullptr ? record->cursor : nullptr;
    SetCursor(cursor != nullptr ? cursor : LoadCursorA(nullptr, IDC_ARROW));
    return 0;
}

// Called for the shared timer: ends a hover the mouse left without a move reaching the control,
// and starts one where the cursor rests on the control of an enabled parent.
LRESULT OnTimer(HWND window, ZHyperLinkRecord& record) {
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT rect{};
    GetWindowRect(window, &rect);
    const bool inside = Contains(rect, cursor.x, cursor.y);
    if (record.hovering) {
        if (!inside) {
            record.hovering = 0;
            record.hoverShown = 0;
            InvalidateRect(window, nullptr, TRUE);
        }
    } else if (inside && IsWindowEnabled(GetParent(window))) {
        record.hovering = 1;
        record.hoverShown = 0;
        InvalidateRect(window, nullptr, TRUE);
    }
    return 1;
}

// Called for WM_MOUSEMOVE: a move inside starts the hover and takes the capture, so that the
// move that leaves the control arrives here too and ends it.
LRESULT OnMouseMove(HWND window, ZHyperLinkRecord& record, LPARAM position) {
    const auto x = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(position)));
    const auto y = static_cast<short>(HIWORD(static_cast<ULONG_PTR>(position)));
    RECT client{};
    GetClientRect(window, &client);
    if (Contains(client, x, y)) {
        if (record.hovering) return 0;
        record.hovering = 1;
        if (!record.hoverShown) {
            record.hoverShown = 1;
            RepaintNow(window);
        }
        SetCapture(window);
    } else {
        ReleaseCapture();
        record.hovering = 0;
        record.hoverShown = 0;
        RepaintNow(window);
    }
    return 0;
}

// Called for WM_LBUTTONUP: marks the link visited and tells the parent.
LRESULT OnLButtonUp(HWND window, ZHyperLinkRecord& record) {
    record.visited = 1;
    const WPARAM command = MAKELONG(static_cast<WORD>(GetDlgCtrlID(window)), BN_CLICKED);
    SendMessageA(GetParent(window), WM_COMMAND, command, reinterpret_cast<LPARAM>(window));
    // The parent may have destroyed the control while it handled the notification; then the
    // record is gone and there is nothing left to repaint.
    ZHyperLinkRecord* current = IsWindow(window) ? RecordOf(window) : nullptr;
    if (current == nullptr) return 1;
    current->hoverShown = 0;
    current->hovering = 0;
    RepaintNow(window);
    return 1;
}

}  // namespace

bool RegisterHyperLinkClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_GLOBALCLASS | CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HyperLinkWndProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);   // the record's address
    windowClass.hInstance = instance;
    windowClass.lpszClassName = HyperLinkClassName;
    // A second registration fails harmlessly; the class is there either way.
    RegisterClassExA(&windowClass);
    return true;
}

LRESULT CALLBACK HyperLinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_PAINT:
        // Painting needs no record of its own; WM_PRINT looks for it. Without BeginPaint the
        // window would stay invalid.
        return OnPaint(window);
    case WM_SETCURSOR:
        return OnSetCursor(window);
    default:
        break;
    }

    ZHyperLinkRecord* record = RecordOf(window);
    if (record == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PRINT:
    case WM_PRINTCLIENT:
        return OnPrint(window, *record, reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
        if (wParam == g_hyperLinkTimer) return OnTimer(window, *record);
        break;
    case WM_MOUSEMOVE:
        return OnMouseMove(window, *record, lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(window, *record);
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
