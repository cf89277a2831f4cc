#include "gateway/ZLoconetMessage.h"

#include <cstring>

namespace {

const char* const EndsInsideByte = "string ends in the middle of a hex byte";
const char* const InvalidHex = "Invalid hex coding";
const char* const TooBig = "hex dump of message is bigger than buffer -> must be invalid loconet message";
const char* const TooShort = "message too short";
const char* const WrongLength = "hex dump length is not equal to message length";

}  // namespace

ZLoconetMessage::ZLoconetMessage() : data{}, length(0) {}

ZLoconetMessage::ZLoconetMessage(DWORD count, const BYTE* bytes) : length(count) {
    std::memcpy(data, bytes, count);
}

const char* ZLoconetMessage::ParseHex(const char* text) {
    length = 0;
    const char* p = text;
    // An empty text has no second character to look at; reading past its NUL is not allowed.
    if (*p == '\0') return EndsInsideByte;
    for (;;) {
        // The end test on the second character comes first, so a lone character at the end is
        // reported as a cut-off byte even when it is no hex digit.
        if (p[1] == '\0') return EndsInsideByte;
        int high = HexDigitValue(p[0]);
        if (high < 0) return InvalidHex;
        int low = HexDigitValue(p[1]);
        if (low < 0) return InvalidHex;
        data[length++] = static_cast<BYTE>(high * 16 + low);
        p += 2;
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        if (length == MessageCapacity) return TooBig;
    }
    if (length < 2) return TooShort;
    if (length != MessageLengthRule(data[0], data[1])) return WrongLength;
    return nullptr;
}

bool ZLoconetMessage::Equals(const ZLoconetMessage& other) const {
    return length == other.length && std::memcmp(data, other.data, length) == 0;
}

int ZLoconetMessage::HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

DWORD ZLoconetMessage::MessageLengthRule(BYTE opcode, BYTE countByte) {
    switch (opcode & 0x60) {
        case 0x00: return 2;
        case 0x20: return 4;
        case 0x40: return 6;
        default: return countByte;
    }
}

DWORD ZLoconetMessage::FormatHex(char* out, const BYTE* bytes, DWORD count) {
    static const char digits[] = "0123456789ABCDEF";
    char* p = out;
    for (DWORD i = 0; i < count; ++i) {
        *p++ = ' ';
        *p++ = digits[bytes[i] >> 4];
        *p++ = digits[bytes[i] & 0x0F];
    }
    *p = '\0';
    return static_cast<DWORD>(p - out);
}
