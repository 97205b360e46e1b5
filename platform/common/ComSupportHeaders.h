// The COM support classes of the target: the SDK's comdef.h where it has one, ours elsewhere.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include "platform/MsXmlSupport.h"
#else
#  include "platform/ComSupport.h"
#endif
