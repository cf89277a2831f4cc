// The dispatcher's message table: each message reaches its handler with the arguments decoded,
// gets its answer, and gets default processing exactly where it should.
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "platform/testing.h"
#include "window/WindowClass.h"
#include "window/ZDC.h"
#include "window/ZMenu.h"
#include "window/ZWinControl.h"
#include "window/ZWnd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr const char* ClassName = "WndDispatchTestClass";
constexpr LRESULT DefaultAnswer = 0x777;

// Handles and structures the rows pass, named in the recorded calls.
const HDC FakeDc = reinterpret_cast<HDC>(0xDC0);
const HMENU FakeMenu = reinterpret_cast<HMENU>(0x3E40);
CREATESTRUCTA g_create{};
WINDOWPOS g_position{};
NMHDR g_header{};
DRAWITEMSTRUCT g_draw{};
MEASUREITEMSTRUCT g_measure{};
DELETEITEMSTRUCT g_delete{};
int g_calcSize = 0;

HWND g_self = nullptr;
HWND g_other = nullptr;

std::string Name(const void* value) {
    if (value == nullptr) return "0";
    if (value == g_self) return "self";
    if (value == g_other) return "other";
    if (value == FakeDc) return "dc";
    if (value == FakeMenu) return "menu";
    if (value == &g_create) return "cs";
    if (value == &g_position) return "wp";
    if (value == &g_header) return "nm";
    if (value == &g_draw) return "dis";
    if (value == &g_measure) return "mis";
    if (value == &g_delete) return "del";
    if (value == &g_calcSize) return "params";
    char text[32];
    std::snprintf(text, sizeof text, "%p", value);
    return text;
}

std::string Name(ZWnd* window) { return window == nullptr ? "null" : Name(window->GetHandle()); }
std::string Name(ZDC* dc) { return dc == nullptr ? "null" : Name(dc->GetHandle()); }
std::string Name(ZMenu* menu) { return menu == nullptr ? "null" : Name(menu->GetHandle()); }
template <class T>
std::string Arg(T value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value ? "1" : "0";
    } else {
        return std::to_string(value);
    }
}

// Records every handler call with its decoded arguments and every default processing. A
// handler leaves the message handled unless askDefault is set; handlers with a result return
// boolResult or lresult.
class RecordingWnd : public ZWnd {
public:
    std::vector<std::string> calls;
    struct DefaultCall {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<DefaultCall> defaults;
    bool askDefault = false;
    bool boolResult = true;
    LRESULT lresult = 42;

    LRESULT DefaultProc() override {
        defaults.push_back({currentMessage, currentWParam, currentLParam});
        return DefaultAnswer;
    }

    void Record(std::string name, std::vector<std::string> args = {}) {
        name += "(";
        for (std::size_t i = 0; i < args.size(); ++i) name += (i ? "," : "") + args[i];
        calls.push_back(name + ")");
        if (askDefault) SetNotHandled();
    }

