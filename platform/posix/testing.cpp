// The test interface of the text and version parts of the simulated desktop.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/modules.h"

void RwTestSetAnsiCodePage(win32::UINT codePage) { win32::detail::SetAnsiCodePage(codePage); }

void RwTestSetOsVersion(win32::DWORD platformId, win32::DWORD majorVersion, win32::DWORD minorVersion,
                        win32::DWORD buildNumber) {
    win32::detail::SetReportedVersion({platformId, majorVersion, minorVersion, buildNumber});
}

void RwTestSetOsVersionFails(bool fails) { win32::detail::SetReportedVersionFails(fails); }
