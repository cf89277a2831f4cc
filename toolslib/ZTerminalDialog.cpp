// The terminal dialog's modal loop and line editor.
#include "toolslib/ZTerminalDialog.h"

namespace {

constexpr char kInterrupt = 0x03;   // Ctrl-C
constexpr char kEndOfInput = 0x04;  // Ctrl-D
constexpr char kBackspace = 0x08;
constexpr char kDelete = 0x7F;      // what most terminals send for Backspace
constexpr char kEscape = 0x1B;

}  // namespace

ZTerminalDialog::~ZTerminalDialog() {
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
}

bool ZTerminalDialog::Open() {
    console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return false;
    // Without processed input Ctrl-C arrives as a key and cancels the dialog instead of ending
    // the program; without line input and echo the dialog edits and echoes the line itself.
    SetConsoleMode(console, 0);
    return true;
}

void ZTerminalDialog::Write(const std::string& text) {
    DWORD written = 0;
    WriteConsoleA(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool ZTerminalDialog::DispatchMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

bool ZTerminalDialog::NextByte(char& byte) {
    while (pending.empty()) {
        DWORD woke = MsgWaitForMultipleObjects(1, &console, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 + 1) {
            if (!DispatchMessages()) return false;
        } else if (woke == WAIT_OBJECT_0) {
            char chunk[64];
            DWORD read = 0;
            // Nothing read is the end of input; a failed read is a terminal that hung up.
            if (!ReadConsoleA(console, chunk, sizeof chunk, &read, nullptr) || read == 0) return false;
            pending.assign(chunk, read);
        } else {
            return false;
        }
    }
    byte = pending.front();
    pending.erase(0, 1);
    return true;
}

bool ZTerminalDialog::ReadLine(std::string& line, std::size_t maxLength) {
    line.clear();
    int escape = 0;   // 1 after ESC, 2 inside a control sequence: cursor keys are not text
    char byte;
    while (NextByte(byte)) {
        bool wasAfterReturn = afterReturn;
        afterReturn = false;
        if (escape == 1) {
            escape = byte == '[' || byte == 'O' ? 2 : 0;
            continue;
        }
        if (escape == 2) {
            if (byte >= 0x40 && byte <= 0x7E) escape = 0;
            continue;
        }
        switch (byte) {
            case '\r':
            case '\n':
                if (byte == '\n' && wasAfterReturn) break;
                afterReturn = byte == '\r';
                Write("\n");
                return true;
            case kInterrupt:
                Write("^C\n");
                return false;
            case kEndOfInput:
                if (line.empty()) {
                    Write("\n");
                    return false;
                }
                break;
            case kBackspace:
            case kDelete:
                if (!line.empty()) {
                    line.pop_back();
                    Write("\b \b");
                }
                break;
            case kEscape:
                escape = 1;
                break;
            default:
                if (byte < 0x20 || byte > 0x7E) break;   // other control keys and non-ASCII bytes
                if (line.size() >= maxLength) {
                    Write("\a");
                    break;
                }
                line += byte;
                Write(std::string(1, byte));
                break;
        }
    }
    Write("\n");
    return false;
}
