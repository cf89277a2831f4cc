// Double-byte-aware operations on file paths in the ANSI code page. A byte for which
// IsDBCSLeadByte holds starts a two-byte character whose second byte is never taken for a
// separator, a dot or a searched character. Both '\' and '/' separate directories.
#pragma once

// The position just after the last directory separator; the start of the text when there is
// none.
const char* FindFileName(const char* path);
char* FindFileName(char* path);
// Ends the path just after its last separator, so a trailing separator stays; returns true.
bool RemoveFileName(char* path);
// The last character equal to c, or null. A two-byte character compares as lead byte * 256 +
// second byte, so a single-byte c never matches inside one.
const char* FindLastChar(const char* text, int c);
// The last dot of the file-name part, or null: a dot in a directory name is no extension.
const char* FindExtension(const char* path);
char* FindExtension(char* path);
// Replaces the extension (with its dot) by extension, or appends it when there is none, in
// place: the caller provides the room. A null extension counts as empty. Returns true.
bool RenameExtension(char* path, const char* extension);