    bool CanClose() override {
        calls.push_back("CanClose()");
        return boolResult;
    }
    void OnHotKey(int id, UINT modifiers, UINT key) override { Record("OnHotKey", {Arg(id), Arg(modifiers), Arg(key)}); }
    void OnAppCommand(ZWnd* w, UINT command, UINT device, UINT keys) override {
        Record("OnAppCommand", {Name(w), Arg(command), Arg(device), Arg(keys)});
    }
    LRESULT OnGetDlgCode() override {
        Record("OnGetDlgCode");
        return lresult;
    }
    bool OnSetCursor(ZWnd* w, UINT hit, UINT mouse) override {
        Record("OnSetCursor", {Name(w), Arg(hit), Arg(mouse)});
        return boolResult;
    }
    void OnSetFocus(ZWnd* w) override { Record("OnSetFocus", {Name(w)}); }
    void OnKillFocus(ZWnd* w) override { Record("OnKillFocus", {Name(w)}); }
    void OnSettingChange(WPARAM w, LPARAM l) override { Record("OnSettingChange", {Arg(w), Arg(l)}); }
    void OnDrawClipboard() override { Record("OnDrawClipboard"); }
    void OnChangeCbChain(ZWnd* removed, ZWnd* next) override { Record("OnChangeCbChain", {Name(removed), Name(next)}); }
    bool OnMouseWheel(UINT keys, short delta, int x, int y) override {
        Record("OnMouseWheel", {Arg(keys), Arg(delta), Arg(x), Arg(y)});
        return boolResult;
    }
    bool OnCreate(CREATESTRUCTA* create) override {
        Record("OnCreate", {Name(create)});
        return boolResult;
    }
    LRESULT OnCtlColor(ZDC* dc, ZWnd* w, UINT kind) override {
        Record("OnCtlColor", {Name(dc), Name(w), Arg(kind)});
        return lresult;
    }
    void OnPaint() override { Record("OnPaint"); }
    void OnNcPaint() override { Record("OnNcPaint"); }
    bool OnEraseBkgnd(ZDC* dc) override {
        Record("OnEraseBkgnd", {Name(dc)});
        return boolResult;
    }
    void OnShowWindow(bool shown, UINT status) override { Record("OnShowWindow", {Arg(shown), Arg(status)}); }
    LRESULT OnNcCalcSize(bool calc, LPARAM params) override {
        Record("OnNcCalcSize", {Arg(calc), Name(reinterpret_cast<void*>(params))});
        return lresult;
    }
    void OnWindowPosChanging(WINDOWPOS* p) override { Record("OnWindowPosChanging", {Name(p)}); }
    void OnWindowPosChanged(WINDOWPOS* p) override { Record("OnWindowPosChanged", {Name(p)}); }
    LRESULT OnNcHitTest(POINT point) override {
        Record("OnNcHitTest", {Arg(point.x), Arg(point.y)});
        return lresult;
    }
    void OnKeyUp(UINT key, UINT repeat, UINT flags) override { Record("OnKeyUp", {Arg(key), Arg(repeat), Arg(flags)}); }
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override {
        Record("OnKeyDown", {Arg(key), Arg(repeat), Arg(flags)});
    }
    void OnMenuSelect(UINT item, UINT flags, HMENU menu) override {
        Record("OnMenuSelect", {Arg(item), Arg(flags), Name(menu)});
    }
    bool OnNotify(int id, NMHDR* header, LRESULT* result) override {
        Record("OnNotify", {Arg(id), Name(header), Arg(*result)});
        *result = lresult;
        return boolResult;
    }
    void OnEnterIdle(UINT reason, ZWnd* w) override { Record("OnEnterIdle", {Arg(reason), Name(w)}); }
    void OnSysCommand(UINT command, int x, int y) override { Record("OnSysCommand", {Arg(command), Arg(x), Arg(y)}); }
    void OnCommand(UINT id, UINT code) override { Record("OnCommand", {Arg(id), Arg(code)}); }
    void OnContextMenu(ZWnd* w, int x, int y) override { Record("OnContextMenu", {Name(w), Arg(x), Arg(y)}); }
    void OnActivate(UINT state, ZWnd* w, bool minimised) override {
        Record("OnActivate", {Arg(state), Name(w), Arg(minimised)});
    }
    void OnActivateApp(bool active, DWORD thread) override { Record("OnActivateApp", {Arg(active), Arg(thread)}); }
    void OnMove(int x, int y) override { Record("OnMove", {Arg(x), Arg(y)}); }
    void OnClose() override { Record("OnClose"); }
    void OnTimer(UINT_PTR id) override { Record("OnTimer", {Arg(id)}); }
    void OnSize(UINT type, int width, int height) override { Record("OnSize", {Arg(type), Arg(width), Arg(height)}); }
    void OnDestroy() override { Record("OnDestroy"); }
    void OnInitMenuPopup(ZMenu* menu, UINT index, bool windowMenu) override {
        Record("OnInitMenuPopup", {Name(menu), Arg(index), Arg(windowMenu)});
    }
    void OnInitMenu(ZMenu* menu) override { Record("OnInitMenu", {Name(menu)}); }
    void OnDropFiles(HANDLE drop) override { Record("OnDropFiles", {Name(drop)}); }
    void OnMouseMove(UINT keys, int x, int y) override { Record("OnMouseMove", {Arg(keys), Arg(x), Arg(y)}); }
    void OnMouseHover(UINT keys, int x, int y) override { Record("OnMouseHover", {Arg(keys), Arg(x), Arg(y)}); }
    void OnMouseLeave() override { Record("OnMouseLeave"); }
    void OnNcMouseHover(UINT hit, int x, int y) override { Record("OnNcMouseHover", {Arg(hit), Arg(x), Arg(y)}); }
    void OnNcMouseLeave() override { Record("OnNcMouseLeave"); }
    void OnLButtonDown(UINT k, int x, int y) override { Record("OnLButtonDown", {Arg(k), Arg(x), Arg(y)}); }
    void OnRButtonDown(UINT k, int x, int y) override { Record("OnRButtonDown", {Arg(k), Arg(x), Arg(y)}); }
    void OnMButtonDown(UINT k, int x, int y) override { Record("OnMButtonDown", {Arg(k), Arg(x), Arg(y)}); }
    void OnLButtonUp(UINT k, int x, int y) override { Record("OnLButtonUp", {Arg(k), Arg(x), Arg(y)}); }
    void OnRButtonUp(UINT k, int x, int y) override { Record("OnRButtonUp", {Arg(k), Arg(x), Arg(y)}); }
    void OnMButtonUp(UINT k, int x, int y) override { Record("OnMButtonUp", {Arg(k), Arg(x), Arg(y)}); }
    void OnLButtonDblClk(UINT k, int x, int y) override { Record("OnLButtonDblClk", {Arg(k), Arg(x), Arg(y)}); }
    void OnRButtonDblClk(UINT k, int x, int y) override { Record("OnRButtonDblClk", {Arg(k), Arg(x), Arg(y)}); }
    void OnMButtonDblClk(UINT k, int x, int y) override { Record("OnMButtonDblClk", {Arg(k), Arg(x), Arg(y)}); }
    void OnSysColorChange() override { Record("OnSysColorChange"); }
    void OnVScroll(UINT code, UINT pos, ZWnd* bar) override { Record("OnVScroll", {Arg(code), Arg(pos), Name(bar)}); }
    void OnHScroll(UINT code, UINT pos, ZWnd* bar) override { Record("OnHScroll", {Arg(code), Arg(pos), Name(bar)}); }
    LRESULT OnPrint(ZDC* dc, LPARAM options) override {
        Record("OnPrint", {Name(dc), Arg(options)});
        return lresult;
    }
    LRESULT OnPrintClient(ZDC* dc, LPARAM options) override {
        Record("OnPrintClient", {Name(dc), Arg(options)});
        return lresult;
    }
    bool OnQueryNewPalette() override {
        Record("OnQueryNewPalette");
        return boolResult;
    }
    void OnPaletteChanged(ZWnd* w) override { Record("OnPaletteChanged", {Name(w)}); }
    void OnPaletteIsChanging(ZWnd* w) override { Record("OnPaletteIsChanging", {Name(w)}); }
    void OnDrawItem(UINT id, DRAWITEMSTRUCT* item, ZDC* dc) override {
        Record("OnDrawItem", {Arg(id), Name(item), Name(dc)});
    }
    void OnMeasureItem(UINT id, MEASUREITEMSTRUCT* item) override { Record("OnMeasureItem", {Arg(id), Name(item)}); }
    void OnDeleteItem(UINT id, DELETEITEMSTRUCT* item) override { Record("OnDeleteItem", {Arg(id), Name(item)}); }
};

LPARAM Long(int low, int high) {
    return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(low), static_cast<WORD>(high)));
}
LPARAM Ptr(const void* p) { return reinterpret_cast<LPARAM>(p); }

