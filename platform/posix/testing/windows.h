// Test interface of the window manager. Included through platform/testing.h only.
#pragma once

#include "platform/win32.h"
