// A dialog on the controlling terminal: a modal loop that keeps the thread's window messages
// flowing while it waits for keys, with its own line editing.
#pragma once

#include "platform/win32.h"

#include <string>

class ZTerminalDialog {
public:
    ZTerminalDialog() = default;
    // Puts the terminal's settings back.
    ~ZTerminalDialog();
    ZTerminalDialog(const ZTerminalDialog&) = delete;
    ZTerminalDialog& operator=(const ZTerminalDialog&) = delete;

    // Opens the controlling terminal and takes over its input (no line input, no echo, no
    // signal keys); false when the process has none.
    bool Open();
    // Writes UTF-8 text to the terminal.
    void Write(const std::string& text);
    // Reads one line of printable characters, echoing them, up to maxLength of them. False when
    // the person cancelled (Ctrl-C, Ctrl-D on an empty line), the input ended, or the thread was
    // asked to quit.
    bool ReadLine(std::string& line, std::size_t maxLength = 64);

private:
    // The next key byte, dispatching the thread's messages while it waits; false as ReadLine.
    bool NextByte(char& byte);
    // Dispatches the waiting messages; false when one of them was WM_QUIT, which is posted
    // again for the thread's own loop, as Windows' modal loops do.
    bool DispatchMessages();

    HANDLE console = INVALID_HANDLE_VALUE;
    std::string pending;   // bytes read but not yet taken
    bool afterReturn = false;   // a line feed right after a carriage return is the same Enter
};
