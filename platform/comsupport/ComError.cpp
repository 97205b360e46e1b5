#include <utility>

#include "platform/ComSupport.h"

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
  }
  return *this;
}

_com_error::~_com_error() {
  if (m_errorInfo != nullptr) m_errorInfo->Release();
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }
