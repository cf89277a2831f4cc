// Message boxes and the beep.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
