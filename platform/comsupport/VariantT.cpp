#include "platform/ComSupport.h"

namespace {

void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}

}  // namespace

_variant_t::_variant_t() noexcept : tagVARIANT() { VariantInit(this); }

_variant_t::_variant_t(const VARIANT& source) : tagVARIANT() {
  VariantInit(this);
  Check(VariantCopy(this, &source));
}

_variant_t::_variant_t(const _variant_t& source) : _variant_t(static_cast<const VARIANT&>(source)) {}

_variant_t::_variant_t(VARIANT& source, bool copy) : tagVARIANT() {
  VariantInit(this);
  if (copy) {
    Check(VariantCopy(this, &source));
  } else {
    static_cast<VARIANT&>(*this) = source;
    source.vt = VT_EMPTY;
  }
}

_variant_t::_variant_t(const char* text) : tagVARIANT() {
  VariantInit(this);
  BSTR converted = _com_util::ConvertStringToBSTR(text);
  if (converted == nullptr && text != nullptr) _com_issue_error(E_OUTOFMEMORY);
  vt = VT_BSTR;
  bstrVal = converted;
}

_variant_t::_variant_t(const OLECHAR* text) : tagVARIANT() {
  VariantInit(this);
  BSTR copy = SysAllocString(text);
  if (copy == nullptr && text != nullptr) _com_issue_error(E_OUTOFMEMORY);
  vt = VT_BSTR;
  bstrVal = copy;
}

_variant_t::_variant_t(const _bstr_t& text) : tagVARIANT() {
  VariantInit(this);
  BSTR copy = text.copy();
  vt = VT_BSTR;
  bstrVal = copy;
}

_variant_t::_variant_t(LONG value, VARTYPE type) : tagVARIANT() {
  if (type != VT_I4 && type != VT_ERROR && type != VT_BOOL) _com_issue_error(E_INVALIDARG);
  vt = type;
  if (type == VT_BOOL) {
    boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (type == VT_ERROR) {
    scode = value;
  } else {
    lVal = value;
  }
}

_variant_t::_variant_t(bool value) noexcept : tagVARIANT() {
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(double value, VARTYPE type) : tagVARIANT() {
  if (type != VT_R8 && type != VT_DATE) _com_issue_error(E_INVALIDARG);
  vt = type;
  dblVal = value;
}

_variant_t::~_variant_t() { VariantClear(this); }

_variant_t& _variant_t::operator=(const VARIANT& source) {
  Check(VariantCopy(this, &source));
  return *this;
}

_variant_t& _variant_t::operator=(const _variant_t& source) {
  return *this = static_cast<const VARIANT&>(source);
}

void _variant_t::Clear() { Check(VariantClear(this)); }

void _variant_t::Attach(VARIANT& source) {
  Clear();
  static_cast<VARIANT&>(*this) = source;
  source.vt = VT_EMPTY;
}

VARIANT _variant_t::Detach() {
  VARIANT result = *this;
  vt = VT_EMPTY;
  return result;
}

void _variant_t::ChangeType(VARTYPE type, const _variant_t* source) {
  const VARIANT* from = source != nullptr ? source : this;
  if (from->vt != type) Check(VariantChangeType(this, from, 0, type));
}

_variant_t::operator _bstr_t() const {
  if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
  _variant_t text;
  Check(VariantChangeType(&text, this, 0, VT_BSTR));
  return _bstr_t(text.bstrVal, true);
}
