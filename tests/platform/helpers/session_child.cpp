// The child process of the end-of-session tests: "window" runs a window that keeps itself
// through the first WM_CLOSE and gives in to the second; "plain" waits without any window. Each
// reports on standard output: R when ready, C for each WM_CLOSE.
#include "platform/win32.h"

#include <cstring>
#include <unistd.h>

namespace {

void Report(char what) {
    if (write(STDOUT_FILENO, &what, 1) != 1) _exit(2);
}

// Keeps its window through the first WM_CLOSE and gives in to the second.
LRESULT CALLBACK StubbornProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static int closes = 0;
    if (message == WM_CLOSE) {
        Report('C');
        if (++closes < 2) return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

[[noreturn]] void RunWindowChild() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = StubbornProcedure;
    windowClass.lpszClassName = "RwTestSessionWindow";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "RwTestSessionWindow", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) _exit(3);
    Report('R');
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    ExitProcess(7);
}

[[noreturn]] void RunPlainChild() {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report('R');
    WaitForSingleObject(never, INFINITE);
    _exit(3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "window") == 0) RunWindowChild();
    RunPlainChild();
}
