#include <cstdio>
#include <memory>
#include <new>

#include "platform/AtlMfc.h"

namespace {

BOOL WriteMessage(LPSTR buffer, UINT bufferSize, const char* text) {
  if (buffer == nullptr || bufferSize == 0) return FALSE;
  std::snprintf(buffer, bufferSize, "%s", text);
  return TRUE;
}

}  // namespace

void CException::Delete() noexcept {
  if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext) const {
  if (helpContext != nullptr) *helpContext = 0;
  return WriteMessage(buffer, bufferSize, "An unknown error occurred.");
}

CMemoryException& CMemoryException::Shared() noexcept {
  static CMemoryException shared;
  return shared;
}

BOOL CMemoryException::GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext) const {
  if (helpContext != nullptr) *helpContext = 0;
  return WriteMessage(buffer, bufferSize, "Out of memory.");
}

BOOL COleException::GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext) const {
  if (helpContext != nullptr) *helpContext = 0;
  char text[48];
  std::snprintf(text, sizeof text, "OLE error 0x%08X", static_cast<unsigned>(m_sc));
  return WriteMessage(buffer, bufferSize, text);
}

SCODE COleException::Process(const CException* exception) noexcept {
  if (const auto* ole = dynamic_cast<const COleException*>(exception)) return ole->m_sc;
  if (dynamic_cast<const CMemoryException*>(exception) != nullptr) return E_OUTOFMEMORY;
  return E_UNEXPECTED;
}

// The memory exception is one shared object: throwing it needs no memory.
void AfxThrowMemoryException() { throw &CMemoryException::Shared(); }

void AfxThrowOleException(SCODE code) {
  std::unique_ptr<COleException> exception(new (std::nothrow) COleException(code));
  if (!exception) AfxThrowMemoryException();
  throw exception.release();  // the catcher owns it and frees it with Delete()
}

namespace ATL {

void AtlThrow(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
  AfxThrowOleException(hr);
}

}  // namespace ATL
