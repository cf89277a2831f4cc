// Version texts of files and the tests of the system version.
#pragma once

// Copies the FileVersion text of the file's version resource (its first translation) into the
// buffer, cut to size - 1 characters. Without version data the buffer gets "0.00"; a block
// without a translation table or without the value leaves the buffer untouched. True only when
// the value was copied.
bool GetFileVersionText(const char* path, char* buffer, int size);

// Each asks the system once and remembers the answer; a failed question answers false and is
// asked again next time.
bool IsWindows95();
bool IsWindows98OrMe();
bool IsWindows2000OrLater();
