#include <utility>

#include "UniqueBstr.h"
#include "platform/AtlMfc.h"

namespace ATL {

// Narrow text converts with the calling thread's ANSI code page.
CComBSTR::CComBSTR(LPCSTR text) {
  if (text == nullptr) return;
  platform::UniqueBstr converted = platform::NarrowToBstr(text, CP_THREAD_ACP);
  if (!converted) AtlThrow(E_OUTOFMEMORY);
  m_str = converted.release();
}

void CComBSTR::Attach(BSTR text) noexcept {
  if (text != m_str) {
    Empty();
    m_str = text;
  }
}

BSTR CComBSTR::Detach() noexcept { return std::exchange(m_str, nullptr); }

void CComBSTR::Empty() noexcept { SysFreeString(std::exchange(m_str, nullptr)); }

}  // namespace ATL
