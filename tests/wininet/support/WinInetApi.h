// The WinINet API as the tests use it: the SDK's on Windows, the platform layer's on Linux.
#pragma once

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <wininet.h>
#else
#  include "platform/linux/WinInet.h"
#endif
