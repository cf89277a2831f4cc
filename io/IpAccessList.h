// The IP access lists: the deny and allow patterns from "denyip.txt" and "allowip.txt" beside the
// program, and the wildcard matching that decides whether a peer may connect.
#pragma once

#include "framework/ZString.h"

#include <vector>

// Longest entry taken from one line; longer lines give several entries.
constexpr int MaxListLine = 255;

// Filled by LoadIpLists before the listener starts and only read afterwards.
extern std::vector<ZString> g_denyList;
extern std::vector<ZString> g_allowList;

// Loads both lists from the program's directory, replacing what they held, and applies the
// defaults: "*" for an empty deny list, "127.0.0.1" for an empty allow list.
void LoadIpLists();
// The same with the files beside the given program path (the bare file names when it is empty).
void LoadIpLists(const char* programPath);

// True to admit the peer with this dotted-decimal address: it matches no deny entry, or it
// matches an allow entry.
bool IsAddressAllowed(const char* address);
// True when the address matches one of the entry's ";"-separated patterns.
bool MatchPatternLine(const char* address, const char* entry);
// True when the whole text matches the pattern ("*", "?" and letters without regard to case).
bool MatchWildcard(const char* text, const char* pattern);
// The first occurrence of c that is a character of its own (never the second byte of a
// double-byte character), or null; the terminator for c == 0.
const char* FindChar(const char* text, char c);
char* FindChar(char* text, char c);
// True when position holds the second byte of a double-byte character of the text.
bool IsTrailByte(const char* start, const char* position);
