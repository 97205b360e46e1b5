// The DLL entry point that a Microsoft toolchain links in: it sets the stack-protection
// cookie, runs the C initialisers and C++ global constructors of this DLL at process attach,
// and at process detach runs the destructors they registered, from a table of this DLL's
// own (the DLL can be unloaded while the process goes on, so the process-wide atexit list
// must never hold its functions).
#include <windows.h>

#include <cstdint>

extern "C" {

using InitialiserFunction = int(__cdecl*)();
using ConstructorFunction = void(__cdecl*)();
using ExitFunction = void(__cdecl*)();

// The Universal CRT's helpers (ucrtbase.dll).
int __cdecl _initterm_e(InitialiserFunction* first, InitialiserFunction* last);
void __cdecl _initterm(ConstructorFunction* first, ConstructorFunction* last);
// ModuleExitTable.cpp: this DLL's own table of functions to run when it is unloaded.
int __cdecl CorvaneInitialiseModuleExitTable();
void __cdecl CorvaneRunModuleExitTable();

// The compiler places pointers to C initialisers in .CRT$XI? and to C++ constructors in
// .CRT$XC?; the linker sorts the sections by name, so these bracket each list.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XIA")) InitialiserFunction corvaneInitialisersFirst[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) InitialiserFunction corvaneInitialisersLast[] = {nullptr};
__declspec(allocate(".CRT$XCA")) ConstructorFunction corvaneConstructorsFirst[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) ConstructorFunction corvaneConstructorsLast[] = {nullptr};

// Marks the image as one that uses floating point, as the Microsoft compiler expects.
int _fltused = 0x9875;

// The stack-protection cookie: a fixed default until the entry point mixes in values that
// differ per process and per load.
std::uintptr_t __security_cookie = 0x00002B992DDFA232ull;

void __cdecl __security_check_cookie(std::uintptr_t cookie) {
  if (cookie != __security_cookie) {
    __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
  }
}

}  // extern "C"

namespace {

void InitialiseSecurityCookie() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  std::uintptr_t cookie = static_cast<std::uintptr_t>(counter.QuadPart);
  cookie ^= (static_cast<std::uintptr_t>(now.dwHighDateTime) << 32) ^ now.dwLowDateTime;
  cookie ^= static_cast<std::uintptr_t>(GetCurrentProcessId()) << 16;
  cookie ^= static_cast<std::uintptr_t>(GetCurrentThreadId());
  cookie ^= reinterpret_cast<std::uintptr_t>(&cookie);
  cookie &= 0x0000FFFFFFFFFFFFull;  // as the Microsoft runtime does: the top bits stay zero
  __security_cookie = cookie != 0 ? cookie : 0x00002B992DDFA232ull;
}

}  // namespace

extern "C" {

BOOL WINAPI _DllMainCRTStartup(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitialiseSecurityCookie();
    if (CorvaneInitialiseModuleExitTable() != 0 ||
        _initterm_e(corvaneInitialisersFirst, corvaneInitialisersLast) != 0) {
      return FALSE;
    }
    _initterm(corvaneConstructorsFirst, corvaneConstructorsLast);
  } else if (reason == DLL_PROCESS_DETACH) {
    CorvaneRunModuleExitTable();
  }
  return TRUE;
}

}  // extern "C"
