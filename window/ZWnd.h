// ZWnd: the class library's window object with its message dispatcher, and FrameworkWndProc, the
// window procedure of every class-library window class, which binds windows to their objects.
#pragma once

#include "framework/ZHandle.h"
#include "framework/ZString.h"
#include "platform/win32.h"

class ZDC;
class ZMenu;

// The window procedure of every window class the class library registers. It finds the object
// of the window (binding a new window to the object waiting for it on the window's first
// message) and hands the message to the object's WindowProc.
LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One object for one window. The object must outlive its window: it has no destructor of its
// own, so destroying it neither destroys the window nor takes it out of the handle map, and it
// must not be deleted by one of its own handlers (PostNcDestroy included), since the dispatch in
// progress still uses it. Windows are created, subclassed, dispatched and destroyed on one
// thread at a time.
class ZWnd : public ZHandle<HWND> {
public:
    ZWnd() = default;
    ~ZWnd() override = default;

    HWND InvalidHandle() const override { return nullptr; }
    // Refuses a handle that is no window; binds nothing, so the window's messages do not reach
    // the object.
    bool Attach(HWND window) override;
    // Unsubclasses first, then hands the handle out.
    HWND Detach() override;
    // Sends WM_SYSCOMMAND with SC_CLOSE, as the window menu's Close does.
    bool Close() override;

