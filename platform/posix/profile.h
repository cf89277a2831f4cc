// Profile (INI) files: reading and writing keys with the Windows rules.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

// Sections and keys match without regard to case and values are trimmed of blanks; lines before
// the first section belong to none. Where a key appears more than once in a section (or in
// sections of the same name), the first one counts. The file name is a path as given: there is
// no Windows directory to search.

// The value's leading decimal digits, after an optional minus; a value with no digits is 0, an
// empty value or a missing key or file gives the default.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName);
// Copies the value (or the default, without its trailing blanks), cut to size - 1 bytes, and
// returns the bytes stored before the NUL. Null section or key (the name lists) is not supported:
// the default is given. GetLastError is ERROR_FILE_NOT_FOUND when the default was used.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);
// A null value deletes the key, a null key the section. The file is replaced as a whole (a
// temporary file beside it, synced and renamed over it), so it is never left half-written;
// every other line is kept as it stands, and a missing file is created.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

}  // namespace win32
