// ZReceiveLineBuffer: cuts the bytes received on a socket into text lines. CR, LF, CR LF and
// LF CR all end a line; empty lines are dropped; a line holds at most 998 characters.
#pragma once

#include "platform/win32.h"

class ZReceiveLineBuffer {
public:
    static constexpr DWORD BufferSize = 1000;
    // At most this many bytes are stored, so that a NUL always fits behind them.
    static constexpr DWORD MaxFilled = BufferSize - 1;

    ZReceiveLineBuffer() = default;
    virtual ~ZReceiveLineBuffer() = default;
    ZReceiveLineBuffer(const ZReceiveLineBuffer&) = delete;
    ZReceiveLineBuffer& operator=(const ZReceiveLineBuffer&) = delete;

    // One recv behind the stored bytes; the recv result unchanged (count, 0 or SOCKET_ERROR).
    int ReceiveMore(SOCKET socket);
    // Hands every complete line to OnLine, in order. False on overflow: the buffer is full and
    // holds no line end.
    bool ProcessLines();

protected:
    // One complete line without its line end. The handler may change its characters in place.
    virtual void OnLine(char* line) = 0;
    // Delivers the line that ends at position n (unless it is empty) and removes it with its
    // one-byte line end.
    void ConsumeLine(DWORD n);

private:
    char buffer[BufferSize];
    DWORD filled = 0;
};
