#include "gateway/ZReceiveLineBuffer.h"

#include <cstring>

int ZReceiveLineBuffer::ReceiveMore(SOCKET socket) {
    int got = recv(socket, buffer + filled, static_cast<int>(MaxFilled - filled), 0);
    if (got > 0) filled += static_cast<DWORD>(got);
    return got;
}

bool ZReceiveLineBuffer::ProcessLines() {
    for (;;) {
        // The stored bytes read as one text; a NUL received from the client hides every line
        // end behind it.
        buffer[filled] = '\0';
        const char* lf = std::strchr(buffer, '\n');
        const char* cr = std::strchr(buffer, '\r');
        if (lf == nullptr && cr == nullptr) return filled < MaxFilled;
        const char* end = (lf == nullptr) ? cr : (cr == nullptr) ? lf : (lf < cr ? lf : cr);
        ConsumeLine(static_cast<DWORD>(end - buffer));
    }
}

void ZReceiveLineBuffer::ConsumeLine(DWORD n) {
    if (n > 0) {
        buffer[n] = '\0';
        OnLine(buffer);
    }
    DWORD consumed = n + 1;
    std::memmove(buffer, buffer + consumed, filled - consumed);
    filled -= consumed;
}