// How the handler behaves in a row.
enum Mode {
    Handled,   // leaves the flag set, returns true / 42
    Asks,      // clears the flag, returns true / 42
    Refuses,   // leaves the flag set, returns false
};
// What DefaultProc received: nothing, the row's message, or the wheel message.
enum Default { None, Same, Wheel };

struct Row {
    const char* name;
    UINT message;   // 0 for the registered wheel message
    WPARAM wParam;
    LPARAM lParam;
    Mode mode;
    const char* call;   // "" when no handler is called
    LRESULT answer;
    Default defaults;
};

constexpr LRESULT D = DefaultAnswer;

// wParam values that stand for handles, filled in by the test: the other window, the fake
// device context and the fake menu. An lParam of -1 stands for the other window, -3 for the menu.
constexpr WPARAM OtherW = 0xF001;
constexpr WPARAM DcW = 0xF002;
constexpr WPARAM MenuW = 0xF003;

const Row Rows[] = {
    {"create", WM_CREATE, 0, Ptr(&g_create), Handled, "OnCreate(cs)", 0, None},
    {"create refused", WM_CREATE, 0, Ptr(&g_create), Refuses, "OnCreate(cs)", -1, None},
    {"create asks", WM_CREATE, 0, Ptr(&g_create), Asks, "OnCreate(cs)", 0, None},
    {"destroy", WM_DESTROY, 0, 0, Handled, "OnDestroy()", D, Same},
    {"move", WM_MOVE, 0, Long(-3, 7), Handled, "OnMove(-3,7)", D, Same},
    {"size", WM_SIZE, 2, Long(640, 480), Handled, "OnSize(2,640,480)", D, Same},
    {"activate", WM_ACTIVATE, MAKELONG(1, 1), -1, Handled, "OnActivate(1,other,1)", D, Same},
    {"setfocus", WM_SETFOCUS, OtherW, 0, Handled, "OnSetFocus(other)", 0, None},
    {"setfocus asks", WM_SETFOCUS, 0, 0, Asks, "OnSetFocus(null)", D, Same},
    {"killfocus", WM_KILLFOCUS, OtherW, 0, Handled, "OnKillFocus(other)", 0, None},
    {"killfocus asks", WM_KILLFOCUS, OtherW, 0, Asks, "OnKillFocus(other)", D, Same},
    {"paint", WM_PAINT, 0, 0, Handled, "OnPaint()", 0, None},
    {"paint asks", WM_PAINT, 0, 0, Asks, "OnPaint()", D, Same},
    {"close", WM_CLOSE, 0, 0, Handled, "CanClose() OnClose()", D, Same},
    {"close refused", WM_CLOSE, 0, 0, Refuses, "CanClose()", 0, None},
    {"erasebkgnd", WM_ERASEBKGND, DcW, 0, Handled, "OnEraseBkgnd(dc)", 1, None},
    {"erasebkgnd false", WM_ERASEBKGND, DcW, 0, Refuses, "OnEraseBkgnd(dc)", 0, None},
    {"erasebkgnd asks", WM_ERASEBKGND, DcW, 0, Asks, "OnEraseBkgnd(dc)", D, Same},
    {"syscolorchange", WM_SYSCOLORCHANGE, 0, 0, Handled, "OnSysColorChange()", D, Same},
    {"showwindow", WM_SHOWWINDOW, 1, 3, Handled, "OnShowWindow(1,3)", 0, None},
    {"showwindow asks", WM_SHOWWINDOW, 0, 0, Asks, "OnShowWindow(0,0)", D, Same},
    {"settingchange", WM_SETTINGCHANGE, 5, 9, Handled, "OnSettingChange(5,9)", D, Same},
    {"activateapp", WM_ACTIVATEAPP, 1, 1234, Handled, "OnActivateApp(1,1234)", 0, None},
    {"activateapp asks", WM_ACTIVATEAPP, 0, 1234, Asks, "OnActivateApp(0,1234)", D, Same},
    {"setcursor", WM_SETCURSOR, OtherW, Long(1, WM_MOUSEMOVE), Handled, "OnSetCursor(other,1,512)", 1, None},
    {"setcursor false", WM_SETCURSOR, OtherW, Long(1, WM_MOUSEMOVE), Refuses, "OnSetCursor(other,1,512)", 0, None},
    {"setcursor asks", WM_SETCURSOR, OtherW, Long(1, WM_MOUSEMOVE), Asks, "OnSetCursor(other,1,512)", D, Same},
    {"drawitem", WM_DRAWITEM, 7, Ptr(&g_draw), Handled, "OnDrawItem(7,dis,dc)", 0, None},
    {"drawitem asks", WM_DRAWITEM, 7, Ptr(&g_draw), Asks, "OnDrawItem(7,dis,dc)", D, Same},
    {"drawitem null", WM_DRAWITEM, 7, 0, Handled, "", D, Same},
    {"measureitem", WM_MEASUREITEM, 8, Ptr(&g_measure), Handled, "OnMeasureItem(8,mis)", 0, None},
    {"measureitem asks", WM_MEASUREITEM, 8, Ptr(&g_measure), Asks, "OnMeasureItem(8,mis)", D, Same},
    {"measureitem null", WM_MEASUREITEM, 8, 0, Handled, "", D, Same},
    {"deleteitem", WM_DELETEITEM, 9, Ptr(&g_delete), Handled, "OnDeleteItem(9,del)", 0, None},
    {"deleteitem asks", WM_DELETEITEM, 9, Ptr(&g_delete), Asks, "OnDeleteItem(9,del)", D, Same},
    {"deleteitem null", WM_DELETEITEM, 9, 0, Handled, "", D, Same},
    {"windowposchanging", WM_WINDOWPOSCHANGING, 0, Ptr(&g_position), Handled, "OnWindowPosChanging(wp)", D, Same},
    {"windowposchanged", WM_WINDOWPOSCHANGED, 0, Ptr(&g_position), Handled, "OnWindowPosChanged(wp)", 0, None},
    {"windowposchanged asks", WM_WINDOWPOSCHANGED, 0, Ptr(&g_position), Asks, "OnWindowPosChanged(wp)", D, Same},
    {"notify", WM_NOTIFY, 5, Ptr(&g_header), Handled, "OnNotify(5,nm,0)", 42, None},
    {"notify asks but true", WM_NOTIFY, 5, Ptr(&g_header), Asks, "OnNotify(5,nm,0)", 42, None},
    {"notify false", WM_NOTIFY, 5, Ptr(&g_header), Refuses, "OnNotify(5,nm,0)", D, Same},
    {"contextmenu", WM_CONTEXTMENU, OtherW, Long(10, -20), Handled, "OnContextMenu(other,10,-20)", D, Same},
    {"nccalcsize", WM_NCCALCSIZE, 1, Ptr(&g_calcSize), Handled, "OnNcCalcSize(1,params)", 42, None},
    {"nccalcsize asks", WM_NCCALCSIZE, 0, Ptr(&g_calcSize), Asks, "OnNcCalcSize(0,params)", D, Same},
    {"nchittest", WM_NCHITTEST, 0, Long(-1, 2), Handled, "OnNcHitTest(-1,2)", 42, None},
    {"nchittest asks", WM_NCHITTEST, 0, Long(-1, 2), Asks, "OnNcHitTest(-1,2)", 42, None},
    {"ncpaint", WM_NCPAINT, 1, 0, Handled, "OnNcPaint()", 0, None},
    {"ncpaint asks", WM_NCPAINT, 1, 0, Asks, "OnNcPaint()", D, Same},
    {"getdlgcode", WM_GETDLGCODE, 0, 0, Handled, "OnGetDlgCode()", 42, None},
    {"getdlgcode asks", WM_GETDLGCODE, 0, 0, Asks, "OnGetDlgCode()", D, Same},
    {"keydown", WM_KEYDOWN, 0x41, Long(3, 0x1E), Handled, "OnKeyDown(65,3,30)", D, Same},
    {"keyup", WM_KEYUP, 0x41, Long(1, 0xC01E), Handled, "OnKeyUp(65,1,49182)", D, Same},
    {"command", WM_COMMAND, MAKELONG(40001, 1), 0, Handled, "OnCommand(40001,1)", 0, None},
    {"command asks", WM_COMMAND, MAKELONG(40001, 1), 0, Asks, "OnCommand(40001,1)", D, Same},
    {"syscommand", WM_SYSCOMMAND, SC_CLOSE, Long(5, -6), Handled, "OnSysCommand(61536,5,-6)", 0, None},
    {"syscommand asks", WM_SYSCOMMAND, SC_CLOSE, 0, Asks, "OnSysCommand(61536,0,0)", D, Same},
    {"timer", WM_TIMER, 101, 0, Handled, "OnTimer(101)", D, Same},
    {"hscroll", WM_HSCROLL, MAKELONG(4, 77), -1, Handled, "OnHScroll(4,77,other)", D, Same},
    {"vscroll", WM_VSCROLL, MAKELONG(5, 65535), 0, Handled, "OnVScroll(5,65535,null)", D, Same},
    {"initmenu", WM_INITMENU, MenuW, 0, Handled, "OnInitMenu(menu)", D, Same},
    {"initmenupopup", WM_INITMENUPOPUP, MenuW, Long(2, 1), Handled, "OnInitMenuPopup(menu,2,1)", D, Same},
    {"menuselect", WM_MENUSELECT, MAKELONG(40004, 0x80), -3, Handled, "OnMenuSelect(40004,128,menu)", D, Same},
    {"enteridle", WM_ENTERIDLE, 2, -1, Handled, "OnEnterIdle(2,other)", D, Same},
    {"ctlcolormsgbox", WM_CTLCOLORMSGBOX, DcW, -1, Handled, "", D, Same},
    {"ctlcoloredit", WM_CTLCOLOREDIT, DcW, -1, Handled, "OnCtlColor(dc,other,1)", 42, None},
    {"ctlcolorlistbox", WM_CTLCOLORLISTBOX, DcW, -1, Handled, "OnCtlColor(dc,other,2)", 42, None},
    {"ctlcolorbtn", WM_CTLCOLORBTN, DcW, -1, Handled, "OnCtlColor(dc,other,3)", 42, None},
    {"ctlcolordlg", WM_CTLCOLORDLG, DcW, -1, Handled, "OnCtlColor(dc,other,4)", 42, None},
    {"ctlcolorscrollbar", WM_CTLCOLORSCROLLBAR, DcW, -1, Handled, "OnCtlColor(dc,other,5)", 42, None},
    {"ctlcolorstatic", WM_CTLCOLORSTATIC, DcW, -1, Handled, "OnCtlColor(dc,other,6)", 42, None},
    {"ctlcolorstatic asks", WM_CTLCOLORSTATIC, DcW, -1, Asks, "OnCtlColor(dc,other,6)", D, Same},
    {"mousemove", WM_MOUSEMOVE, 1, Long(-5, 6), Handled, "OnMouseMove(1,-5,6)", D, Same},
    {"lbuttondown", WM_LBUTTONDOWN, 1, Long(1, 2), Handled, "OnLButtonDown(1,1,2)", D, Same},
    {"lbuttonup", WM_LBUTTONUP, 0, Long(3, 4), Handled, "OnLButtonUp(0,3,4)", D, Same},
    {"lbuttondblclk", WM_LBUTTONDBLCLK, 1, Long(5, 6), Handled, "OnLButtonDblClk(1,5,6)", D, Same},
    {"rbuttondown", WM_RBUTTONDOWN, 2, Long(-7, 8), Handled, "OnRButtonDown(2,-7,8)", D, Same},
    {"rbuttonup", WM_RBUTTONUP, 0, Long(9, -10), Handled, "OnRButtonUp(0,9,-10)", D, Same},
    {"rbuttondblclk", WM_RBUTTONDBLCLK, 2, Long(11, 12), Handled, "OnRButtonDblClk(2,11,12)", D, Same},
    {"mbuttondown", WM_MBUTTONDOWN, 16, Long(13, 14), Handled, "OnMButtonDown(16,13,14)", D, Same},
    {"mbuttonup", WM_MBUTTONUP, 0, Long(15, 16), Handled, "OnMButtonUp(0,15,16)", D, Same},
    {"mbuttondblclk", WM_MBUTTONDBLCLK, 16, Long(17, 18), Handled, "OnMButtonDblClk(16,17,18)", D, Same},
    {"mousewheel", WM_MOUSEWHEEL, MAKELONG(4, static_cast<WORD>(-120)), Long(100, -200), Handled,
     "OnMouseWheel(4,-120,100,-200)", 0, None},
    {"mousewheel false", WM_MOUSEWHEEL, MAKELONG(0, 120), Long(1, 2), Refuses, "OnMouseWheel(0,120,1,2)", D, Same},
    {"registered wheel", 0, MAKELONG(8, 240), Long(3, 4), Refuses, "OnMouseWheel(8,240,3,4)", D, Wheel},
    {"dropfiles", WM_DROPFILES, DcW, 0, Handled, "OnDropFiles(dc)", 0, None},
    {"dropfiles asks", WM_DROPFILES, DcW, 0, Asks, "OnDropFiles(dc)", D, Same},
    {"ncmousehover", WM_NCMOUSEHOVER, 2, Long(20, 30), Handled, "OnNcMouseHover(2,20,30)", D, Same},
    {"mousehover", WM_MOUSEHOVER, 1, Long(-20, 30), Handled, "OnMouseHover(1,-20,30)", D, Same},
    {"ncmouseleave", WM_NCMOUSELEAVE, 0, 0, Handled, "OnNcMouseLeave()", D, Same},
    {"mouseleave", WM_MOUSELEAVE, 0, 0, Handled, "OnMouseLeave()", D, Same},
    {"drawclipboard", WM_DRAWCLIPBOARD, 0, 0, Handled, "OnDrawClipboard()", 0, None},
    {"drawclipboard asks", WM_DRAWCLIPBOARD, 0, 0, Asks, "OnDrawClipboard()", D, Same},
    {"changecbchain", WM_CHANGECBCHAIN, OtherW, 0, Handled, "OnChangeCbChain(other,null)", 0, None},
    {"changecbchain asks", WM_CHANGECBCHAIN, OtherW, 0, Asks, "OnChangeCbChain(other,null)", D, Same},
    {"querynewpalette", WM_QUERYNEWPALETTE, 0, 0, Handled, "OnQueryNewPalette()", 1, None},
    {"querynewpalette false", WM_QUERYNEWPALETTE, 0, 0, Refuses, "OnQueryNewPalette()", 0, None},
    {"querynewpalette asks", WM_QUERYNEWPALETTE, 0, 0, Asks, "OnQueryNewPalette()", D, Same},
    {"paletteischanging", WM_PALETTEISCHANGING, OtherW, 0, Handled, "OnPaletteIsChanging(other)", 0, None},
    {"paletteischanging asks", WM_PALETTEISCHANGING, OtherW, 0, Asks, "OnPaletteIsChanging(other)", D, Same},
    {"palettechanged", WM_PALETTECHANGED, OtherW, 0, Handled, "OnPaletteChanged(other)", 0, None},
    {"palettechanged asks", WM_PALETTECHANGED, OtherW, 0, Asks, "OnPaletteChanged(other)", D, Same},
    {"hotkey", WM_HOTKEY, 3, Long(2, 0x41), Handled, "OnHotKey(3,2,65)", 0, None},
    {"hotkey asks", WM_HOTKEY, 3, Long(2, 0x41), Asks, "OnHotKey(3,2,65)", D, Same},
    {"print", WM_PRINT, DcW, 4, Handled, "OnPrint(dc,4)", 0, None},
    {"print asks", WM_PRINT, DcW, 4, Asks, "OnPrint(dc,4)", 0, None},
    {"printclient", WM_PRINTCLIENT, DcW, 8, Handled, "OnPrintClient(dc,8)", 0, None},
    {"printclient asks", WM_PRINTCLIENT, DcW, 8, Asks, "OnPrintClient(dc,8)", 0, None},
    {"appcommand", WM_APPCOMMAND, OtherW, Long(8, 0x1005), Handled, "OnAppCommand(other,5,4096,8)", 1, None},
    {"appcommand asks", WM_APPCOMMAND, OtherW, Long(8, 0x1005), Asks, "OnAppCommand(other,5,4096,8)", D, Same},
    {"unknown message", WM_USER + 5, 6, 7, Handled, "", D, Same},
};

