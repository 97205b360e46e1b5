// Narrow module text to BSTR, the way every XML text reaches the parser: decoded with the
// calling thread's ANSI code page.
#pragma once

#include "platform/Win32Api.h"

namespace corvane {

// The whole text, up to its terminating NUL, as a BSTR. A failed conversion or allocation
// raises E_OUTOFMEMORY through AtlThrow (the MFC memory exception).
ATL::CComBSTR NarrowToBstr(const char* text);

}  // namespace corvane
