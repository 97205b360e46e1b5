// The COM support classes where the SDK has none (Linux, and Windows built against Wine's
// headers, which lack comdef.h): _com_error and its raisers, _bstr_t,
// _variant_t and the owning interface pointer _com_ptr_t with the IXxxPtr typedef pattern.
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

class _bstr_t;

// ---- Errors ----------------------------------------------------------------------------
class _com_error {
 public:
  // Takes over one reference of errorInfo unless addRef is true.
  explicit _com_error(HRESULT hr, IErrorInfo* errorInfo = nullptr, bool addRef = false) noexcept;
  _com_error(const _com_error& other) noexcept;
  _com_error& operator=(const _com_error& other) noexcept;
  virtual ~_com_error();

  HRESULT Error() const noexcept { return m_hresult; }
  WORD WCode() const noexcept;
  // The error object with one more reference for the caller, or null.
  IErrorInfo* ErrorInfo() const noexcept;
  _bstr_t Description() const;
  _bstr_t Source() const;
  // A readable text for the HRESULT, valid as long as this object.
  const char* ErrorMessage() const noexcept;

 private:
  HRESULT m_hresult;
  IErrorInfo* m_errorInfo;
  mutable char m_message[96] = {};
};

[[noreturn]] void _com_issue_error(HRESULT hr);
// Raises hr with the object's error information when the object supports it for riid.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid);

namespace _com_util {
inline void CheckError(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}
// Narrow text in the ANSI code page to a new BSTR (null for null).
BSTR ConvertStringToBSTR(const char* text);
// A BSTR to new[]-allocated narrow text in the ANSI code page (null for null). Raises
// E_OUTOFMEMORY, or the HRESULT of the last error when the conversion fails.
char* ConvertBSTRToString(BSTR text);
}  // namespace _com_util

// ---- _bstr_t: shared, reference-counted BSTR with a cached narrow copy ---------------------
class _bstr_t {
 public:
  _bstr_t() noexcept = default;
  _bstr_t(const _bstr_t& other) noexcept;
  _bstr_t(const char* text);
  _bstr_t(const OLECHAR* text);
  _bstr_t(BSTR text, bool copy);
  ~_bstr_t();
  _bstr_t& operator=(const _bstr_t& other) noexcept;
  _bstr_t& operator=(const char* text);
  _bstr_t& operator=(const OLECHAR* text);
  _bstr_t& operator+=(const _bstr_t& other);

  operator const OLECHAR*() const noexcept;
  operator OLECHAR*() const noexcept;
  operator const char*() const;
  operator char*() const;
  bool operator!() const noexcept;
  bool operator==(const _bstr_t& other) const noexcept;
  bool operator!=(const _bstr_t& other) const noexcept { return !(*this == other); }

  UINT length() const noexcept;
  BSTR copy(bool copy = true) const;
  BSTR GetBSTR() const noexcept;
  // Frees the current text and returns the slot for an out-parameter.
  BSTR* GetAddress();
  void Attach(BSTR text);
  BSTR Detach();
  void Assign(BSTR text);

 private:
  class Data;
  void Release() noexcept;
  Data* m_data = nullptr;
};

// ---- _variant_t ------------------------------------------------------------------------
class _variant_t : public tagVARIANT {
 public:
  _variant_t() noexcept;
  _variant_t(const VARIANT& source);
  _variant_t(const _variant_t& source);
  _variant_t(VARIANT& source, bool copy);
  _variant_t(const char* text);
  _variant_t(const OLECHAR* text);
  _variant_t(const _bstr_t& text);
  _variant_t(LONG value, VARTYPE type = VT_I4);
  _variant_t(bool value) noexcept;
  _variant_t(double value, VARTYPE type = VT_R8);
  ~_variant_t();
  _variant_t& operator=(const VARIANT& source);
  _variant_t& operator=(const _variant_t& source);

  void Clear();
  void Attach(VARIANT& source);
  VARIANT Detach();
  void ChangeType(VARTYPE type, const _variant_t* source = nullptr);
  operator _bstr_t() const;
};

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
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
