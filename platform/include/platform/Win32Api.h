// The operating-system surface the module is written against: Win32, WinINet, COM,
// OLE Automation and MSXML 6, plus the ATL/MFC subset the module uses.
// On Windows these are the SDK's own headers (Microsoft's, mingw-w64's, or Wine's for the
// cross build) and what they lack; on Linux they are this project's implementation of
// exactly the subset the module calls.
#pragma once

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <ole2.h>
#  include <oleauto.h>
#  include <wininet.h>
#  include "platform/MsXmlSupport.h"
#else
#  include "platform/linux/WinTypes.h"
#  include "platform/linux/CodePage.h"
#  include "platform/linux/OleAuto.h"
#  include "platform/ComSupport.h"
#  include "platform/linux/MsXml.h"
#  include "platform/linux/WinInet.h"
#  include "platform/linux/FileApi.h"
#  include "platform/MsXmlSupport.h"
#endif

#include "platform/AtlMfc.h"
#include "platform/AfxInet.h"
#include "platform/PathSeparator.h"
