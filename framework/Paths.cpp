// Path functions: every scan walks the text from its start, a character at a time.
#include "framework/Paths.h"

#include "platform/win32.h"

namespace {

bool IsLead(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Calls visit(position, character) for every character; a lead byte right before the NUL ends
// the scan.
template <class Visit>
void ForEachChar(const char* text, Visit visit) {
    for (const char* p = text; *p != '\0';) {
        if (IsLead(*p)) {
            if (p[1] == '\0') return;
            visit(p, static_cast<unsigned char>(p[0]) * 256 + static_cast<unsigned char>(p[1]));
            p += 2;
        } else {
            visit(p, static_cast<int>(static_cast<unsigned char>(*p)));
            ++p;
        }
    }
}

}  // namespace

const char* FindFileName(const char* path) {
    const char* name = path;
    ForEachChar(path, [&](const char* p, int c) {
        if (c < 0x100 && IsSeparator(static_cast<char>(c))) name = p + 1;
    });
    return name;
}

char* FindFileName(char* path) { return const_cast<char*>(FindFileName(static_cast<const char*>(path))); }

bool RemoveFileName(char* path) {
    *FindFileName(path) = '\0';
    return true;
}

const char* FindLastChar(const char* text, int c) {
    // A char argument above 0x7F arrives sign-extended; it names the same byte.
    if (c < 0 && c >= -128) c &= 0xFF;
    const char* found = nullptr;
    ForEachChar(text, [&](const char* p, int character) {
        if (character == c) found = p;
    });
    return found;
}

const char* FindExtension(const char* path) {
    const char* dot = FindLastChar(path, '.');
    return dot != nullptr && dot >= FindFileName(path) ? dot : nullptr;
}

char* FindExtension(char* path) { return const_cast<char*>(FindExtension(static_cast<const char*>(path))); }

bool RenameExtension(char* path, const char* extension) {
    if (extension == nullptr) extension = "";
    if (char* dot = FindExtension(path)) {
        lstrcpyA(dot, extension);
    } else {
        lstrcatA(path, extension);
    }
    return true;
}
