// The test interface of the POSIX layer: the simulated parts of the desktop that tests set and
// read. Only tests include this header; the programs never do.
#pragma once

#include "platform/win32.h"
