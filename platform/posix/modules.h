// Modules and their resources: module handles and file names, the string table, the version
// block and the reported system version.
#pragma once

#include "platform/posix/types.h"
#include "platform/posix/resources.h"

namespace win32 {

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;

// A module handle is the address at which the module is loaded. Null names the executable, and
// "User32.dll" (without regard to case, ".dll" optional) the layer's own module, which holds the
// window functions that the program looks up by name; any other name finds none (null,
// ERROR_MOD_NOT_FOUND).
HMODULE GetModuleHandleA(LPCSTR moduleName);
typedef LRESULT (*FARPROC)();
// Only the system module that GetModuleHandleA knows by name can be loaded; it is never
// unloaded, so FreeLibrary of it does nothing but succeed.
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
// The functions of the layer's own module that the program looks up by name
// ("AllowSetForegroundWindow", unless a test made it absent); null with ERROR_PROC_NOT_FOUND
// for any other, ERROR_MOD_NOT_FOUND for another module.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// The real path of the module's file (of the executable through /proc/self/exe for null). A
// path that does not fit is cut to size - 1 bytes and a NUL, returning size with
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// Reads the module's registered string table (null: the executable); the UTF-8 text comes out in
// the ANSI code page, cut where needed before a whole character. Returns the bytes stored before
// the NUL; 0 for a missing entry (ERROR_RESOURCE_NAME_NOT_FOUND) or a module without a table
// (ERROR_RESOURCE_DATA_NOT_FOUND).
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// Only the files of loaded modules with a registered version block have version data; any
// other file gives 0 with ERROR_RESOURCE_TYPE_NOT_FOUND (ERROR_FILE_NOT_FOUND when it does not
// exist). The handle is always set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
// Fails with ERROR_INSUFFICIENT_BUFFER when length is below the size asked for above.
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
// Knows "\", "\VarFileInfo\Translation" and "\StringFileInfo\<language><code page>\<name>"
// (without regard to case). String values are in the ANSI code page; their length counts the NUL.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
typedef OSVERSIONINFOA* LPOSVERSIONINFOA;
static_assert(sizeof(OSVERSIONINFOA) == 148);

// Reports the simulated system's version: Windows NT 10.0 unless a test sets another. Fails with
// ERROR_INSUFFICIENT_BUFFER when the size field is not sizeof(OSVERSIONINFOA).
BOOL GetVersionExA(LPOSVERSIONINFOA info);

}  // namespace win32
