// The ATL and MFC subset this product uses, on both targets (mingw-w64 has neither):
// ATL::CComBSTR, ATL::CComVariant, ATL::AtlThrow, CStringA and MFC's exception objects.
//
// AtlThrow(E_OUTOFMEMORY) throws CMemoryException*, any other code COleException* carrying
// it; MFC throws pointers, so catch them by pointer and hand them to MfcExceptionPtr (or call
// Delete()) so that nothing leaks.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include <oleauto.h>
#else
#  include "platform/linux/CodePage.h"
#  include "platform/linux/OleAuto.h"
#endif

#include <memory>
#include <string>
#include <type_traits>

// ---- MFC exceptions -----------------------------------------------------------------------
class CException {
 public:
  CException(const CException&) = delete;
  CException& operator=(const CException&) = delete;
  virtual ~CException() = default;
  // Frees a heap-made exception; a no-op for the shared memory exception.
  void Delete() noexcept;

 protected:
  explicit CException(bool autoDelete) noexcept : m_bAutoDelete(autoDelete) {}

 private:
  bool m_bAutoDelete;
};

class CMemoryException final : public CException {
 public:
  // The one shared instance that AfxThrowMemoryException throws; it is never deleted.
  static CMemoryException& Shared() noexcept;

 private:
  CMemoryException() noexcept : CException(false) {}
};

class COleException final : public CException {
 public:
  explicit COleException(SCODE code) noexcept : CException(true), m_sc(code) {}

  SCODE m_sc;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowOleException(SCODE code);

struct MfcExceptionDeleter {
  void operator()(CException* exception) const noexcept {
    if (exception != nullptr) exception->Delete();
  }
};
// Owns a caught MFC exception: catch (CException* e) { MfcExceptionPtr owned(e); ... }
using MfcExceptionPtr = std::unique_ptr<CException, MfcExceptionDeleter>;

// ---- CStringA -------------------------------------------------------------------------------
class CStringA {
 public:
  CStringA() = default;
  CStringA(LPCSTR text, int length)
      : m_text(text != nullptr && length > 0 ? std::string(text, static_cast<std::size_t>(length))
                                             : std::string()) {}

  CStringA& operator=(LPCSTR text) {
    m_text = text != nullptr ? text : "";
    return *this;
  }

  operator LPCSTR() const noexcept { return m_text.c_str(); }
  void Empty() noexcept { m_text.clear(); }

 private:
  std::string m_text;
};

// ---- ATL ------------------------------------------------------------------------------------
namespace ATL {

// E_OUTOFMEMORY → AfxThrowMemoryException, any other code → AfxThrowOleException(code).
[[noreturn]] void AtlThrow(HRESULT hr);

// Owns one BSTR. Construction from narrow text converts with the thread's ANSI code page and
// throws through AtlThrow(E_OUTOFMEMORY) when the BSTR cannot be made.
class CComBSTR {
 public:
  CComBSTR() noexcept = default;
  CComBSTR(LPCSTR text);
  CComBSTR(const CComBSTR&) = delete;
  CComBSTR& operator=(const CComBSTR&) = delete;
  CComBSTR(CComBSTR&& other) noexcept : m_str(other.Detach()) {}
  ~CComBSTR() { Empty(); }

  operator BSTR() const noexcept { return m_str; }
  // For out-parameters: frees what is held and hands out the slot.
  BSTR* operator&() noexcept {
    Empty();
    return &m_str;
  }
  void Attach(BSTR text) noexcept;
  BSTR Detach() noexcept;
  void Empty() noexcept;

  BSTR m_str = nullptr;
};

// A VARIANT that owns its text and clears itself. A text that cannot be copied raises
// E_OUTOFMEMORY through AtlThrow and leaves VT_ERROR.
class CComVariant : public tagVARIANT {
 public:
  CComVariant() noexcept;
  CComVariant(LPCOLESTR text);
  CComVariant(const CComVariant&) = delete;
  CComVariant& operator=(const CComVariant&) = delete;
  ~CComVariant();

  HRESULT Clear() noexcept;
};

}  // namespace ATL

// ATL code calls AtlThrow unqualified.
using ATL::AtlThrow;
