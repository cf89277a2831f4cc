// Registration of the class library's window classes.
#include "window/WindowClass.h"

#include "framework/ZApplication.h"
#include "window/ZWnd.h"

bool RegisterWndClass(const char* className, UINT style, HICON icon, HICON smallIcon, HCURSOR cursor,
                      HBRUSH background) {
    const HINSTANCE module = GetApp()->GetHandle();
    WNDCLASSEXA windowClass{};
    if (GetClassInfoExA(module, className, &windowClass)) return true;
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = FrameworkWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = module;
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    windowClass.hIconSm = smallIcon;
    return RegisterClassExA(&windowClass) != 0;
}
