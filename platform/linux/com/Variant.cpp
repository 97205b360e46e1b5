#include "platform/linux/OleAuto.h"

namespace {

bool IsKnownType(VARTYPE type) {
  if ((type & VT_BYREF) != 0) return true;
  switch (type) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

}  // namespace

void VariantInit(VARIANTARG* variant) { variant->vt = VT_EMPTY; }

HRESULT VariantClear(VARIANTARG* variant) {
  if (variant == nullptr) return E_INVALIDARG;
  if (!IsKnownType(variant->vt)) return DISP_E_BADVARTYPE;
  if (variant->vt == VT_BSTR) {
    SysFreeString(variant->bstrVal);
  } else if ((variant->vt == VT_UNKNOWN || variant->vt == VT_DISPATCH) &&
             variant->punkVal != nullptr) {
    variant->punkVal->Release();
  }
  variant->vt = VT_EMPTY;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  if (destination == source) return S_OK;
  if (!IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
  const HRESULT cleared = VariantClear(destination);
  if (FAILED(cleared)) return cleared;
  VARIANT copy = *source;
  if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringByteLen(static_cast<const char*>(static_cast<const void*>(source->bstrVal)),
                                         SysStringByteLen(source->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal != nullptr) {
    copy.punkVal->AddRef();
  }
  *destination = copy;
  return S_OK;
}