    virtual bool Create(const char* className, const char* windowName, DWORD style, DWORD exStyle, int x, int y,
                        int width, int height, HWND parent, HMENU menu, void* parameter);
    // Creates the window and binds it to this object from its first message on. False when no
    // window came back, OnCreate refused, or a handler threw during creation.
    virtual bool CreateEx(const char* className, const char* windowName, DWORD style, DWORD exStyle, int x, int y,
                          int width, int height, HWND parent, HMENU menu, void* parameter);
    virtual bool DestroyWnd();
    // Puts FrameworkWndProc in as the procedure of the held window and binds it to this object.
    virtual bool Subclass();
    // Gives the window its old procedure back and takes it out of the handle map; the object
    // keeps its handle. 0 when the window was not subclassed.
    virtual HWND Unsubclass();
    virtual bool SetText(const char* text);
    virtual ZString GetText() const;
    virtual RECT GetClientRect() const;
    // Fills the parent's client rectangle.
    virtual void FitToParent();
    // Spare slots, kept for the layout of the class; nothing calls or overrides them.
    virtual void Reserved1(void* argument);
    virtual void Reserved2(void* argument);
    virtual void Reserved3(void* argument);
    virtual void Reserved4(void* argument);
    // Whether this window draws its items when its parent receives the owner-draw messages.
    virtual bool HandlesOwnerDraw();
    // Called for WM_DELETEITEM of the parent when this window is the item window.
    virtual void OnReflectedDeleteItem(DELETEITEMSTRUCT* item);
    // Called for WM_DRAWITEM of the parent when this window is the item window.
    virtual void OnReflectedDrawItem(DRAWITEMSTRUCT* item, ZDC* dc);
    // Called for WM_MEASUREITEM of the parent when this window is the item window.
    virtual void OnReflectedMeasureItem(MEASUREITEMSTRUCT* item);
    // Called for WM_DELETEITEM; the default reflects it to an item window that handles owner-draw.
    virtual void OnDeleteItem(UINT controlId, DELETEITEMSTRUCT* item);
    // Called for WM_DRAWITEM; the default reflects it to an item window that handles owner-draw.
    virtual void OnDrawItem(UINT controlId, DRAWITEMSTRUCT* item, ZDC* dc);
    // Called for WM_MEASUREITEM; the default reflects it to an item window that handles owner-draw.
    virtual void OnMeasureItem(UINT controlId, MEASUREITEMSTRUCT* item);
    // The default processing of the current message: the procedure Subclass replaced, else
    // DefWindowProcA.
    virtual LRESULT DefaultProc();
    // The dispatcher: one named handler per message, and default processing where the handler
    // asked for it (cleared the handled flag) or the message always gets it.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called by an application's message loop for windows on its idle list; true asks for more.
    virtual bool OnIdle();
    // Asked by Subclass before it replaces the procedure; false refuses the subclassing.
    virtual bool PreSubclass();
    // Asked for WM_CLOSE; false keeps the window.
    virtual bool CanClose();
    // Called last for WM_NCDESTROY, after the window has left the handle map.
    virtual void PostNcDestroy();
    // Called for WM_HOTKEY.
    virtual void OnHotKey(int id, UINT modifiers, UINT virtualKey);
    // Called for WM_APPCOMMAND.
    virtual void OnAppCommand(ZWnd* window, UINT command, UINT device, UINT keys);
    // Called for WM_GETDLGCODE.
    virtual LRESULT OnGetDlgCode();
    // Called for WM_SETCURSOR; true when the cursor was set.
    virtual bool OnSetCursor(ZWnd* window, UINT hitTest, UINT mouseMessage);
    // Called for WM_SETFOCUS with the window that lost the focus.
    virtual void OnSetFocus(ZWnd* window);
    // Called for WM_KILLFOCUS with the window that gets the focus.
    virtual void OnKillFocus(ZWnd* window);
    // Called for WM_SETTINGCHANGE.
    virtual void OnSettingChange(WPARAM flags, LPARAM section);
    // Called for WM_DRAWCLIPBOARD.
    virtual void OnDrawClipboard();
    // Called for WM_CHANGECBCHAIN.
    virtual void OnChangeCbChain(ZWnd* removed, ZWnd* next);
    // Called for WM_MOUSEWHEEL (and the registered wheel message of Windows 95); true when handled.
    virtual bool OnMouseWheel(UINT keys, short delta, int x, int y);
    // Called for WM_CREATE; false makes the creation fail.
    virtual bool OnCreate(CREATESTRUCTA* create);
    // Called for WM_CTLCOLOREDIT to WM_CTLCOLORSTATIC; kind 1 edit, 2 list box, 3 button,
    // 4 dialog, 5 scroll bar, 6 static. Returns the brush as the message's answer.
    virtual LRESULT OnCtlColor(ZDC* dc, ZWnd* control, UINT kind);
    // Called for WM_PAINT.
    virtual void OnPaint();
    // Called for WM_NCPAINT.
    virtual void OnNcPaint();
    // Called by the default OnEraseBkgnd; true when the background was erased.
    virtual bool EraseBackground(ZDC* dc);
    // Called for WM_ERASEBKGND; true when the background was erased.
    virtual bool OnEraseBkgnd(ZDC* dc);
    // Called for WM_SHOWWINDOW.
    virtual void OnShowWindow(bool shown, UINT status);
    // Called for WM_NCCALCSIZE; parameters is the message's lParam.
    virtual LRESULT OnNcCalcSize(bool calculateValidRects, LPARAM parameters);
    // Called for WM_WINDOWPOSCHANGING.
    virtual void OnWindowPosChanging(WINDOWPOS* position);
    // Called for WM_WINDOWPOSCHANGED.
    virtual void OnWindowPosChanged(WINDOWPOS* position);
    // Called for WM_NCHITTEST; answers the hit-test code.
    virtual LRESULT OnNcHitTest(POINT point);
    // Called for WM_KEYUP.
    virtual void OnKeyUp(UINT virtualKey, UINT repeatCount, UINT keyFlags);
    // Called for WM_KEYDOWN.
    virtual void OnKeyDown(UINT virtualKey, UINT repeatCount, UINT keyFlags);
    // Called for WM_MENUSELECT.
    virtual void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    // Called for WM_NOTIFY; true when handled, with the answer in *result.
    virtual bool OnNotify(int controlId, NMHDR* header, LRESULT* result);
    // Called for WM_ENTERIDLE.
    virtual void OnEnterIdle(UINT reason, ZWnd* window);
    // Called first for WM_NCDESTROY, while the window is still bound.
    virtual void OnNcDestroy();
    // Called for WM_SYSCOMMAND.
    virtual void OnSysCommand(UINT command, int x, int y);
    // Called for WM_COMMAND with the command id and the notification code.
    virtual void OnCommand(UINT id, UINT code);
    // Called for WM_CONTEXTMENU.
    virtual void OnContextMenu(ZWnd* window, int x, int y);
    // Called for WM_ACTIVATE.
    virtual void OnActivate(UINT state, ZWnd* window, bool minimised);
    // Called for WM_ACTIVATEAPP.
    virtual void OnActivateApp(bool active, DWORD threadId);
    // Called for WM_MOVE with the client area's new position.
    virtual void OnMove(int x, int y);
    // Called for WM_CLOSE once CanClose agreed; the default processing destroys the window.
    virtual void OnClose();
    // Called for WM_TIMER.
    virtual void OnTimer(UINT_PTR id);
    // Called for WM_SIZE.
    virtual void OnSize(UINT type, int width, int height);
    // Called for WM_DESTROY.
    virtual void OnDestroy();
    // Called for WM_INITMENUPOPUP.
    virtual void OnInitMenuPopup(ZMenu* menu, UINT index, bool isWindowMenu);
    // Called for WM_INITMENU.
    virtual void OnInitMenu(ZMenu* menu);
    // Called for WM_DROPFILES with the drop handle.
    virtual void OnDropFiles(HANDLE drop);
    // Called for WM_MOUSEMOVE.
    virtual void OnMouseMove(UINT keys, int x, int y);
    // Called for WM_MOUSEHOVER.
    virtual void OnMouseHover(UINT keys, int x, int y);
    // Called for WM_MOUSELEAVE.
    virtual void OnMouseLeave();
    // Called for WM_NCMOUSEHOVER.
    virtual void OnNcMouseHover(UINT hitTest, int x, int y);
    // Called for WM_NCMOUSELEAVE.
    virtual void OnNcMouseLeave();
    // Called for WM_LBUTTONDOWN.
    virtual void OnLButtonDown(UINT keys, int x, int y);
    // Called for WM_RBUTTONDOWN.
    virtual void OnRButtonDown(UINT keys, int x, int y);
    // Called for WM_MBUTTONDOWN.
    virtual void OnMButtonDown(UINT keys, int x, int y);
    // Called for WM_LBUTTONUP.
    virtual void OnLButtonUp(UINT keys, int x, int y);
    // Called for WM_RBUTTONUP.
    virtual void OnRButtonUp(UINT keys, int x, int y);
    // Called for WM_MBUTTONUP.
    virtual void OnMButtonUp(UINT keys, int x, int y);
    // Called for WM_LBUTTONDBLCLK.
    virtual void OnLButtonDblClk(UINT keys, int x, int y);
    // Called for WM_RBUTTONDBLCLK.
    virtual void OnRButtonDblClk(UINT keys, int x, int y);
    // Called for WM_MBUTTONDBLCLK.
    virtual void OnMButtonDblClk(UINT keys, int x, int y);
    // Called for WM_SYSCOLORCHANGE.
    virtual void OnSysColorChange();
    // Called for WM_VSCROLL.
    virtual void OnVScroll(UINT code, UINT position, ZWnd* scrollBar);
    // Called for WM_HSCROLL.
    virtual void OnHScroll(UINT code, UINT position, ZWnd* scrollBar);
    // Called for WM_PRINT; the dispatcher answers 0 whatever it returns.
    virtual LRESULT OnPrint(ZDC* dc, LPARAM options);
    // Called for WM_PRINTCLIENT; the dispatcher answers 0 whatever it returns.
    virtual LRESULT OnPrintClient(ZDC* dc, LPARAM options);
    // Called for WM_QUERYNEWPALETTE; true when a palette was realised.
    virtual bool OnQueryNewPalette();
    // Called for WM_PALETTECHANGED with the window that changed the palette.
    virtual void OnPaletteChanged(ZWnd* window);
    // Called for WM_PALETTEISCHANGING.
    virtual void OnPaletteIsChanging(ZWnd* window);