// The handle a row's wParam or lParam stands for.
ULONG_PTR Resolve(ULONG_PTR value, bool isLParam) {
    if (isLParam) {
        if (static_cast<LPARAM>(value) == -1) return reinterpret_cast<ULONG_PTR>(g_other);
        if (static_cast<LPARAM>(value) == -3) return reinterpret_cast<ULONG_PTR>(FakeMenu);
        return value;
    }
    switch (value) {
    case OtherW: return reinterpret_cast<ULONG_PTR>(g_other);
    case DcW: return reinterpret_cast<ULONG_PTR>(FakeDc);
    case MenuW: return reinterpret_cast<ULONG_PTR>(FakeMenu);
    default: return value;
    }
}

bool RegisterTestClass() {
    return RegisterWndClass(ClassName, 0, nullptr, nullptr, nullptr, nullptr);
}

class WndDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterTestClass());
        ASSERT_TRUE(window.Create(ClassName, "dispatch", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
        g_self = window.GetHandle();
        g_other = CreateWindowExA(0, ClassName, "other", 0, 0, 0, 10, 10, nullptr, nullptr, GetApp()->GetHandle(),
                                  nullptr);
        ASSERT_NE(g_other, nullptr);
        savedWheel = g_mouseWheelMessage;
        g_mouseWheelMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
        g_draw = DRAWITEMSTRUCT{};
        g_draw.hDC = FakeDc;
        window.calls.clear();
        window.defaults.clear();
    }
    void TearDown() override {
        g_mouseWheelMessage = savedWheel;
        DestroyWindow(g_other);
        window.DestroyWnd();
        FlushTemporaries();
    }

    RecordingWnd window;
    UINT savedWheel = 0;
};

