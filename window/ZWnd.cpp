// The window object, its binding to window handles and its dispatcher.
//
// Threads: the handle map, the pending map and the creation ticket are process-wide and have no
// lock. Windows are created, subclassed, dispatched and destroyed by one thread at a time (in
// the server, the user-interface thread); objects may be constructed elsewhere.
#include "window/ZWnd.h"

#include "framework/ModuleHandles.h"
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "window/ZDC.h"
#include "window/ZMenu.h"
#include "window/ZWinControl.h"

#include <map>

namespace {

// The maps are made on first use and never destroyed, so that they outlive every window object,
// including those destroyed during static destruction.
std::map<HWND, ZWnd*>& HandleMap() {
    static auto* map = new std::map<HWND, ZWnd*>;
    return *map;
}

std::map<int, ZWnd*>& PendingMap() {
    static auto* map = new std::map<int, ZWnd*>;
    return *map;
}

int g_creationTicket = 0;
// The ticket never takes this value: from the one below it goes back to 0.
constexpr int TicketLimit = 16777215;

ZWnd* BoundObject(HWND window) {
    auto found = HandleMap().find(window);
    return found == HandleMap().end() ? nullptr : found->second;
}

int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam))); }
UINT LowOf(ULONG_PTR value) { return LOWORD(value); }
UINT HighOf(ULONG_PTR value) { return HIWORD(value); }

ZWnd* WindowOf(ULONG_PTR value) { return ZWnd::FromHandle(reinterpret_cast<HWND>(value)); }
ZMenu* MenuOf(ULONG_PTR value) { return ZMenu::FromHandle(reinterpret_cast<HMENU>(value)); }
ZDC* DcOf(ULONG_PTR value) { return ZDC::FromHandle(reinterpret_cast<HDC>(value)); }

// Restores the handled-flag pointer that a dispatch replaced, so that an outer dispatch on the
// same window finds its own flag again after a nested one returned.
class HandledScope {
public:
    HandledScope(bool*& slot, bool* flag) : slot(slot), saved(slot) { slot = flag; }
    ~HandledScope() { slot = saved; }
    HandledScope(const HandledScope&) = delete;
    HandledScope& operator=(const HandledScope&) = delete;

private:
    bool*& slot;
    bool* saved;
};

}  // namespace

namespace detail {
int CreationTicket() { return g_creationTicket; }
void SetCreationTicket(int ticket) { g_creationTicket = ticket; }
}  // namespace detail

LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ZWnd* object = BoundObject(window);
    if (object == nullptr) {
        auto pending = PendingMap().find(g_creationTicket);
        if (pending == PendingMap().end() || pending->second == nullptr) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        object = pending->second;
        PendingMap().erase(pending);
        HandleMap()[window] = object;
        object->handle = window;
        g_creationTicket = g_creationTicket + 1 == TicketLimit ? 0 : g_creationTicket + 1;
    }
    object->currentMessage = message;
    object->currentWParam = wParam;
    object->currentLParam = lParam;
    return object->WindowProc(message, wParam, lParam);
}

bool ZWnd::Attach(HWND window) {
    if (!IsWindow(window)) return false;
    handle = window;
    return true;
}

HWND ZWnd::Detach() {
    Unsubclass();
    HWND held = handle;
    handle = nullptr;
    return held;
}

bool ZWnd::Close() {
    SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool ZWnd::Create(const char* className, const char* windowName, DWORD style, DWORD exStyle, int x, int y, int width,
                  int height, HWND parent, HMENU menu, void* parameter) {
    return CreateEx(className, windowName, style, exStyle, x, y, width, height, parent, menu, parameter);
}

bool ZWnd::CreateEx(const char* className, const char* windowName, DWORD style, DWORD exStyle, int x, int y,
                    int width, int height, HWND parent, HMENU menu, void* parameter) {
    const int ticket = g_creationTicket;
    PendingMap()[ticket] = this;
    HWND created = nullptr;
    try {
        created = CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                  GetInstanceHandle(), parameter);
    } catch (...) {
        created = nullptr;
        // A window left half-made by the exception must not stay bound to this object.
        HWND partial = handle;
        if (partial != nullptr && BoundObject(partial) == this && IsWindow(partial)) {
            try {
                DestroyWindow(partial);
            } catch (...) {
                HandleMap().erase(partial);
            }
        }
    }
    // A creation that never reached the window procedure leaves its entry behind; removed here,
    // so that the next window of a framework class is not bound to this object.
    auto pending = PendingMap().find(ticket);
    if (pending != PendingMap().end() && pending->second == this) PendingMap().erase(pending);
    return created != nullptr;
}

