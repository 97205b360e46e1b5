#include "UniqueBstr.h"
#include "platform/AtlMfc.h"

namespace ATL {

CComVariant::CComVariant() noexcept : tagVARIANT() { vt = VT_EMPTY; }

CComVariant::CComVariant(const CComVariant& source) : CComVariant(static_cast<const VARIANT&>(source)) {}

CComVariant::CComVariant(const VARIANT& source) : CComVariant() { *this = source; }

CComVariant::CComVariant(LPCOLESTR text) : CComVariant() { *this = text; }

CComVariant::CComVariant(LPCSTR text) : CComVariant() { *this = text; }

CComVariant::CComVariant(const CComBSTR& text) : CComVariant() {
  *this = static_cast<LPCOLESTR>(text.m_str);
}

CComVariant::CComVariant(bool value) noexcept : CComVariant() {
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

CComVariant::CComVariant(double value) noexcept : CComVariant() {
  vt = VT_R8;
  dblVal = value;
}

CComVariant::~CComVariant() { Clear(); }

CComVariant& CComVariant::operator=(const CComVariant& source) {
  return *this = static_cast<const VARIANT&>(source);
}

CComVariant& CComVariant::operator=(const VARIANT& source) {
  if (static_cast<const VARIANT*>(this) != &source) {
    const HRESULT hr = Copy(&source);
    if (FAILED(hr)) {
      vt = VT_ERROR;
      scode = hr;
      AtlThrow(hr);
    }
  }
  return *this;
}

CComVariant& CComVariant::operator=(LPCOLESTR text) {
  if (vt != VT_BSTR || text != bstrVal) SetString(SysAllocString(text), text == nullptr);
  return *this;
}

CComVariant& CComVariant::operator=(LPCSTR text) {
  SetString(platform::NarrowToBstr(text, CP_THREAD_ACP).release(), text == nullptr);
  return *this;
}

void CComVariant::SetString(BSTR text, bool sourceWasNull) {
  platform::UniqueBstr owned(text);
  Clear();
  if (!owned && !sourceWasNull) {
    vt = VT_ERROR;
    scode = E_OUTOFMEMORY;
    AtlThrow(E_OUTOFMEMORY);
  }
  vt = VT_BSTR;
  bstrVal = owned.release();
}

HRESULT CComVariant::Clear() noexcept { return VariantClear(this); }

// mingw-w64 declares the source parameters without const; neither call writes them.
HRESULT CComVariant::Copy(const VARIANT* source) noexcept {
  return VariantCopy(this, const_cast<VARIANT*>(source));
}

HRESULT CComVariant::Detach(VARIANT* destination) noexcept {
  if (destination == nullptr) return E_POINTER;
  const HRESULT hr = VariantClear(destination);
  if (FAILED(hr)) return hr;
  *destination = *this;
  vt = VT_EMPTY;
  return S_OK;
}

HRESULT CComVariant::ChangeType(VARTYPE type, const VARIANT* source) noexcept {
  return VariantChangeType(this, const_cast<VARIANT*>(source != nullptr ? source : this), 0, type);
}

}  // namespace ATL
