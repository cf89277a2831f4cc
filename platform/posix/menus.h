// Menus from resources and popup menus.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

}  // namespace win32
