// The notification area of the simulated shell, and the modules it is looked up in.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
