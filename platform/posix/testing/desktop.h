// Test interface of the simulated desktop: message boxes, beeps, menus, cursor, the shell's
// notification area and recorded drawing. Included through platform/testing.h only.
#pragma once

#include "platform/win32.h"
