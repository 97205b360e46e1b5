// Reference counting and QueryInterface for the MSXML COM objects.
#pragma once

#include <atomic>
#include <initializer_list>
#include <new>

#include "platform/linux/OleAuto.h"

namespace msxml {

// Implements IUnknown for an object whose most derived interface is Interface; the object
// deletes itself when its last reference goes.
template <class Interface>
class ComObject : public Interface {
public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }

  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

protected:
  virtual ~ComObject() = default;

  // QueryInterface for an object that answers to IUnknown and to each of iids, all of
  // which Interface derives from.
  HRESULT Query(REFIID riid, void** object, std::initializer_list<const IID*> iids) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    bool known = riid == IID_IUnknown;
    for (const IID* candidate : iids) known = known || riid == *candidate;
    if (!known) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }

private:
  std::atomic<ULONG> m_references{1};
};

// Runs a COM method's body, turning an allocation failure into E_OUTOFMEMORY: no exception may
// leave a COM method.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace msxml
