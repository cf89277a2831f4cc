// Calls one of the tools library's dialogs, as the programs do, and reports its result on
// standard output ("result=N"). Options before the dialog's name:
//   --timer        a window with a 10 ms timer counts its ticks while the dialog waits; the
//                  third tick reports "ticking"; the count is reported at the end
//   --quit         the third tick posts WM_QUIT (exit code 7); the dialog must end and leave the
//                  quit message for the thread's own loop ("quit=N")
//   --ignore-hangup  live on when the terminal hangs up, to see what the dialog makes of it
//   --no-override  drop the capability to override file permissions, so that a read-only folder
//                  is read-only even for root
// Dialogs: server, option, version (this program's module and a name in code page 932),
// version-bare (a module handle without a version block).
#include "gateway/Railwick.h"
#include "Terminal.h"

#include <csignal>
#include <cstdio>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>

namespace {

int g_ticks = 0;
bool g_quitOnTick = false;

void Report(const char* text) {
    ssize_t written = ::write(1, text, std::strlen(text));
    (void)written;
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (++g_ticks == 3) {
            Report("ticking\n");
            if (g_quitOnTick) PostQuitMessage(7);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool StartTimerWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RwDriverTicks";
    if (RegisterClassExA(&windowClass) == 0) return false;
    HWND window = CreateWindowExA(0, "RwDriverTicks", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    return window != nullptr && SetTimer(window, 1, 10, nullptr) != 0;
}

bool DropOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
    }
    return syscall(SYS_capset, &header, data) == 0;
}

// This program's version block, so that the version dialog has a FileVersion to show.
const win32::rc::VersionValue kValues[] = {{"FileVersion", "2.00"}};
const win32::rc::VersionTranslation kTranslations[] = {{0x0411, 1200, kValues, 1}};
const win32::rc::VersionBlock kVersion = {{2, 0, 0, 0}, {2, 0, 0, 0}, kTranslations, 1};
const win32::rc::Table kTable = {.version = &kVersion};
const win32::rc::Registration kRegistration(kTable);

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);   // each report line reaches the test at once
    if (!rwdriver::TakeTerminal(argc, argv)) return 2;
    bool timer = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string option = argv[i];
        if (option == "--timer") {
            timer = true;
        } else if (option == "--quit") {
            timer = g_quitOnTick = true;
        } else if (option == "--ignore-hangup") {
            signal(SIGHUP, SIG_IGN);
        } else if (option == "--no-override") {
            DropOverride();
        }
    }
    if (i >= argc) return 2;
    if (timer && !StartTimerWindow()) return 4;
    const std::string dialog = argv[i];
    int result = -1;
    if (dialog == "server") {
        result = Railwick_ShowServerOptionDlg(nullptr);
    } else if (dialog == "option") {
        result = Railwick_ShowOptionDlg(nullptr);
    } else if (dialog == "version") {
        // "テスト" in code page 932, as the programs' names come from their string tables.
        result = Railwick_VersionDialog(nullptr, GetModuleHandleA(nullptr), "\x83\x65\x83\x58\x83\x67", nullptr, 0);
    } else if (dialog == "version-bare") {
        result = Railwick_VersionDialog(nullptr, reinterpret_cast<HINSTANCE>(16), "Railwick Server", nullptr, 0);
    } else {
        return 2;
    }
    std::printf("result=%d\n", result);
    if (timer) std::printf("ticks=%d\n", g_ticks);
    MSG message;
    if (g_quitOnTick && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message == WM_QUIT)
        std::printf("quit=%d\n", static_cast<int>(message.wParam));
    return 0;
}
