// COM and OLE Automation for the Linux build: IUnknown, interface ids, BSTR, VARIANT,
// per-thread COM initialisation, object creation and error information.
//
// Interfaces carry their id as `static constexpr IID iid`; `__uuidof(I)` maps to it.
// BSTR layout matches Windows: a 4-byte byte length before the characters, a NUL after them.
#pragma once

#include "platform/linux/WinTypes.h"

// Wide literals: OLESTR("x") is a UTF-16 literal on both targets.
#define OLESTR(str) u##str

template <class Interface>
constexpr const IID& PlatformUuidOf() {
  return Interface::iid;
}
#define __uuidof(Interface) (::PlatformUuidOf<Interface>())

// ---- IUnknown --------------------------------------------------------------------------
struct IUnknown {
  static constexpr IID iid = {0x00000000, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  IUnknown() = default;
  IUnknown(const IUnknown&) = default;
  IUnknown& operator=(const IUnknown&) = default;
  ~IUnknown() = default;  // objects are destroyed through Release, never through delete
};
using LPUNKNOWN = IUnknown*;
inline constexpr IID IID_IUnknown = IUnknown::iid;

// ---- BSTR ------------------------------------------------------------------------------
using BSTR = OLECHAR*;
using LPBSTR = BSTR*;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
BSTR SysAllocStringByteLen(LPCSTR bytes, UINT byteLength);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

// ---- VARIANT ---------------------------------------------------------------------------
using VARTYPE = USHORT;
using FLOAT = float;
using DOUBLE = double;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

struct VariantRecord {
  void* pvRecord;
  void* pRecInfo;
};

// Same size and field offsets as the Windows x64 VARIANT (24 bytes, value at offset 8).
struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    ULONGLONG ullVal;
    LONG lVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    SHORT iVal;
    USHORT uiVal;
    CHAR cVal;
    BYTE bVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    void* byref;
    BSTR* pbstrVal;
    LONG* plVal;
    tagVARIANT* pvarVal;
    VariantRecord brecVal;
  };
};
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;
using LPVARIANT = VARIANT*;

#define V_VT(v) ((v)->vt)
#define V_BSTR(v) ((v)->bstrVal)
#define V_I4(v) ((v)->lVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_R8(v) ((v)->dblVal)
#define V_UNKNOWN(v) ((v)->punkVal)

#define DISP_E_BADVARTYPE MakeHResult(0x80020008u)

void VariantInit(VARIANTARG* variant);
HRESULT VariantClear(VARIANTARG* variant);
HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source);

// ---- COM initialisation and object creation -----------------------------------------------
enum COINIT : DWORD {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8,
};

enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
  CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER,
};

// Per thread: the first call gives S_OK, later ones with the same model S_FALSE (each must be
// balanced by CoUninitialize), another model RPC_E_CHANGED_MODE without counting.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();

// Creates an object of a registered class. Fails with CO_E_NOTINITIALIZED on a thread that
// has not initialised COM, REGDB_E_CLASSNOTREG for an unknown class, CLASS_E_NOAGGREGATION
// when an outer object is given.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* object);
#define CLASS_E_NOAGGREGATION MakeHResult(0x80040110u)

// The in-process class registry behind CoCreateInstance. A class's implementation registers
// its creator once, typically from a static initialiser in its own source file:
//   const bool registered = PlatformRegisterClass(CLSID_X, &CreateX);
// The creator makes an object with one reference and queries it for riid.
using PlatformClassCreator = HRESULT (*)(REFIID riid, void** object);
bool PlatformRegisterClass(REFCLSID clsid, PlatformClassCreator creator);

// ---- Error information -----------------------------------------------------------------
struct IErrorInfo : IUnknown {
  static constexpr IID iid = {0x1CF2B120, 0x547D, 0x101B,
                              {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ISupportErrorInfo : IUnknown {
  static constexpr IID iid = {0xDF0B3D60, 0x548F, 0x101B,
                              {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

inline constexpr IID IID_IErrorInfo = IErrorInfo::iid;
inline constexpr IID IID_ISupportErrorInfo = ISupportErrorInfo::iid;

// The thread's error object, handed over and cleared; S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo);
