#include "UniqueBstr.h"
#include "platform/AtlMfc.h"

namespace ATL {

CComVariant::CComVariant() noexcept : tagVARIANT() { vt = VT_EMPTY; }

CComVariant::CComVariant(LPCOLESTR text) : CComVariant() {
  platform::UniqueBstr owned(SysAllocString(text));
  if (!owned && text != nullptr) {
    vt = VT_ERROR;
    scode = E_OUTOFMEMORY;
    AtlThrow(E_OUTOFMEMORY);
  }
  vt = VT_BSTR;
  bstrVal = owned.release();
}

CComVariant::~CComVariant() { Clear(); }

HRESULT CComVariant::Clear() noexcept { return VariantClear(this); }

}  // namespace ATL
