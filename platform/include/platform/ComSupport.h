// The COM support classes where the SDK has none (Linux, and Windows built against Wine's
// headers, which lack comdef.h): _com_error and its raisers and the owning interface pointer
// _com_ptr_t with the IXxxPtr typedef pattern.
// They behave as the Windows ones do for the operations this product uses; in particular
// -> and Release() on an empty pointer raise _com_error(E_POINTER).
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#ifdef _WIN32
#  include <windows.h>
#  include <oleauto.h>
#else
#  include "platform/linux/CodePage.h"
#  include "platform/linux/OleAuto.h"
#endif

// ---- Errors ----------------------------------------------------------------------------
class _com_error {
 public:
  // Takes over one reference of errorInfo unless addRef is true.
  explicit _com_error(HRESULT hr, IErrorInfo* errorInfo = nullptr, bool addRef = false) noexcept;
  _com_error(const _com_error& other) noexcept;
  _com_error& operator=(const _com_error& other) noexcept;
  virtual ~_com_error();

  HRESULT Error() const noexcept { return m_hresult; }

 private:
  HRESULT m_hresult;
  IErrorInfo* m_errorInfo;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
// Raises hr with the object's error information when the object supports it for riid.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid);

// ---- _com_ptr_t --------------------------------------------------------------------------
// Both _com_ptr_t<IFoo> and _com_ptr_t<_com_IIID<IFoo, &__uuidof(IFoo)>> name the same pointer.
template <class Interface, const IID* InterfaceId>
struct _com_IIID {
  using Interface_t = Interface;
  static const IID& GetIID() { return *InterfaceId; }
};

namespace platform_com_detail {
template <class T>
struct InterfaceOf {
  using type = T;
};
template <class I, const IID* Id>
struct InterfaceOf<_com_IIID<I, Id>> {
  using type = I;
};
}  // namespace platform_com_detail

template <class InterfaceOrIid>
class _com_ptr_t {
 public:
  using Interface = typename platform_com_detail::InterfaceOf<InterfaceOrIid>::type;

  static const IID& GetIID() { return __uuidof(Interface); }

  _com_ptr_t() noexcept = default;
  _com_ptr_t(std::nullptr_t) noexcept {}
  _com_ptr_t(Interface* raw) noexcept : m_pointer(raw) { AddRef(); }
  _com_ptr_t(Interface* raw, bool addRef) noexcept : m_pointer(raw) {
    if (addRef) AddRef();
  }
  _com_ptr_t(const _com_ptr_t& other) noexcept : m_pointer(other.m_pointer) { AddRef(); }
  // From another interface pointer: queries it for this interface; an object that lacks it
  // gives an empty pointer, any other failure raises _com_error.
  template <class OtherInterface>
  _com_ptr_t(const _com_ptr_t<OtherInterface>& other) {
    QueryFrom(other.GetInterfacePtr());
  }
  ~_com_ptr_t() { ReleaseIfAny(); }

  _com_ptr_t& operator=(const _com_ptr_t& other) noexcept { return *this = other.m_pointer; }
  _com_ptr_t& operator=(Interface* raw) noexcept {
    if (raw != m_pointer) {
      Interface* old = m_pointer;
      m_pointer = raw;
      AddRef();
      if (old != nullptr) old->Release();
    }
    return *this;
  }
  _com_ptr_t& operator=(std::nullptr_t) noexcept {
    ReleaseIfAny();
    return *this;
  }
  template <class OtherInterface>
  _com_ptr_t& operator=(const _com_ptr_t<OtherInterface>& other) {
    _com_ptr_t queried(other);
    Attach(queried.Detach());
    return *this;
  }

  HRESULT CreateInstance(REFCLSID clsid, IUnknown* outer = nullptr,
                         DWORD context = CLSCTX_ALL) noexcept {
    ReleaseIfAny();
    void* created = nullptr;
    HRESULT hr = CoCreateInstance(clsid, outer, context, GetIID(), &created);
    if (SUCCEEDED(hr)) m_pointer = static_cast<Interface*>(created);
    return hr;
  }

  void Attach(Interface* raw) noexcept {
    ReleaseIfAny();
    m_pointer = raw;
  }
  void Attach(Interface* raw, bool addRef) noexcept {
    Attach(raw);
    if (addRef) AddRef();
  }
  Interface* Detach() noexcept { return std::exchange(m_pointer, nullptr); }

  // Releases the held reference; raises E_POINTER when there is none.
  void Release() {
    if (m_pointer == nullptr) _com_issue_error(E_POINTER);
    std::exchange(m_pointer, nullptr)->Release();
  }
  void AddRef() noexcept {
    if (m_pointer != nullptr) m_pointer->AddRef();
  }

  Interface* GetInterfacePtr() const noexcept { return m_pointer; }
  operator Interface*() const noexcept { return m_pointer; }
  Interface* operator->() const {
    if (m_pointer == nullptr) _com_issue_error(E_POINTER);
    return m_pointer;
  }
  Interface& operator*() const {
    if (m_pointer == nullptr) _com_issue_error(E_POINTER);
    return *m_pointer;
  }
  // For out-parameters: releases what is held and hands out the slot.
  Interface** operator&() noexcept {
    ReleaseIfAny();
    return &m_pointer;
  }
  explicit operator bool() const noexcept { return m_pointer != nullptr; }
  bool operator!() const noexcept { return m_pointer == nullptr; }
  bool operator==(std::nullptr_t) const noexcept { return m_pointer == nullptr; }
  bool operator==(Interface* raw) const noexcept { return m_pointer == raw; }
  bool operator==(const _com_ptr_t& other) const noexcept { return m_pointer == other.m_pointer; }

 private:
  void ReleaseIfAny() noexcept {
    if (m_pointer != nullptr) std::exchange(m_pointer, nullptr)->Release();
  }
  template <class Other>
  void QueryFrom(Other* other) {
    if (other == nullptr) return;
    void* found = nullptr;
    HRESULT hr = other->QueryInterface(GetIID(), &found);
    if (FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
    if (SUCCEEDED(hr)) m_pointer = static_cast<Interface*>(found);
  }

  Interface* m_pointer = nullptr;
};

#define _COM_SMARTPTR_TYPEDEF(Interface, iid) using Interface##Ptr = _com_ptr_t<Interface>

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
