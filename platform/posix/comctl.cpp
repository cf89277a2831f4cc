// The common controls library: nothing to register on this platform.
#include "platform/win32.h"

namespace win32 {

void InitCommonControls() {}

}  // namespace win32
