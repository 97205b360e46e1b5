// The COM support classes of the target: the SDK's comdef.h on Windows, ours on Linux.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include <comdef.h>
#  include "platform/MsXmlSupport.h"  // the COM basics' pointer typedefs
#else
#  include "platform/linux/ComSupport.h"
#endif