TEST_F(WndDispatchTest, EveryRowDecodesAnswersAndDefaultsAsItsTableSays) {
    for (const Row& row : Rows) {
        SCOPED_TRACE(row.name);
        window.calls.clear();
        window.defaults.clear();
        window.askDefault = row.mode == Asks;
        window.boolResult = row.mode != Refuses;
        const UINT message = row.message == 0 ? g_mouseWheelMessage : row.message;
        const WPARAM wParam = Resolve(row.wParam, false);
        const LPARAM lParam = static_cast<LPARAM>(Resolve(static_cast<ULONG_PTR>(row.lParam), true));

        const LRESULT answer = SendMessageA(g_self, message, wParam, lParam);

        std::string calls;
        for (const std::string& call : window.calls) calls += (calls.empty() ? "" : " ") + call;
        EXPECT_EQ(calls, row.call);
        EXPECT_EQ(answer, row.answer);
        if (row.defaults == None) {
            EXPECT_TRUE(window.defaults.empty());
        } else {
            ASSERT_EQ(window.defaults.size(), 1u);
            EXPECT_EQ(window.defaults[0].message, row.defaults == Wheel ? WM_MOUSEWHEEL : message);
            EXPECT_EQ(window.defaults[0].wParam, wParam);
            EXPECT_EQ(window.defaults[0].lParam, lParam);
        }
        FlushTemporaries();
    }
}

