// The one header program code includes for the operating system. On Windows it is the system's
// own headers; elsewhere it is our POSIX layer, which declares the subset of the Win32 API that
// the programs call, in namespace win32.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winsock.h>
#include <process.h>
#include <shellapi.h>
#include <commctrl.h>
#else
#include "platform/posix/types.h"
#include "platform/posix/kernel.h"
#include "platform/posix/sockets.h"
#include "platform/posix/text.h"
#include "platform/posix/modules.h"
#include "platform/posix/serial.h"
#include "platform/posix/profile.h"
#include "platform/posix/console.h"
#include "platform/posix/windows.h"
#include "platform/posix/menus.h"
#include "platform/posix/dialogs.h"
#include "platform/posix/shell.h"
#include "platform/posix/cursors.h"
#include "platform/posix/gdi.h"
#include "platform/posix/comctl.h"
// The layer's own sources see the Win32 names only qualified, so that they can include the POSIX
// headers whose names (send, socket, sockaddr_in, ...) the Win32 API repeats.
#ifndef RW_PLATFORM_IMPL
using namespace win32;
#endif
#endif
