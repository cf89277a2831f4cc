#include "tray/ZUIThread.h"

#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "framework/ZString.h"
#include "window/WindowClass.h"

#include <chrono>

namespace {

constexpr UINT WindowClassStringId = 102;
// COLOR_WINDOW + 1: the system colour as a brush value.
const HBRUSH WindowBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(6));

}  // namespace

ZUIThread::ZUIThread() : windowReady(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ZUIThread::~ZUIThread() {
    if (windowReady != nullptr) CloseHandle(windowReady);
}

DWORD ZUIThread::Run(DWORD) {
    ZString className(WindowClassStringId);
    RegisterWndClass(className, 0, nullptr, nullptr, LoadCursorA(nullptr, IDC_ARROW), WindowBackground);
    bool created = mainWnd.Create(className, GetAppName(), 0, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr);
    if (created) createdWindow = mainWnd.GetHandle();
    SetEvent(windowReady);
    if (!created) return 0;
    RunMessageLoop();
    // The window is gone and with it the icon: end everything at once, without shutting the
    // gateway down, as a person expects of "exit".
    ExitProcess(0);
}

void ZUIThread::RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        // Wrappers made for this message's handles are not needed beyond it.
        FlushTemporaries();
    }
}

bool ZUIThread::CloseWindow(DWORD timeout) {
    HANDLE thread = GetHandle();
    if (thread == nullptr || thread == INVALID_HANDLE_VALUE) return true;
    auto start = std::chrono::steady_clock::now();
    HANDLE waits[] = {thread, windowReady};
    DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeout);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return false;

    if (createdWindow != nullptr) PostMessageA(createdWindow, WM_CLOSE, 0, 0);
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    DWORD left = spent.count() >= timeout ? 0 : timeout - static_cast<DWORD>(spent.count());
    return WaitForSingleObject(thread, left) == WAIT_OBJECT_0;
}