// A window that overrides no handler: what the default handlers leave to default processing.
class DefaultsOnlyWnd : public ZWnd {
public:
    int defaults = 0;
    LRESULT DefaultProc() override {
        ++defaults;
        return DefaultAnswer;
    }
};

TEST_F(WndDispatchTest, DefaultHandlersAskForDefaultProcessingWhereTheyShould) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT answer;
        int defaults;   // DefaultProc calls: the handler's own and the dispatcher's
    };
    const Case cases[] = {
        {"create", WM_CREATE, 0, Ptr(&g_create), 0, 0},
        {"destroy", WM_DESTROY, 0, 0, D, 1},
        {"setfocus", WM_SETFOCUS, 0, 0, D, 1},
        {"killfocus", WM_KILLFOCUS, 0, 0, D, 1},
        {"paint", WM_PAINT, 0, 0, D, 1},
        {"close", WM_CLOSE, 0, 0, D, 1},
        {"erasebkgnd", WM_ERASEBKGND, 0, 0, D, 1},
        {"showwindow", WM_SHOWWINDOW, 1, 0, D, 1},
        {"activateapp", WM_ACTIVATEAPP, 1, 0, D, 1},
        {"setcursor", WM_SETCURSOR, 0, 0, D, 1},
        {"drawitem", WM_DRAWITEM, 7, Ptr(&g_draw), D, 1},
        {"measureitem", WM_MEASUREITEM, 7, Ptr(&g_measure), D, 1},
        {"deleteitem", WM_DELETEITEM, 7, Ptr(&g_delete), D, 1},
        {"windowposchanged", WM_WINDOWPOSCHANGED, 0, Ptr(&g_position), D, 1},
        {"notify", WM_NOTIFY, 5, Ptr(&g_header), D, 1},
        {"nccalcsize", WM_NCCALCSIZE, 0, 0, D, 1},
        {"nchittest", WM_NCHITTEST, 0, 0, D, 1},
        {"ncpaint", WM_NCPAINT, 1, 0, D, 1},
        {"getdlgcode", WM_GETDLGCODE, 0, 0, D, 2},
        {"keydown", WM_KEYDOWN, 0x41, 0, D, 1},
        {"command", WM_COMMAND, 40001, 0, D, 1},
        {"syscommand", WM_SYSCOMMAND, SC_CLOSE, 0, D, 1},
        {"timer", WM_TIMER, 101, 0, D, 1},
        {"ctlcolorbtn", WM_CTLCOLORBTN, 0, 0, D, 2},
        {"mousewheel", WM_MOUSEWHEEL, 0, 0, D, 1},
        {"dropfiles", WM_DROPFILES, 0, 0, D, 1},
        {"drawclipboard", WM_DRAWCLIPBOARD, 0, 0, D, 1},
        {"changecbchain", WM_CHANGECBCHAIN, 0, 0, D, 1},
        {"querynewpalette", WM_QUERYNEWPALETTE, 0, 0, D, 1},
        {"paletteischanging", WM_PALETTEISCHANGING, 0, 0, D, 1},
        {"palettechanged", WM_PALETTECHANGED, 0, 0, D, 1},
        {"hotkey", WM_HOTKEY, 1, 0, D, 1},
        {"print", WM_PRINT, 0, 0, 0, 1},
        {"printclient", WM_PRINTCLIENT, 0, 0, 0, 1},
        {"appcommand", WM_APPCOMMAND, 0, 0, D, 1},
    };
    DefaultsOnlyWnd plain;
    ASSERT_TRUE(plain.Create(ClassName, "plain", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plain.defaults = 0;
        EXPECT_EQ(SendMessageA(plain.GetHandle(), c.message, c.wParam, c.lParam), c.answer);
        EXPECT_EQ(plain.defaults, c.defaults);
    }
    EXPECT_TRUE(plain.DestroyWnd());
    FlushTemporaries();
}

