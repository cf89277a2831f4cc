// A program built on ZApplication for the cases that need a process of their own: the entry
// point, the exit code, the help-file name and the single-instance check across processes.
// RW_TEST_MODE chooses what InitInstance does; results go to standard output, one per line.
#include "framework/ZApplication.h"
#include "window/ZWnd.h"

#include "platform/testing.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string Mode() {
    const char* mode = std::getenv("RW_TEST_MODE");
    return mode != nullptr ? mode : "";
}

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Blocks until the test closes standard input.
void WaitForEndOfInput() {
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

class ProgramApplication : public ZApplication {
public:
    bool InitInstance() override {
        const std::string mode = Mode();
        if (mode == "prev") return CheckPrevious();
        if (mode == "helppath") Print(std::string(GetHelpPath()));
        if (mode == "wheel") PrintWheelMessage();
        if (mode == "initfails") return false;
        if (mode == "quit") return StartMainWindow();
        return true;
    }
    int ExitInstance() override {
        Print("ExitInstance");
        return ZApplication::ExitInstance();
    }

private:
    bool CheckPrevious() {
        const bool found = CheckPrevInstance(std::getenv("RW_TEST_MUTEX"));
        Print(found ? "prev=1" : "prev=0");
        if (!found && std::getenv("RW_TEST_HOLD") != nullptr) WaitForEndOfInput();
        return true;
    }

    void PrintWheelMessage() {
        const bool registered = g_mouseWheelMessage != 0 && g_mouseWheelMessage == RegisterWindowMessageA("MSWHEEL_ROLLMSG");
        Print(registered ? "wheel=registered" : "wheel=0");
    }

    // A main window, and a quit message with exit code 5 waiting in the queue for Run.
    bool StartMainWindow() {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetHandle();
        windowClass.lpszClassName = "RwTestProgramMain";
        if (RegisterClassExA(&windowClass) == 0) return false;
        HWND window = CreateWindowExA(0, "RwTestProgramMain", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                      GetHandle(), nullptr);
        if (window == nullptr || !main.Attach(window)) return false;
        SetMainWindow(&main);
        PostQuitMessage(5);
        return true;
    }

    ZWnd main;
};

// The system version is set before the application object asks for it.
const bool kVersionSet = [] {
    if (Mode() == "wheel") RwTestSetOsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000000 | 950);
    return true;
}();

// RW_TEST_NO_APP leaves the process without an application object.
const std::unique_ptr<ProgramApplication> kApplication(
    std::getenv("RW_TEST_NO_APP") == nullptr ? new ProgramApplication : nullptr);

}  // namespace
