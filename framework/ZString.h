// ZString: the class library's single-byte string in the ANSI code page, with a writable scratch
// buffer for functions that write into character arrays.
#pragma once

#include "platform/win32.h"

#include <string>

// A value class. The value is always `text`; what is written into the scratch buffer becomes
// the value only at ReleaseBuffer. Copies and assignments carry the value only, never the
// scratch buffer.
class ZString {
public:
    ZString() = default;
    // A null text gives the empty string.
    ZString(const char* value);
    // The string-table entry of the resource module; empty when it is missing.
    explicit ZString(UINT id);
    ZString(const ZString& other);
    ~ZString();

    // Replace the value only; an outstanding scratch buffer is left alone.
    ZString& operator=(const char* value);
    ZString& operator=(const ZString& other);

    operator const char*() const { return text.c_str(); }
    int GetLength() const { return static_cast<int>(text.size()); }

    // Sets the value to the string-table entry; false (value unchanged) when it is missing.
    bool LoadString(UINT id);
    // printf rules. A null format throws; a format the C library cannot measure gives the empty
    // string.
    ZString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // A zeroed buffer of n + 2 bytes holding the value's first n characters (n 0: the value's
    // length); while one is out, later calls return the same buffer whatever n is.
    char* GetBuffer(int n);
    // Takes the buffer's text up to its first NUL as the value and frees the buffer.
    void ReleaseBuffer();

    // Replaces everything after the path's last directory separator with fileName. The result
    // is cut at MAX_PATH characters.
    ZString& ReplaceFileName(const char* fileName);

    friend ZString operator+(const ZString& left, const ZString& right);
    // Compare the texts byte for byte (without these, == would compare two pointers).
    friend bool operator==(const ZString& left, const ZString& right) { return left.text == right.text; }
    friend bool operator==(const ZString& left, const char* right) { return left.text == (right != nullptr ? right : ""); }

private:
    std::string text;
    char* scratch = nullptr;
};
