// The text conversions behind mingw-w64's _bstr_t and _variant_t: narrow text is in the ANSI
// code page.
#include <memory>
#include <new>

#include "UniqueBstr.h"

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* text) {
  return platform::NarrowToBstr(text, CP_ACP).release();
}

char* WINAPI ConvertBSTRToString(BSTR text) {
  if (text == nullptr) return nullptr;
  const int wideLength = static_cast<int>(SysStringLen(text)) + 1;  // with the NUL after it
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
  const auto size = static_cast<std::size_t>(length);
  std::unique_ptr<char[]> converted(new (std::nothrow) char[size]);
  if (!converted) _com_issue_error(E_OUTOFMEMORY);
  if (WideCharToMultiByte(CP_ACP, 0, text, wideLength, converted.get(), length, nullptr,
                          nullptr) != length) {
    _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
  }
  return converted.release();  // the caller frees it with delete[]
}

}  // namespace _com_util