    // The bound object of the window; for a foreign window a new temporary object each time,
    // deleted at the next FlushTemporaries. Null for a null handle.
    static ZWnd* FromHandle(HWND window);

    bool MoveTo(const RECT& rect, bool repaint);
    bool MoveTo(int x, int y, int width, int height, bool repaint);
    // WinHelpA with the application's help file.
    bool WinHelp(ULONG_PTR data, UINT command);
    // A message box owned by this window; a null caption stands for the application name.
    int MessageBox(const char* text, UINT type, const char* caption);

protected:
    // Asks for default processing of the message being dispatched.
    void SetNotHandled();
    void SetHandled();
    bool IsHandled() const;

    WNDPROC prevWndProc = nullptr;
    // The handled flag of the dispatch in progress; each dispatch puts back the pointer it found.
    bool* handled = nullptr;
    UINT currentMessage = 0;
    WPARAM currentWParam = 0;
    LPARAM currentLParam = 0;

private:
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);

    // The owner-draw messages: reflection to a ZWinControl item window, then the On… handler.
    void DispatchOwnerDraw(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_NCDESTROY: OnNcDestroy, the last default processing, leaving the handle map, closing
    // help, PostNcDestroy.
    LRESULT OnNcDestroyMessage();
    // Default processing after a handler: DefaultProc unless the window was destroyed meanwhile.
    LRESULT Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

namespace detail {
// The ticket under which the next window is bound. Tests set it to reach the wrap-around
// without sixteen million windows.
int CreationTicket();
void SetCreationTicket(int ticket);
}  // namespace detail
