// The ANSI code page of the simulated system and the conversions between it and UTF-8, the
// encoding of the resource tables and of everything shown to a person. Layer sources only.
#pragma once

#include "platform/posix/types.h"

#include <string>

namespace win32::detail {

UINT AnsiCodePage();
void SetAnsiCodePage(UINT codePage);

// A character that the target cannot represent, or a byte sequence that is not valid in the
// source, becomes "?", as Windows puts its default character in its place.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace win32::detail
