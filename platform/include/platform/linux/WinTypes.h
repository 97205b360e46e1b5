// Basic Win32 types, result codes and the thread's last error, for the Linux build.
// Widths match 64-bit Windows (LLP64): LONG and DWORD are 32 bits, pointers 64.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define __stdcall
#define __cdecl

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORD_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using SIZE_T = std::size_t;
using HRESULT = std::int32_t;
using SCODE = HRESULT;
using LPVOID = void*;
using LPCVOID = const void*;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCCH = const char*;
using LPBOOL = BOOL*;
using LPDWORD = DWORD*;

// UTF-16 code units. On Windows WCHAR is a 16-bit wchar_t; here it is char16_t.
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPWCH = WCHAR*;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

using VARIANT_BOOL = std::int16_t;
#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

#ifndef TRUE
#  define TRUE 1
#endif
#ifndef FALSE
#  define FALSE 0
#endif

// ---- HRESULT -------------------------------------------------------------------------
constexpr HRESULT MakeHResult(std::uint32_t value) { return static_cast<HRESULT>(value); }
#define S_OK (static_cast<HRESULT>(0))
#define S_FALSE (static_cast<HRESULT>(1))
#define E_NOTIMPL MakeHResult(0x80004001u)
#define E_NOINTERFACE MakeHResult(0x80004002u)
#define E_POINTER MakeHResult(0x80004003u)
#define E_ABORT MakeHResult(0x80004004u)
#define E_FAIL MakeHResult(0x80004005u)
#define E_UNEXPECTED MakeHResult(0x8000FFFFu)
#define E_ACCESSDENIED MakeHResult(0x80070005u)
#define E_OUTOFMEMORY MakeHResult(0x8007000Eu)
#define E_INVALIDARG MakeHResult(0x80070057u)
#define DISP_E_OVERFLOW MakeHResult(0x8002000Au)
#define CO_E_NOTINITIALIZED MakeHResult(0x800401F0u)
#define REGDB_E_CLASSNOTREG MakeHResult(0x80040154u)
#define RPC_E_CHANGED_MODE MakeHResult(0x80010106u)

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t error) {
  return static_cast<HRESULT>(error) <= 0
             ? static_cast<HRESULT>(error)
             : static_cast<HRESULT>((error & 0x0000FFFFu) | (7u << 16) | 0x80000000u);
}

// ---- Win32 error codes -----------------------------------------------------------------
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_OUTOFMEMORY 14u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_INVALID_FLAGS 1004u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
#define ERROR_IO_PENDING 997u

// The calling thread's last error, as kernel32 keeps it.
DWORD GetLastError();
void SetLastError(DWORD error);

// ---- GUIDs -----------------------------------------------------------------------------
struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;
