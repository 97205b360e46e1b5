#include <memory>
#include <utility>

#include "UniqueBstr.h"
#include "platform/AtlMfc.h"

namespace ATL {
namespace {

BSTR CopyOrThrow(BSTR source) {
  if (source == nullptr) return nullptr;
  BSTR copy = SysAllocStringByteLen(static_cast<const char*>(static_cast<const void*>(source)),
                                    SysStringByteLen(source));
  if (copy == nullptr) AtlThrow(E_OUTOFMEMORY);
  return copy;
}

// Narrow text converts with the calling thread's ANSI code page.
BSTR FromNarrowOrThrow(LPCSTR text) {
  if (text == nullptr) return nullptr;
  platform::UniqueBstr converted = platform::NarrowToBstr(text, CP_THREAD_ACP);
  if (!converted) AtlThrow(E_OUTOFMEMORY);
  return converted.release();
}

BSTR FromWideOrThrow(LPCOLESTR text) {
  if (text == nullptr) return nullptr;
  BSTR copy = SysAllocString(text);
  if (copy == nullptr) AtlThrow(E_OUTOFMEMORY);
  return copy;
}

}  // namespace

CComBSTR::CComBSTR(LPCSTR text) : m_str(FromNarrowOrThrow(text)) {}

CComBSTR::CComBSTR(LPCOLESTR text) : m_str(FromWideOrThrow(text)) {}

CComBSTR::CComBSTR(int length, LPCOLESTR text) {
  if (length < 0) AtlThrow(E_INVALIDARG);
  if (length == 0) return;
  m_str = SysAllocStringLen(text, static_cast<UINT>(length));
  if (m_str == nullptr) AtlThrow(E_OUTOFMEMORY);
}

CComBSTR::CComBSTR(const CComBSTR& other) : m_str(CopyOrThrow(other.m_str)) {}

CComBSTR& CComBSTR::operator=(const CComBSTR& other) {
  if (m_str != other.m_str) Attach(CopyOrThrow(other.m_str));
  return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept {
  if (this != std::addressof(other)) Attach(other.Detach());
  return *this;
}

CComBSTR& CComBSTR::operator=(LPCSTR text) {
  Attach(FromNarrowOrThrow(text));
  return *this;
}

CComBSTR& CComBSTR::operator=(LPCOLESTR text) {
  if (text != m_str) Attach(FromWideOrThrow(text));
  return *this;
}

BSTR CComBSTR::Copy() const { return CopyOrThrow(m_str); }

void CComBSTR::Attach(BSTR text) noexcept {
  if (text != m_str) {
    Empty();
    m_str = text;
  }
}

BSTR CComBSTR::Detach() noexcept { return std::exchange(m_str, nullptr); }

void CComBSTR::Empty() noexcept { SysFreeString(std::exchange(m_str, nullptr)); }

}  // namespace ATL
