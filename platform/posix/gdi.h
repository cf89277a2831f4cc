// Drawing: a device context that records what is drawn.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
