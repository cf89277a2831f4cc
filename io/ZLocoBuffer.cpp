// ZLocoBuffer: LocoNet framing over the bytes of the COM port.
//
// Only the gateway's receive loop reads, so the assembly buffer has one user; WriteMessage goes
// straight to the port. Whenever the port is read, the buffer is empty or starts with an opcode
// and holds fewer bytes than that opcode announces (at most 127), so at least one byte is free.
#include "io/ZLocoBuffer.h"

#include <cstring>

ZLocoBuffer::ZLocoBuffer() : assembly{}, fillCount(0) {}

ZLocoBuffer::~ZLocoBuffer() = default;

bool ZLocoBuffer::Open(int comPort) { return port.Open(comPort); }

bool ZLocoBuffer::WriteMessage(const BYTE* bytes, DWORD length) { return port.Write(bytes, length); }

void ZLocoBuffer::Discard(DWORD n) {
    if (n == 0) return;
    std::memmove(assembly, assembly + n, fillCount - n);
    fillCount -= n;
}

void ZLocoBuffer::SkipToOpcode() {
    DWORD n = 0;
    while (n < fillCount && (assembly[n] & 0x80) == 0) ++n;
    Discard(n);
}

int ZLocoBuffer::MessageLength() const {
    switch (assembly[0] & 0x60) {
        case 0x00: return 2;
        case 0x20: return 4;
        case 0x40: return 6;
        default: return assembly[1] >= 3 && assembly[1] <= 127 ? assembly[1] : -1;
    }
}

bool ZLocoBuffer::ChecksumOk(DWORD n) const {
    BYTE sum = 0;
    for (DWORD i = 0; i < n; ++i) sum ^= assembly[i];
    return sum == 0xFF;
}

unsigned ZLocoBuffer::FindMessage() {
    SkipToOpcode();
    while (fillCount >= 2) {
        int n = MessageLength();
        if (n != -1) {
            // The bytes inside a candidate's span are not looked at until all of them are here.
            if (fillCount < static_cast<DWORD>(n)) return 0;
            if (ChecksumOk(static_cast<DWORD>(n))) return static_cast<unsigned>(n);
        }
        // A failed candidate loses only its opcode; framing restarts at the next opcode, which
        // may lie inside it.
        Discard(1);
        SkipToOpcode();
    }
    return 0;
}

int ZLocoBuffer::ReadMessage(BYTE* buffer, DWORD capacity) {
    unsigned n = FindMessage();   // a whole message may be left from an earlier read
    while (n == 0) {
        DWORD count = 0;
        if (!port.WaitAndRead(assembly + fillCount, AssemblyBufferSize - fillCount, count)) return -1;
        fillCount += count;
        n = FindMessage();
    }
    if (capacity < n) return -1;
    std::memcpy(buffer, assembly, n);
    if (n < fillCount) Discard(n);
    else fillCount = 0;
    return static_cast<int>(n);
}
