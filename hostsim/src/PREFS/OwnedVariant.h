// An owning VARIANT for the host's preference store: cleared when replaced or destroyed.
#pragma once

#include <string>

#include "platform/Win32Api.h"

namespace hostsim::detail {

// VariantCopy never writes its source, though some SDK headers declare it non-const.
inline HRESULT CopyVariant(VARIANT* destination, const VARIANT& source) {
  return VariantCopy(destination, const_cast<VARIANT*>(&source));
}

class OwnedVariant {
 public:
  OwnedVariant() { VariantInit(&m_value); }
  OwnedVariant(const OwnedVariant& other) : OwnedVariant() { *this = other; }
  OwnedVariant& operator=(const OwnedVariant& other) {
    if (this != &other) {
      Assign(other.m_value);
    }
    return *this;
  }
  ~OwnedVariant() { VariantClear(&m_value); }

  // Replaces the held value with a copy of value; false when the copy fails.
  bool Assign(const VARIANT& value) {
    VariantClear(&m_value);
    return SUCCEEDED(CopyVariant(&m_value, value));
  }
  // Holds a VT_BSTR with the ANSI text converted to UTF-16.
  bool AssignText(const std::string& text);

  const VARIANT& get() const { return m_value; }

 private:
  VARIANT m_value;
};

}  // namespace hostsim::detail
