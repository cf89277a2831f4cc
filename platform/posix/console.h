// The console: the controlling terminal as a waitable handle, for the tools library's dialogs.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
