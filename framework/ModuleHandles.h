// The program-wide module handles: the instance handle (windows, window classes) and the
// resource handle (strings, menus). Set before any second thread starts, read afterwards.
#pragma once

#include "platform/win32.h"

// Sets both handles; null stands for the executable (GetModuleHandleA with no name).
void SetModuleHandles(HINSTANCE instance);
// Sets the resource handle only; null is stored as given.
void SetResourceHandle(HINSTANCE resource);
// Reading a handle that is still null is a programming error: std::logic_error.
HINSTANCE GetInstanceHandle();
HINSTANCE GetResourceHandle();
