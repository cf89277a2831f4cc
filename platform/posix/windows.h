// Windows and messages: classes, windows, per-thread message queues, timers, window state and the end of session.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