// A control that draws its own items, and one that only says so through HandlesOwnerDraw.
class ItemControl : public ZWinControl {
public:
    std::vector<std::string>* log = nullptr;
    void OnReflectedDrawItem(DRAWITEMSTRUCT* item, ZDC* dc) override {
        log->push_back("control draw " + Name(item) + " " + Name(dc));
    }
    void OnReflectedMeasureItem(MEASUREITEMSTRUCT* item) override { log->push_back("control measure " + Name(item)); }
    void OnReflectedDeleteItem(DELETEITEMSTRUCT* item) override { log->push_back("control delete " + Name(item)); }
};

class OwnerDrawWnd : public ZWnd {
public:
    std::vector<std::string>* log = nullptr;
    bool HandlesOwnerDraw() override { return true; }
    void OnReflectedDrawItem(DRAWITEMSTRUCT* item, ZDC* dc) override {
        log->push_back("window draw " + Name(item) + " " + Name(dc));
    }
    void OnReflectedMeasureItem(MEASUREITEMSTRUCT* item) override { log->push_back("window measure " + Name(item)); }
    void OnReflectedDeleteItem(DELETEITEMSTRUCT* item) override { log->push_back("window delete " + Name(item)); }
};

class ParentWnd : public ZWnd {
public:
    std::vector<LRESULT> defaults;
    LRESULT DefaultProc() override {
        defaults.push_back(currentMessage);
        return DefaultAnswer;
    }
};

