// ZLocoBuffer: the gateway's LocoNet device on a LocoBuffer. It gathers the bytes from its COM
// port and cuts whole messages out of them by the LocoNet length and checksum rules.
#pragma once

#include "gateway/ZAbstractLoconetDevice.h"
#include "io/ZMySerialPort.h"

class ZLocoBuffer : public ZAbstractLoconetDevice {
public:
    // Room for the longest LocoNet message.
    static constexpr DWORD AssemblyBufferSize = 127;

    ZLocoBuffer();
    ~ZLocoBuffer() override;
    ZLocoBuffer(const ZLocoBuffer&) = delete;
    ZLocoBuffer& operator=(const ZLocoBuffer&) = delete;

    // Opens the port on COM<comPort>.
    bool Open(int comPort);
    // Blocks until one whole message is assembled and copies it out: its length (2 to 127), or -1
    // when the port fails or stops, or when capacity is too small (the message then stays).
    int ReadMessage(BYTE* buffer, DWORD capacity) override;
    // Hands the bytes to the port unchanged.
    bool WriteMessage(const BYTE* bytes, DWORD length) override;

private:
    // Drops n bytes from the front of the buffer.
    void Discard(DWORD n);
    // Drops the leading bytes that are no opcode (bit 7 clear).
    void SkipToOpcode();
    // The length the opcode at the front announces, -1 for an invalid count byte.
    int MessageLength() const;
    // True when the first n bytes XOR to 0xFF.
    bool ChecksumOk(DWORD n) const;
    // The length of a complete, valid message at the front, or 0 when more bytes are needed.
    unsigned FindMessage();

    BYTE assembly[AssemblyBufferSize];
    DWORD fillCount;
    ZMySerialPort port;
};
