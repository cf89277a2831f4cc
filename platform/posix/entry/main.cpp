// The process entry of a program built for the Win32 GUI subsystem: main hands over to the
// program's WinMain with the executable's module handle, as the Windows run-time's start code
// does, and WinMain's result becomes the exit code.
#include "platform/win32.h"

#include <string>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

int main(int argc, char** argv) {
    // Windows passes the arguments after the program name as one text, separated by blanks.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
