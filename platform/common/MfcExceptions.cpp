#include <memory>
#include <new>

#include "platform/AtlMfc.h"

void CException::Delete() noexcept {
  if (m_bAutoDelete) delete this;
}

CMemoryException& CMemoryException::Shared() noexcept {
  static CMemoryException shared;
  return shared;
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