bool ZWnd::DestroyWnd() {
    HWND window = handle;
    const bool destroyed = DestroyWindow(window) != FALSE;
    if (BoundObject(window) != nullptr) handle = nullptr;
    return destroyed;
}

bool ZWnd::Subclass() {
    if (handle == nullptr || !IsWindow(handle)) return false;
    if (prevWndProc != nullptr) return true;
    // A window that runs FrameworkWndProc already must keep it alone: as the "previous"
    // procedure it would make default processing call itself without end.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(handle, GWLP_WNDPROC)) == FrameworkWndProc) return true;
    if (!PreSubclass()) return false;
    PendingMap()[g_creationTicket] = this;
    prevWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWndProc)));
    FrameworkWndProc(handle, WM_NULL, 0, 0);
    return true;
}

HWND ZWnd::Unsubclass() {
    if (prevWndProc == nullptr) return nullptr;
    SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWndProc));
    prevWndProc = nullptr;
    HandleMap().erase(handle);
    return handle;
}

bool ZWnd::SetText(const char* text) { return SetWindowTextA(handle, text) != FALSE; }

ZString ZWnd::GetText() const {
    const int length = GetWindowTextLengthA(handle);
    ZString text;
    char* buffer = text.GetBuffer(length + 1);
    GetWindowTextA(handle, buffer, length + 1);
    text.ReleaseBuffer();
    return text;
}

RECT ZWnd::GetClientRect() const {
    RECT rect{};
    ::GetClientRect(handle, &rect);
    return rect;
}

void ZWnd::FitToParent() {
    ZWnd* parent = FromHandle(GetParent(handle));
    if (parent != nullptr) MoveTo(parent->GetClientRect(), true);
}

void ZWnd::Reserved1(void*) {}
void ZWnd::Reserved2(void*) {}
void ZWnd::Reserved3(void*) {}
void ZWnd::Reserved4(void*) {}

bool ZWnd::HandlesOwnerDraw() { return false; }
void ZWnd::OnReflectedDeleteItem(DELETEITEMSTRUCT*) {}
void ZWnd::OnReflectedDrawItem(DRAWITEMSTRUCT*, ZDC*) {}
void ZWnd::OnReflectedMeasureItem(MEASUREITEMSTRUCT*) {}

void ZWnd::OnDeleteItem(UINT, DELETEITEMSTRUCT* item) {
    SetNotHandled();
    if (item == nullptr) return;
    ZWnd* owner = BoundObject(item->hwndItem);
    if (owner != nullptr && owner->HandlesOwnerDraw()) {
        owner->OnReflectedDeleteItem(item);
        SetHandled();
    }
}

void ZWnd::OnDrawItem(UINT, DRAWITEMSTRUCT* item, ZDC* dc) {
    SetNotHandled();
    if (item == nullptr) return;
    ZWnd* owner = BoundObject(item->hwndItem);
    if (owner != nullptr && owner->HandlesOwnerDraw()) {
        owner->OnReflectedDrawItem(item, dc);
        SetHandled();
    }
}

void ZWnd::OnMeasureItem(UINT controlId, MEASUREITEMSTRUCT* item) {
    SetNotHandled();
    if (item == nullptr) return;
    ZWnd* owner = BoundObject(GetDlgItem(handle, static_cast<int>(controlId)));
    if (owner != nullptr && owner->HandlesOwnerDraw()) {
        owner->OnReflectedMeasureItem(item);
        SetHandled();
    }
}

LRESULT ZWnd::DefaultProc() {
    if (prevWndProc != nullptr) {
        return CallWindowProcA(prevWndProc, handle, currentMessage, currentWParam, currentLParam);
    }
    return DefWindowProcA(handle, currentMessage, currentWParam, currentLParam);
}

LRESULT ZWnd::Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (BoundObject(window) == nullptr) return 0;
    currentMessage = message;
    currentWParam = wParam;
    currentLParam = lParam;
    return DefaultProc();
}

