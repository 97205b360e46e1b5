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
  // Writes a readable text for the exception into buffer (always NUL-terminated).
  virtual BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext = nullptr) const;

 protected:
  explicit CException(bool autoDelete) noexcept : m_bAutoDelete(autoDelete) {}

 private:
  bool m_bAutoDelete;
};

class CMemoryException final : public CException {
 public:
  // The one shared instance that AfxThrowMemoryException throws; it is never deleted.
  static CMemoryException& Shared() noexcept;
  BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext = nullptr) const override;

 private:
  CMemoryException() noexcept : CException(false) {}
};

class COleException final : public CException {
 public:
  explicit COleException(SCODE code) noexcept : CException(true), m_sc(code) {}
  BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, UINT* helpContext = nullptr) const override;
  // The SCODE an exception stands for: its own for an OLE exception, E_OUTOFMEMORY for the
  // memory exception, E_UNEXPECTED otherwise.
  static SCODE Process(const CException* exception) noexcept;

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
  CStringA(LPCSTR text) : m_text(text != nullptr ? text : "") {}
  CStringA(LPCSTR text, int length)
      : m_text(text != nullptr && length > 0 ? std::string(text, static_cast<std::size_t>(length))
                                             : std::string()) {}

  CStringA& operator=(LPCSTR text) {
    m_text = text != nullptr ? text : "";
    return *this;
  }
  CStringA& operator+=(const CStringA& other) {
    m_text += other.m_text;
    return *this;
  }
  CStringA& operator+=(LPCSTR text) {
    if (text != nullptr) m_text += text;
    return *this;
  }
  CStringA& operator+=(char c) {
    m_text += c;
    return *this;
  }
  friend bool operator==(const CStringA& a, const CStringA& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CStringA& a, LPCSTR b) { return a.m_text == (b != nullptr ? b : ""); }

  LPCSTR GetString() const noexcept { return m_text.c_str(); }
  operator LPCSTR() const noexcept { return m_text.c_str(); }
  int GetLength() const noexcept { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const noexcept { return m_text.empty(); }
  void Empty() noexcept { m_text.clear(); }
  char GetAt(int index) const { return m_text.at(static_cast<std::size_t>(index)); }
  CStringA Left(int count) const;
  CStringA Mid(int first, int count = -1) const;

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
  CComBSTR(LPCOLESTR text);
  CComBSTR(int length, LPCOLESTR text);
  CComBSTR(const CComBSTR& other);
  CComBSTR(CComBSTR&& other) noexcept : m_str(other.Detach()) {}
  ~CComBSTR() { Empty(); }
  CComBSTR& operator=(const CComBSTR& other);
  CComBSTR& operator=(CComBSTR&& other) noexcept;
  CComBSTR& operator=(LPCSTR text);
  CComBSTR& operator=(LPCOLESTR text);

  operator BSTR() const noexcept { return m_str; }
  // For out-parameters: frees what is held and hands out the slot.
  BSTR* operator&() noexcept {
    Empty();
    return &m_str;
  }
  bool operator!() const noexcept { return m_str == nullptr; }
  unsigned int Length() const noexcept { return SysStringLen(m_str); }
  unsigned int ByteLength() const noexcept { return SysStringByteLen(m_str); }
  BSTR Copy() const;
  void Attach(BSTR text) noexcept;
  BSTR Detach() noexcept;
  void Empty() noexcept;

  BSTR m_str = nullptr;
};

// A VARIANT that clears itself. Failed construction or copying leaves VT_ERROR with the
// failure's code and raises it through AtlThrow.
class CComVariant : public tagVARIANT {
 public:
  CComVariant() noexcept;
  CComVariant(const CComVariant& source);
  CComVariant(const VARIANT& source);
  CComVariant(LPCOLESTR text);
  CComVariant(LPCSTR text);
  CComVariant(const CComBSTR& text);
  CComVariant(bool value) noexcept;
  // Any integer but bool becomes VT_I4.
  template <class Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool>)
  CComVariant(Integer value) noexcept : tagVARIANT() {
    vt = VT_I4;
    lVal = static_cast<LONG>(value);
  }
  CComVariant(double value) noexcept;
  ~CComVariant();
  CComVariant& operator=(const CComVariant& source);
  CComVariant& operator=(const VARIANT& source);
  CComVariant& operator=(LPCOLESTR text);
  CComVariant& operator=(LPCSTR text);

  HRESULT Clear() noexcept;
  HRESULT Copy(const VARIANT* source) noexcept;
  // Moves the value into destination (which is cleared first) and leaves this VT_EMPTY.
  HRESULT Detach(VARIANT* destination) noexcept;
  HRESULT ChangeType(VARTYPE type, const VARIANT* source = nullptr) noexcept;

 private:
  void SetString(BSTR text, bool sourceWasNull);
};

}  // namespace ATL

// ATL code calls AtlThrow unqualified.
using ATL::AtlThrow;
