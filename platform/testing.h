// The test interface of the POSIX layer: the simulated parts of the desktop that tests set and
// read. Only tests include this header; the programs never do.
#pragma once

#include "platform/win32.h"

// Text and system version: the ANSI code page (932 unless set; IsDBCSLeadByte and LoadStringA
// follow it) and the version that GetVersionExA reports (Windows NT 10.0 unless set).
void RwTestSetAnsiCodePage(win32::UINT codePage);
void RwTestSetOsVersion(win32::DWORD platformId, win32::DWORD majorVersion, win32::DWORD minorVersion,
                        win32::DWORD buildNumber);
// While set, GetVersionExA fails.
void RwTestSetOsVersionFails(bool fails);

// The next HeapAlloc fails with ERROR_NOT_ENOUGH_MEMORY, as on an exhausted heap.
void RwTestFailNextHeapAlloc();

// The simulated desktop, area by area.
#include "platform/posix/testing/windows.h"   // window manager: WinHelpA calls, foreground
#include "platform/posix/testing/desktop.h"   // message boxes, beeps, menus, cursor, shell, drawing
