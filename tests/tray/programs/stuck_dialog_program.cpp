// A user-interface thread whose settings notice stays open, as a person may leave it: the main
// thread asks the tray window to close, as start-up does when the LocoBuffer is gone, and prints
// whether the window closed and how long the asking took ("closed=0 waited=2003").
#include "framework/ZApplication.h"
#include "platform/testing.h"
#include "tray/ZMainWnd.h"
#include "tray/ZUIThread.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class StuckDialogApplication : public ZApplication {
public:
    StuckDialogApplication() { SetAppName("Railwick Server"); }
    bool InitInstance() override { return true; }
};

StuckDialogApplication g_application;
ZUIThread g_uiThread;

}  // namespace

int main() {
    // The shell reports the icon on a pipe, which tells when the window is there.
    int trace[2];
    if (pipe(trace) != 0) return 2;
    setenv("RW_SHELL_TRACE", ("/dev/fd/" + std::to_string(trace[1])).c_str(), 1);

    HANDLE noticeOpen = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RwTestQueuePopupMenuChoice(ZMainWnd::CmdConnectionSettings);
    RwTestQueueMessageBoxAnswer(IDOK, [&] {
        SetEvent(noticeOpen);
        WaitForSingleObject(never, INFINITE);
    });
    g_uiThread.Start(0, 0);

    char line[256];
    FILE* added = fdopen(trace[0], "r");
    if (added == nullptr || std::fgets(line, sizeof line, added) == nullptr) return 3;
    auto icons = RwTestShellIcons();
    if (icons.empty() || !RwTestClickShellIcon(icons[0].window, ZMainWnd::TrayIconId, WM_LBUTTONUP)) return 4;
    if (WaitForSingleObject(noticeOpen, 5000) != WAIT_OBJECT_0) return 5;

    auto start = std::chrono::steady_clock::now();
    bool closed = g_uiThread.CloseWindow(2000);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("closed=%d waited=%lld\n", closed ? 1 : 0, static_cast<long long>(waited.count()));
    ExitProcess(0);
}
