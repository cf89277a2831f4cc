// Drives the console handles on the controlling terminal and reports each step on standard
// output, for the console tests. Steps: open, mode, idle wait, raw mode, wait for a key and read
// it, a second handle opened and closed, a last key, close.
#include "platform/win32.h"
#include "Terminal.h"

#include <cstdio>

namespace {

void Say(HANDLE console, const char* text) {
    DWORD written = 0;
    WriteConsoleA(console, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void ReadKey(HANDLE console, const char* name) {
    DWORD woke = WaitForSingleObject(console, 10000);
    char bytes[16] = {};
    DWORD read = 0;
    BOOL ok = ReadConsoleA(console, bytes, sizeof bytes, &read, nullptr);
    std::printf("%s wait=%u ok=%d read=", name, static_cast<unsigned>(woke), ok);
    for (DWORD i = 0; i < read; ++i) std::printf("%02x", static_cast<unsigned char>(bytes[i]));
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool terminal = argc >= 2 && std::strcmp(argv[1], "--tty") == 0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);   // each report line reaches the test at once
    if (!rwdriver::TakeTerminal(argc, argv)) return 2;
    HANDLE console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        std::printf("open failed error=%u\n", static_cast<unsigned>(GetLastError()));
        return 0;
    }
    if (!terminal) return 3;
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    std::printf("mode=%u idle=%u\n", static_cast<unsigned>(mode),
                static_cast<unsigned>(WaitForSingleObject(console, 0)));
    std::fflush(stdout);
    BOOL set = SetConsoleMode(console, 0);
    GetConsoleMode(console, &mode);
    std::printf("set=%d mode=%u\n", set, static_cast<unsigned>(mode));
    Say(console, "ready\n");
    ReadKey(console, "first");

    HANDLE output = CreateFileA("CONOUT$", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::printf("second=%d closed=%d\n", output != INVALID_HANDLE_VALUE, CloseHandle(output));
    Say(console, "again\n");
    ReadKey(console, "last");
    std::printf("close=%d\n", CloseHandle(console));
    return 0;
}
