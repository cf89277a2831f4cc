// The common controls library.
#pragma once

namespace win32 {

// There are no common control classes to register here; the call only keeps the programs'
// code the same on every system.
void InitCommonControls();

}  // namespace win32
