// Windows and messages: window classes, windows, per-thread message queues, timers, window
// state (text, rectangles, longs, paint, capture, focus and foreground) and the end of session.
// An in-process window manager: a window belongs to the thread that created it, and its
// messages are dispatched on that thread.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// Messages, with their Windows values.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_DELETEITEM = 0x002D;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCCALCSIZE = 0x0083;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_ENTERIDLE = 0x0121;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_NCMOUSEHOVER = 0x02A0;
constexpr UINT WM_MOUSEHOVER = 0x02A1;
constexpr UINT WM_NCMOUSELEAVE = 0x02A2;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_DRAWCLIPBOARD = 0x0308;
constexpr UINT WM_CHANGECBCHAIN = 0x030D;
constexpr UINT WM_QUERYNEWPALETTE = 0x030F;
constexpr UINT WM_PALETTEISCHANGING = 0x0310;
constexpr UINT WM_PALETTECHANGED = 0x0311;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_PRINT = 0x0317;
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr UINT WM_APPCOMMAND = 0x0319;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WORD BN_CLICKED = 0;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_GLOBALCLASS = 0x4000;

constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_BTNFACE = 15;

struct WNDCLASSEXA {
    UINT cbSize;   // sizeof(WNDCLASSEXA)
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;   // extra window bytes; each window long there holds a pointer
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
typedef WNDCLASSEXA* LPWNDCLASSEXA;

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};
typedef CREATESTRUCTA* LPCREATESTRUCTA;

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};

struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};

struct DELETEITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    HWND hwndItem;
    ULONG_PTR itemData;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

// Error codes of the window manager, with their Windows values.
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

// Classes. A class is registered per module; CS_GLOBALCLASS makes it visible to every module.
// Class names, like registered message names, compare without regard to ASCII case.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL GetClassInfoExA(HINSTANCE instance, LPCSTR className, LPWNDCLASSEXA windowClass);
int GetClassNameA(HWND window, LPSTR className, int maxCount);

// Sends the creation messages in Windows' order (WM_GETMINMAXINFO for top-level windows,
// WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE); WM_CREATE answered -1 or WM_NCCREATE answered 0 destroys
// the window again and returns null.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);
// WM_DESTROY to the window, then to its children; then WM_NCDESTROY to the children and the window.
// Only the window's own thread may destroy it (ERROR_ACCESS_DENIED otherwise). Handle values are
// never used again. Windows still alive when their thread ends go without messages.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// Handles WM_SYSCOMMAND with SC_CLOSE (sends WM_CLOSE), WM_CLOSE (DestroyWindow), the text
// messages, WM_NCCREATE (takes the window text), WM_PRINT and WM_ERASEBKGND with answers as on
// Windows; everything else answers 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Messages. A thread's queue exists from its first call that needs one.
// On the window's own thread a direct call of its window procedure. From another thread it is a
// broken invariant: this program sends only to its own windows.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// From any thread; a null window posts to the calling thread's queue.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// 0 for WM_QUIT. Posted messages first, then WM_QUIT once no other posted message is left, then
// WM_PAINT for an invalid window, then WM_TIMER for a due timer (at most one pending per timer);
// blocks on the kernel until one of them is there. WM_QUIT passes every filter, as on Windows.
BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Blocks until a message arrives that was not there at the last look at the queue.
BOOL WaitMessage();
// Keyboard input does not exist here: FALSE.
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
// There are no dialog windows here: FALSE.
BOOL IsDialogMessageA(HWND dialog, LPMSG message);
// One id per name (without regard to case), from 0xC000 on.
UINT RegisterWindowMessageA(LPCSTR name);
constexpr DWORD QS_ALLINPUT = 0x04FF;
// As WaitForMultipleObjects, and WAIT_OBJECT_0 + count when a message is there for the thread.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);

typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
// Timers of a window on its thread's monotonic clock; the result is the id.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Window data. Each long of the extra bytes and every index below is pointer-sized; the extra
// bytes keep the 32-bit layout for their indexes (index 4 is the second long), so a class asks
// for 4 bytes per long. The 32-bit functions reach only GWL_STYLE, GWL_EXSTYLE and GWLP_ID;
// other indexes fail with ERROR_INVALID_INDEX, as on 64-bit Windows.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);

BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int maxCount);
int GetWindowTextLengthA(HWND window);
HWND GetParent(HWND window);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);

// Rectangles: the window rectangle in screen coordinates (a child's relative to its parent's
// client area plus the parent's position), the client rectangle from 0, 0; windows have no frame.
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
// Set by the window manager in WM_WINDOWPOSCHANGED when the position or the size stayed as it was.
constexpr UINT SWP_NOCLIENTSIZE = 0x0800;
constexpr UINT SWP_NOCLIENTMOVE = 0x1000;
#define HWND_TOPMOST (reinterpret_cast<win32::HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<win32::HWND>(static_cast<std::intptr_t>(-2)))
// Sends WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED; DefWindowProcA answers the latter with
// WM_MOVE and WM_SIZE where they changed. The z-order is kept only as the topmost state.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWDEFAULT = 10;
BOOL ShowWindow(HWND window, int command);

// Painting: an invalid window gets WM_PAINT when its thread's queue is otherwise empty. As on
// Windows a hidden window (or one with a hidden parent) is not made invalid; showing a window
// makes it invalid. The whole client area is painted: rcPaint is the union of the invalid parts.
// BeginPaint sends WM_ERASEBKGND when an invalidation asked for erasing; fErase is then TRUE when
// that message answered 0 (the background still needs erasing), as on Windows.
BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// Input state, kept per process as the desktop would. SetFocus sends WM_KILLFOCUS and WM_SETFOCUS
// to the windows of the calling thread; foreground and activation are recorded state without
// messages; AttachThreadInput and AllowSetForegroundWindow only record their calls.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
HWND SetFocus(HWND window);
HWND GetFocus();
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND window);
BOOL BringWindowToTop(HWND window);
HWND SetActiveWindow(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
BOOL AttachThreadInput(DWORD attach, DWORD attachTo, BOOL doAttach);
BOOL AllowSetForegroundWindow(DWORD processId);

// Help: recorded for tests, nothing is opened.
constexpr UINT HELP_QUIT = 0x0002;
BOOL WinHelpA(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data);

}  // namespace win32
