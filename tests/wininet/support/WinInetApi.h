// The WinINet API as the tests use it: the SDK's on Windows, the platform layer's on Linux.
#pragma once

#include "platform/AfxInet.h"  // the WinINet declarations of either target