LRESULT ZWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = handle;
    bool thisHandled = true;
    HandledScope scope(handled, &thisHandled);

    if (g_mouseWheelMessage != 0 && message == g_mouseWheelMessage) {
        return WindowProc(WM_MOUSEWHEEL, wParam, lParam);
    }

    const auto standard = [&] { return Default(window, message, wParam, lParam); };
    const auto ifHandled = [&](LRESULT answer) { return thisHandled ? answer : standard(); };
    const int x = XOf(lParam);
    const int y = YOf(lParam);
    const auto l = static_cast<ULONG_PTR>(lParam);

    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
    case WM_DESTROY: {
        OnDestroy();
        ZApplication* app = GetApp();
        if (app != nullptr && app->GetMainWindow() == this) PostQuitMessage(0);
        return standard();
    }
    case WM_MOVE:
        OnMove(x, y);
        return standard();
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), static_cast<int>(LowOf(l)), static_cast<int>(HighOf(l)));
        return standard();
    case WM_ACTIVATE:
        OnActivate(LowOf(wParam), WindowOf(l), HighOf(wParam) != 0);
        return standard();
    case WM_SETFOCUS:
        OnSetFocus(WindowOf(wParam));
        return ifHandled(0);
    case WM_KILLFOCUS:
        OnKillFocus(WindowOf(wParam));
        return ifHandled(0);
    case WM_PAINT:
        OnPaint();
        return ifHandled(0);
    case WM_CLOSE:
        if (!CanClose()) return 0;
        OnClose();
        return standard();
    case WM_ERASEBKGND:
        return ifHandled(OnEraseBkgnd(DcOf(wParam)) ? 1 : 0);
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return standard();
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0, static_cast<UINT>(lParam));
        return ifHandled(0);
    case WM_SETTINGCHANGE:
        OnSettingChange(wParam, lParam);
        return standard();
    case WM_ACTIVATEAPP:
        OnActivateApp(wParam != 0, static_cast<DWORD>(lParam));
        return ifHandled(0);
    case WM_SETCURSOR:
        return ifHandled(OnSetCursor(WindowOf(wParam), LowOf(l), HighOf(l)) ? 1 : 0);
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
        if (lParam == 0) return standard();
        DispatchOwnerDraw(message, wParam, lParam);
        return ifHandled(0);
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        return standard();
    case WM_WINDOWPOSCHANGED:
        OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
        return ifHandled(0);
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), &result)) return result;
        return standard();
    }
    case WM_CONTEXTMENU:
        OnContextMenu(WindowOf(wParam), x, y);
        return standard();
    case WM_NCDESTROY:
        return OnNcDestroyMessage();
    case WM_NCCALCSIZE:
        return ifHandled(OnNcCalcSize(wParam != 0, lParam));
    case WM_NCHITTEST:
        return OnNcHitTest(POINT{x, y});
    case WM_NCPAINT:
        OnNcPaint();
        return ifHandled(0);
    case WM_GETDLGCODE:
        return ifHandled(OnGetDlgCode());
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam), LowOf(l), HighOf(l));
        return standard();
    case WM_KEYUP:
        OnKeyUp(static_cast<UINT>(wParam), LowOf(l), HighOf(l));
        return standard();
    case WM_COMMAND:
        OnCommand(LowOf(wParam), HighOf(wParam));
        return ifHandled(0);
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), x, y);
        return ifHandled(0);
    case WM_TIMER:
        OnTimer(wParam);
        return standard();
    case WM_HSCROLL:
        OnHScroll(LowOf(wParam), HighOf(wParam), WindowOf(l));
        return standard();
    case WM_VSCROLL:
        OnVScroll(LowOf(wParam), HighOf(wParam), WindowOf(l));
        return standard();
    case WM_INITMENU:
        OnInitMenu(MenuOf(wParam));
        return standard();
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(MenuOf(wParam), LowOf(l), HighOf(l) != 0);
        return standard();
    case WM_MENUSELECT:
        OnMenuSelect(LowOf(wParam), HighOf(wParam), reinterpret_cast<HMENU>(lParam));
        return standard();
    case WM_ENTERIDLE:
        OnEnterIdle(static_cast<UINT>(wParam), WindowOf(l));
        return standard();
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return ifHandled(OnCtlColor(DcOf(wParam), WindowOf(l), message - WM_CTLCOLORMSGBOX));
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_RBUTTONDOWN:
        OnRButtonDown(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_RBUTTONUP:
        OnRButtonUp(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_RBUTTONDBLCLK:
        OnRButtonDblClk(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_MBUTTONDOWN:
        OnMButtonDown(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_MBUTTONUP:
        OnMButtonUp(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_MBUTTONDBLCLK:
        OnMButtonDblClk(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_MOUSEWHEEL:
        if (OnMouseWheel(LowOf(wParam), static_cast<short>(HighOf(wParam)), x, y)) return 0;
        return standard();
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HANDLE>(wParam));
        return ifHandled(0);
    case WM_NCMOUSEHOVER:
        OnNcMouseHover(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_MOUSEHOVER:
        OnMouseHover(static_cast<UINT>(wParam), x, y);
        return standard();
    case WM_NCMOUSELEAVE:
        OnNcMouseLeave();
        return standard();
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return standard();
    case WM_DRAWCLIPBOARD:
        OnDrawClipboard();
        return ifHandled(0);
    case WM_CHANGECBCHAIN:
        OnChangeCbChain(WindowOf(wParam), WindowOf(l));
        return ifHandled(0);
    case WM_QUERYNEWPALETTE:
        return ifHandled(OnQueryNewPalette() ? 1 : 0);
    case WM_PALETTEISCHANGING:
        OnPaletteIsChanging(WindowOf(wParam));
        return ifHandled(0);
    case WM_PALETTECHANGED:
        OnPaletteChanged(WindowOf(wParam));
        return ifHandled(0);
    case WM_HOTKEY:
        OnHotKey(static_cast<int>(wParam), LowOf(l), HighOf(l));
        return ifHandled(0);
    case WM_PRINT:
        OnPrint(DcOf(wParam), lParam);
        return 0;
    case WM_PRINTCLIENT:
        OnPrintClient(DcOf(wParam), lParam);
        return 0;
    case WM_APPCOMMAND:
        OnAppCommand(WindowOf(wParam), HighOf(l) & 0x0FFF, HighOf(l) & 0xF000, LowOf(l));
        return ifHandled(1);
    default:
        return standard();
    }
}

void ZWnd::DispatchOwnerDraw(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto controlId = static_cast<UINT>(wParam);
    switch (message) {
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        ZDC* dc = ZDC::FromHandle(item->hDC);
        if (auto* control = dynamic_cast<ZWinControl*>(BoundObject(item->hwndItem))) {
            control->OnReflectedDrawItem(item, dc);
        }
        OnDrawItem(controlId, item, dc);
        break;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        HWND itemWindow = GetDlgItem(handle, static_cast<int>(controlId));
        if (auto* control = dynamic_cast<ZWinControl*>(BoundObject(itemWindow))) {
            control->OnReflectedMeasureItem(item);
        }
        OnMeasureItem(controlId, item);
        break;
    }
    case WM_DELETEITEM: {
        auto* item = reinterpret_cast<DELETEITEMSTRUCT*>(lParam);
        if (auto* control = dynamic_cast<ZWinControl*>(BoundObject(item->hwndItem))) {
            control->OnReflectedDeleteItem(item);
        }
        OnDeleteItem(controlId, item);
        break;
    }
    default:
        break;
    }
}

LRESULT ZWnd::OnNcDestroyMessage() {
    const HWND window = handle;
    const UINT message = currentMessage;
    const WPARAM wParam = currentWParam;
    const LPARAM lParam = currentLParam;
    OnNcDestroy();
    // The window's last default processing, of WM_NCDESTROY itself even if OnNcDestroy caused
    // other messages meanwhile.
    currentMessage = message;
    currentWParam = wParam;
    currentLParam = lParam;
    const LRESULT result = DefaultProc();
    if (Unsubclass() == nullptr) HandleMap().erase(window);
    WinHelp(0, HELP_QUIT);
    PostNcDestroy();
    return result;
}

bool ZWnd::OnIdle() { return false; }
bool ZWnd::PreSubclass() { return true; }
bool ZWnd::CanClose() { return true; }
void ZWnd::PostNcDestroy() {}
void ZWnd::OnHotKey(int, UINT, UINT) { SetNotHandled(); }
void ZWnd::OnAppCommand(ZWnd*, UINT, UINT, UINT) { SetNotHandled(); }

LRESULT ZWnd::OnGetDlgCode() {
    const LRESULT result = DefaultProc();
    SetNotHandled();
    return result;
}

bool ZWnd::OnSetCursor(ZWnd*, UINT, UINT) {
    SetNotHandled();
    return false;
}

void ZWnd::OnSetFocus(ZWnd*) { SetNotHandled(); }
void ZWnd::OnKillFocus(ZWnd*) { SetNotHandled(); }
void ZWnd::OnSettingChange(WPARAM, LPARAM) { SetNotHandled(); }
void ZWnd::OnDrawClipboard() { SetNotHandled(); }
void ZWnd::OnChangeCbChain(ZWnd*, ZWnd*) { SetNotHandled(); }

bool ZWnd::OnMouseWheel(UINT, short, int, int) {
    SetNotHandled();
    return false;
}

bool ZWnd::OnCreate(CREATESTRUCTA*) {
    SetNotHandled();
    return true;
}

LRESULT ZWnd::OnCtlColor(ZDC*, ZWnd*, UINT) {
    const LRESULT result = DefaultProc();
    SetNotHandled();
    return result;
}

void ZWnd::OnPaint() { SetNotHandled(); }
void ZWnd::OnNcPaint() { SetNotHandled(); }

bool ZWnd::EraseBackground(ZDC*) {
    SetNotHandled();
    return false;
}

bool ZWnd::OnEraseBkgnd(ZDC* dc) { return EraseBackground(dc); }
void ZWnd::OnShowWindow(bool, UINT) { SetNotHandled(); }

LRESULT ZWnd::OnNcCalcSize(bool, LPARAM) {
    SetNotHandled();
    return 0;
}

void ZWnd::OnWindowPosChanging(WINDOWPOS*) { SetNotHandled(); }
void ZWnd::OnWindowPosChanged(WINDOWPOS*) { SetNotHandled(); }
LRESULT ZWnd::OnNcHitTest(POINT) { return DefaultProc(); }
void ZWnd::OnKeyUp(UINT, UINT, UINT) {}
void ZWnd::OnKeyDown(UINT, UINT, UINT) {}
void ZWnd::OnMenuSelect(UINT, UINT, HMENU) { SetNotHandled(); }

bool ZWnd::OnNotify(int, NMHDR*, LRESULT*) {
    SetNotHandled();
    return false;
}

void ZWnd::OnEnterIdle(UINT, ZWnd*) { SetNotHandled(); }
void ZWnd::OnNcDestroy() { SetNotHandled(); }
void ZWnd::OnSysCommand(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnCommand(UINT, UINT) { SetNotHandled(); }
void ZWnd::OnContextMenu(ZWnd*, int, int) {}
void ZWnd::OnActivate(UINT, ZWnd*, bool) { SetNotHandled(); }
void ZWnd::OnActivateApp(bool, DWORD) { SetNotHandled(); }
void ZWnd::OnMove(int, int) { SetNotHandled(); }
void ZWnd::OnClose() { SetNotHandled(); }
void ZWnd::OnTimer(UINT_PTR) {}
void ZWnd::OnSize(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnDestroy() {}
void ZWnd::OnInitMenuPopup(ZMenu*, UINT, bool) { SetNotHandled(); }
void ZWnd::OnInitMenu(ZMenu*) { SetNotHandled(); }
void ZWnd::OnDropFiles(HANDLE) { SetNotHandled(); }
void ZWnd::OnMouseMove(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnMouseHover(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnMouseLeave() { SetNotHandled(); }
void ZWnd::OnNcMouseHover(UINT, int, int) {}
void ZWnd::OnNcMouseLeave() { SetNotHandled(); }
void ZWnd::OnLButtonDown(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnRButtonDown(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnMButtonDown(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnLButtonUp(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnRButtonUp(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnMButtonUp(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnLButtonDblClk(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnRButtonDblClk(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnMButtonDblClk(UINT, int, int) { SetNotHandled(); }
void ZWnd::OnSysColorChange() { SetNotHandled(); }
void ZWnd::OnVScroll(UINT, UINT, ZWnd*) {}
void ZWnd::OnHScroll(UINT, UINT, ZWnd*) {}
LRESULT ZWnd::OnPrint(ZDC*, LPARAM) { return DefaultProc(); }
LRESULT ZWnd::OnPrintClient(ZDC*, LPARAM) { return DefaultProc(); }

bool ZWnd::OnQueryNewPalette() {
    SetNotHandled();
    return false;
}

void ZWnd::OnPaletteChanged(ZWnd*) { SetNotHandled(); }
void ZWnd::OnPaletteIsChanging(ZWnd*) { SetNotHandled(); }

ZWnd* ZWnd::FromHandle(HWND window) {
    if (window == nullptr) return nullptr;
    if (ZWnd* bound = BoundObject(window)) return bound;
    auto* temporary = new ZWnd;
    temporary->Attach(window);
    AddTemporary(temporary);
    return temporary;
}

bool ZWnd::MoveTo(const RECT& rect, bool repaint) {
    return MoveTo(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

bool ZWnd::MoveTo(int x, int y, int width, int height, bool repaint) {
    return MoveWindow(handle, x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

bool ZWnd::WinHelp(ULONG_PTR data, UINT command) {
    const ZString helpPath = GetHelpPath();
    return WinHelpA(handle, helpPath, command, data) != FALSE;
}

int ZWnd::MessageBox(const char* text, UINT type, const char* caption) {
    ZString appName;
    if (caption == nullptr) {
        appName = GetAppName();
        caption = appName;
    }
    return MessageBoxA(handle, text, caption, type);
}

void ZWnd::SetNotHandled() {
    if (handled != nullptr) *handled = false;
}

void ZWnd::SetHandled() {
    if (handled != nullptr) *handled = true;
}

bool ZWnd::IsHandled() const { return handled != nullptr && *handled; }
