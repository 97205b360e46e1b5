// Thread-safe initialisation of function-local statics in the Microsoft ABI. The compiler
// compares a static's guard with this thread's epoch and calls _Init_thread_header when the
// static may not be ready; the first thread to get there initialises it while the others
// wait. The thread's epoch lives in thread-local storage, so the image needs a TLS
// directory, which a Microsoft toolchain also supplies.
#include <windows.h>

#include <climits>
#include <cstdint>

extern "C" {

// ---- the TLS directory ------------------------------------------------------------------
// The linker sorts .tls$ sections by name: these bracket the thread-local data of this image.
#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLZ", long, read)
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;

ULONG _tls_index = 0;

// The linker points the image's TLS directory at a symbol of this name.
extern const IMAGE_TLS_DIRECTORY64 _tls_used = {
    reinterpret_cast<ULONGLONG>(&_tls_start), reinterpret_cast<ULONGLONG>(&_tls_end),
    reinterpret_cast<ULONGLONG>(&_tls_index), reinterpret_cast<ULONGLONG>(&__xl_a + 1),
    0, 0};

// ---- the guards ---------------------------------------------------------------------------
constexpr int kUninitialised = 0;
constexpr int kBeingInitialised = -1;

int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

}  // extern "C"

namespace {

SRWLOCK guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE guardChanged = CONDITION_VARIABLE_INIT;

}  // namespace

extern "C" {

void __cdecl _Init_thread_header(int* guard) {
  AcquireSRWLockExclusive(&guardLock);
  if (*guard == kUninitialised) {
    *guard = kBeingInitialised;  // this thread initialises; the guard tells the compiler so
  } else {
    while (*guard == kBeingInitialised) {
      SleepConditionVariableSRW(&guardChanged, &guardLock, INFINITE, 0);
    }
    _Init_thread_epoch = _Init_global_epoch;
  }
  ReleaseSRWLockExclusive(&guardLock);
}

void __cdecl _Init_thread_footer(int* guard) {
  AcquireSRWLockExclusive(&guardLock);
  ++_Init_global_epoch;
  *guard = _Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&guardLock);
  WakeAllConditionVariable(&guardChanged);
}

// The initialiser threw: the static stays uninitialised and the next caller tries again.
void __cdecl _Init_thread_abort(int* guard) {
  AcquireSRWLockExclusive(&guardLock);
  *guard = kUninitialised;
  ReleaseSRWLockExclusive(&guardLock);
  WakeAllConditionVariable(&guardChanged);
}

}  // extern "C"
