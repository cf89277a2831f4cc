// The IP access lists. LoadIpLists runs on the main thread before the listener thread exists;
// afterwards the listener thread alone reads the lists, so they need no lock.
//
// Matching works on copies in fixed work areas (the entry in 1000 bytes, each pattern and the
// address in 264); a longer input is cut to its work area, never written past it.
#include "io/IpAccessList.h"

#include "framework/ModuleHandles.h"
#include "framework/ZModule.h"
#include "platform/win32.h"

#include <cstdio>
#include <cstring>

std::vector<ZString> g_denyList;
std::vector<ZString> g_allowList;

namespace {

constexpr int kEntryArea = 1000;
constexpr int kPatternArea = 264;

bool IsLead(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetter(char a, char b) { return Lower(a) == Lower(b); }

void ReadList(const char* path, std::vector<ZString>& list) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return;
    char piece[MaxListLine + 1];
    while (std::fgets(piece, sizeof piece, file) != nullptr) {
        if (char* cr = FindChar(piece, '\r')) *cr = '\0';
        if (char* lf = FindChar(piece, '\n')) *lf = '\0';
        if (piece[0] != '\0') list.emplace_back(piece);
    }
    std::fclose(file);
}

// A "*" swallows every "?" and "*" that directly follows it.
void CollapseStars(char* pattern) {
    char* out = pattern;
    for (const char* in = pattern; *in != '\0';) {
        char c = *in++;
        *out++ = c;
        if (c == '*') {
            while (*in == '*' || *in == '?') ++in;
        }
    }
    *out = '\0';
}

bool MatchOnePattern(const char* address, const char* piece) {
    char pattern[kPatternArea];
    lstrcpynA(pattern, piece, kPatternArea);
    CollapseStars(pattern);
    if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
    if (std::strcmp(pattern, "*.") == 0) {
        // A name without extension: no dot at all, or a dot only at the very end.
        const char* dot = FindChar(address, '.');
        return dot == nullptr || dot[1] == '\0';
    }
    return MatchWildcard(address, pattern);
}

// The text has ended before the pattern: what is left must be "?"s only, or a single "*".
bool MatchesEmptyRest(const char* rest) {
    if (std::strcmp(rest, "*") == 0) return true;
    if (*rest == '\0') return false;
    for (; *rest != '\0'; ++rest) {
        if (*rest != '?') return false;
    }
    return true;
}

}  // namespace

void LoadIpLists() {
    ZModule program;
    program.Attach(GetInstanceHandle());
    LoadIpLists(program.GetFileName());
}

void LoadIpLists(const char* programPath) {
    g_denyList.clear();
    g_allowList.clear();
    ZString path(programPath);
    ReadList(path.ReplaceFileName("denyip.txt"), g_denyList);
    ReadList(path.ReplaceFileName("allowip.txt"), g_allowList);
    if (g_denyList.empty()) g_denyList.emplace_back("*");
    if (g_allowList.empty()) g_allowList.emplace_back("127.0.0.1");
}

bool IsAddressAllowed(const char* address) {
    if (g_denyList.empty()) return true;
    bool denied = false;
    for (const ZString& entry : g_denyList) {
        if (MatchPatternLine(address, entry)) {
            denied = true;
            break;
        }
    }
    if (!denied) return true;
    for (const ZString& entry : g_allowList) {
        if (MatchPatternLine(address, entry)) return true;
    }
    return false;
}

bool MatchPatternLine(const char* address, const char* entry) {
    char line[kEntryArea];
    char text[kPatternArea];
    // One byte of the entry's area is kept free for the ";" that may be appended.
    lstrcpynA(line, entry != nullptr && entry[0] != '\0' ? entry : "*.*", kEntryArea - 1);
    lstrcpynA(text, address != nullptr ? address : "", kPatternArea);
    if (std::strcmp(line, "*.*") == 0) return true;
    if (FindChar(line, ';') == nullptr) return MatchOnePattern(text, line);

    std::size_t length = std::strlen(line);
    if (line[length - 1] != ';' || IsTrailByte(line, line + length - 1)) {
        line[length] = ';';
        line[length + 1] = '\0';
    }
    bool matched = false;
    char* piece = line;
    while (char* end = FindChar(piece, ';')) {
        *end = '\0';
        if (MatchOnePattern(text, piece)) matched = true;
        piece = end + 1;
    }
    return matched;
}

bool MatchWildcard(const char* text, const char* pattern) {
    if (*pattern == '\0') return *text == '\0';
    const char* t = text;
    const char* p = pattern;
    while (*p != '\0') {
        if (*t == '\0') break;
        if (*p == '*') {
            ++p;
            if (*p == '\0') return true;
            // Try the rest of the pattern at every later place where its first character fits.
            for (;;) {
                while (*t != '\0' && !SameLetter(*t, *p)) ++t;
                if (MatchWildcard(t, p)) return true;
                if (*t == '\0') return false;
                ++t;
                if (*t == '\0') return false;
            }
        }
        if (*p != '?' && !SameLetter(*t, *p)) return false;
        ++p;
        ++t;
        if (*p == '\0') return *t == '\0';
    }
    return MatchesEmptyRest(p);
}

const char* FindChar(const char* text, char c) {
    for (const char* p = text;; ++p) {
        if (*p == c) return p;
        if (*p == '\0') return nullptr;
        if (IsLead(*p)) {
            if (p[1] == '\0') return nullptr;
            ++p;
        }
    }
}

char* FindChar(char* text, char c) { return const_cast<char*>(FindChar(static_cast<const char*>(text), c)); }

bool IsTrailByte(const char* start, const char* position) {
    if (position < start) return false;
    for (const char* p = start; *p != '\0'; ++p) {
        if (p == position) return false;
        if (IsLead(*p)) {
            if (p + 1 == position) return p[1] != '\0';
            if (p[1] == '\0') return false;
            ++p;
        }
    }
    return false;
}
