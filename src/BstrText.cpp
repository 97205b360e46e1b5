#include "BstrText.h"

namespace corvane {

ATL::CComBSTR NarrowToBstr(const char* text) {
  const char* source = text != nullptr ? text : "";
  // The count includes the terminating NUL; the BSTR's length does not.
  const int withNul = MultiByteToWideChar(CP_THREAD_ACP, 0, source, -1, nullptr, 0);
  if (withNul <= 0) {
    ATL::AtlThrow(E_OUTOFMEMORY);
  }
  ATL::CComBSTR result;
  result.Attach(SysAllocStringLen(nullptr, static_cast<UINT>(withNul - 1)));
  if (result.m_str == nullptr ||
      MultiByteToWideChar(CP_THREAD_ACP, 0, source, -1, result.m_str, withNul) != withNul) {
    ATL::AtlThrow(E_OUTOFMEMORY);
  }
  return result;
}

}  // namespace corvane
