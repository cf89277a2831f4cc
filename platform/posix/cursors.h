// Cursors and icons from resources, system metrics and system colours.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