TEST_F(WndDispatchTest, OwnerDrawReachesTheItemWindow) {
    std::vector<std::string> log;
    ParentWnd parent;
    ASSERT_TRUE(parent.Create(ClassName, "parent", 0, 0, 0, 0, 100, 100, nullptr, nullptr, nullptr));
    ItemControl control;
    control.log = &log;
    ASSERT_TRUE(control.Create(ClassName, "control", WS_CHILD, 0, 0, 0, 10, 10, parent.GetHandle(),
                               reinterpret_cast<HMENU>(7), nullptr));
    OwnerDrawWnd drawer;
    drawer.log = &log;
    ASSERT_TRUE(drawer.Create(ClassName, "drawer", WS_CHILD, 0, 0, 0, 10, 10, parent.GetHandle(),
                              reinterpret_cast<HMENU>(8), nullptr));

    struct Case {
        const char* name;
        HWND item;
        int id;
        std::vector<std::string> expected;
        LRESULT answer;
    };
    const Case cases[] = {
        // The control gets the reflection from the dispatcher; the default handler finds no
        // HandlesOwnerDraw and so asks for default processing.
        {"ZWinControl", control.GetHandle(), 7,
         {"control draw dis dc", "control measure mis", "control delete del"}, DefaultAnswer},
        // A plain window gets it from the default handler, which then counts the message handled.
        {"HandlesOwnerDraw", drawer.GetHandle(), 8, {"window draw dis dc", "window measure mis", "window delete del"}, 0},
        // An item window without an object: default processing.
        {"no object", nullptr, 9, {}, DefaultAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        parent.defaults.clear();
        g_draw = DRAWITEMSTRUCT{};
        g_draw.hwndItem = c.item;
        g_draw.hDC = FakeDc;
        g_delete = DELETEITEMSTRUCT{};
        g_delete.hwndItem = c.item;
        HWND p = parent.GetHandle();
        EXPECT_EQ(SendMessageA(p, WM_DRAWITEM, c.id, Ptr(&g_draw)), c.answer);
        EXPECT_EQ(SendMessageA(p, WM_MEASUREITEM, c.id, Ptr(&g_measure)), c.answer);
        EXPECT_EQ(SendMessageA(p, WM_DELETEITEM, c.id, Ptr(&g_delete)), c.answer);
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(parent.defaults.size(), c.answer == DefaultAnswer ? 3u : 0u);
        FlushTemporaries();
    }
    EXPECT_TRUE(parent.DestroyWnd());
    FlushTemporaries();
}

}  // namespace
