#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/ComSupport.h"

namespace {

// First and last HRESULT that stand for a WORD error code of an IDispatch exception.
constexpr HRESULT kWCodeFirst = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT kWCodeLast = static_cast<HRESULT>(0x8004FFFFu);

const char* KnownMessage(HRESULT hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x00000000u: return "The operation completed successfully.";
    case 0x80004001u: return "Not implemented";
    case 0x80004002u: return "No such interface supported";
    case 0x80004003u: return "Invalid pointer";
    case 0x80004004u: return "Operation aborted";
    case 0x80004005u: return "Unspecified error";
    case 0x8000FFFFu: return "Catastrophic failure";
    case 0x80070005u: return "Access is denied.";
    case 0x8007000Eu: return "Not enough memory resources are available to complete this operation.";
    case 0x80070057u: return "The parameter is incorrect.";
    case 0x800401F0u: return "CoInitialize has not been called.";
    case 0x80040154u: return "Class not registered";
    default: return nullptr;
  }
}

}  // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo* errorInfo, bool addRef) noexcept
    : m_hresult(hr), m_errorInfo(errorInfo) {
  if (m_errorInfo != nullptr && addRef) m_errorInfo->AddRef();
}

_com_error::_com_error(const _com_error& other) noexcept
    : m_hresult(other.m_hresult), m_errorInfo(other.m_errorInfo) {
  if (m_errorInfo != nullptr) m_errorInfo->AddRef();
}

_com_error& _com_error::operator=(const _com_error& other) noexcept {
  if (this != &other) {
    _com_error copy(other);
    std::swap(m_hresult, copy.m_hresult);
    std::swap(m_errorInfo, copy.m_errorInfo);
    m_message[0] = '\0';
  }
  return *this;
}

_com_error::~_com_error() {
  if (m_errorInfo != nullptr) m_errorInfo->Release();
}

WORD _com_error::WCode() const noexcept {
  return m_hresult >= kWCodeFirst && m_hresult <= kWCodeLast
             ? static_cast<WORD>(m_hresult - kWCodeFirst)
             : WORD{0};
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
  if (m_errorInfo != nullptr) m_errorInfo->AddRef();
  return m_errorInfo;
}

_bstr_t _com_error::Description() const {
  BSTR text = nullptr;
  if (m_errorInfo != nullptr) m_errorInfo->GetDescription(&text);
  return _bstr_t(text, false);
}

_bstr_t _com_error::Source() const {
  BSTR text = nullptr;
  if (m_errorInfo != nullptr) m_errorInfo->GetSource(&text);
  return _bstr_t(text, false);
}

const char* _com_error::ErrorMessage() const noexcept {
  if (m_message[0] == '\0') {
    if (const char* known = KnownMessage(m_hresult)) {
      std::snprintf(m_message, sizeof m_message, "%s", known);
    } else if (const WORD code = WCode(); code != 0) {
      std::snprintf(m_message, sizeof m_message, "IDispatch error #%u", unsigned{code});
    } else {
      std::snprintf(m_message, sizeof m_message, "Unknown error 0x%08X",
                    static_cast<unsigned>(m_hresult));
    }
  }
  return m_message;
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }
