// ZLoconetMessage: one LocoNet message as a fixed byte array, with the hex text codings of the
// line protocol (the parser of SEND lines and the " %02X" form of RECEIVE lines).
#pragma once

#include "platform/win32.h"

class ZLoconetMessage {
public:
    // The parser's limit; messages read from the LocoBuffer are at most 127 bytes.
    static constexpr DWORD MessageCapacity = 130;
    // Characters that FormatHex writes per byte: a blank and two hex digits.
    static constexpr DWORD HexCharsPerByte = 3;

    ZLoconetMessage();
    // Copies count bytes (at most 127) into the front of the message.
    ZLoconetMessage(DWORD count, const BYTE* bytes);
    virtual ~ZLoconetMessage() = default;

    // Fills the message from a hex text such as "A0 01 02 5C". Null on success, otherwise one
    // of the five fixed error texts. The checksum is not looked at.
    const char* ParseHex(const char* text);
    // Same length and same bytes.
    bool Equals(const ZLoconetMessage& other) const;

    // 0 to 15 for a hex digit of either case, -1 for any other character.
    static int HexDigitValue(char c);
    // The length a message must have, from its opcode (and, for the variable-length class,
    // its count byte).
    static DWORD MessageLengthRule(BYTE opcode, BYTE countByte);
    // Writes " %02X" for each byte and a terminating NUL; out must hold 3 * count + 1 chars.
    // Returns the number of characters written, without the NUL.
    static DWORD FormatHex(char* out, const BYTE* bytes, DWORD count);

    BYTE data[MessageCapacity];
    DWORD length;
};
