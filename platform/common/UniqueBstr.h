// A BSTR owned until it is handed on with release().
#pragma once

#include <memory>

#include "ComSupportHeaders.h"

namespace platform {

struct BstrFree {
  void operator()(OLECHAR* text) const noexcept { SysFreeString(text); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFree>;

// Narrow text in the given code page to a new BSTR: one size query including the NUL, a BSTR
// of that size less one, one conversion into it. Null when the text is null, when the BSTR
// cannot be allocated or when the conversion disagrees with the size query.
UniqueBstr NarrowToBstr(const char* text, UINT codePage);

}  // namespace platform
