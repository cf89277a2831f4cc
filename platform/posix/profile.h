// Profile (INI) files: reading and writing keys with the Windows rules.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
