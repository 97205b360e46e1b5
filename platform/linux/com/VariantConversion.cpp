#include <cstdio>
#include <string>

#include "platform/linux/OleAuto.h"

namespace {

BSTR AsciiToBstr(const std::string& text) {
  std::u16string wide(text.begin(), text.end());
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FormatDouble(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

// The text of a scalar variant, or false when the type has none.
bool ScalarText(const VARIANT& source, USHORT flags, std::string& text) {
  switch (source.vt) {
    case VT_EMPTY: text.clear(); return true;
    case VT_I1: text = std::to_string(static_cast<int>(source.cVal)); return true;
    case VT_UI1: text = std::to_string(source.bVal); return true;
    case VT_I2: text = std::to_string(source.iVal); return true;
    case VT_UI2: text = std::to_string(source.uiVal); return true;
    case VT_I4: text = std::to_string(source.lVal); return true;
    case VT_UI4: text = std::to_string(source.ulVal); return true;
    case VT_INT: text = std::to_string(source.intVal); return true;
    case VT_UINT: text = std::to_string(source.uintVal); return true;
    case VT_I8: text = std::to_string(source.llVal); return true;
    case VT_UI8: text = std::to_string(source.ullVal); return true;
    case VT_R4: text = FormatDouble(static_cast<double>(source.fltVal)); return true;
    case VT_R8: text = FormatDouble(source.dblVal); return true;
    case VT_BOOL:
      if ((flags & VARIANT_ALPHABOOL) != 0) {
        text = source.boolVal != VARIANT_FALSE ? "True" : "False";
      } else {
        text = source.boolVal != VARIANT_FALSE ? "-1" : "0";
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags,
                          VARTYPE type) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  VARIANT result;
  VariantInit(&result);
  if (source->vt == type) {
    const HRESULT copied = VariantCopy(&result, source);
    if (FAILED(copied)) return copied;
  } else if (type == VT_BSTR) {
    std::string text;
    if (!ScalarText(*source, flags, text)) return DISP_E_TYPEMISMATCH;
    result.vt = VT_BSTR;
    result.bstrVal = AsciiToBstr(text);
    if (result.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if (type == VT_EMPTY) {
    // Anything can be emptied.
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  // Clearing the destination may free the source when both are one variant: done last.
  const HRESULT cleared = VariantClear(destination);
  if (FAILED(cleared)) {
    VariantClear(&result);
    return cleared;
  }
  *destination = result;
  return S_OK;
}
