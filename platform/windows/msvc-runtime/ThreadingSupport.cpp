// The out-of-line pieces of libc++'s mutex, condition variable, clocks and sleep for Win32:
// its mutex and condition variable are one pointer each, zero when unused, which is the
// layout of a slim reader/writer lock and a Win32 condition variable.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace {

PSRWLOCK Lock(std::mutex& mutex) { return reinterpret_cast<PSRWLOCK>(mutex.native_handle()); }

// 100-nanosecond ticks between 1601-01-01 (FILETIME) and 1970-01-01 (system_clock).
constexpr std::int64_t kUnixEpochInFileTimeTicks = 116444736000000000;

}  // namespace

_LIBCPP_BEGIN_NAMESPACE_STD

void mutex::lock() { AcquireSRWLockExclusive(Lock(*this)); }
bool mutex::try_lock() noexcept { return TryAcquireSRWLockExclusive(Lock(*this)) != 0; }
void mutex::unlock() noexcept { ReleaseSRWLockExclusive(Lock(*this)); }

void condition_variable::notify_one() noexcept {
  WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(native_handle()));
}
void condition_variable::notify_all() noexcept {
  WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(native_handle()));
}
void condition_variable::wait(unique_lock<mutex>& lock) noexcept {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(native_handle()),
                            Lock(*lock.mutex()), INFINITE, 0);
}
// Waits at most until the time given; a spurious or early wake is the caller's to check.
void condition_variable::__do_timed_wait(
    unique_lock<mutex>& lock,
    chrono::time_point<chrono::system_clock, chrono::nanoseconds> until) noexcept {
  const auto left = chrono::ceil<chrono::milliseconds>(until - chrono::system_clock::now());
  const DWORD milliseconds =
      left.count() <= 0
          ? 0
          : static_cast<DWORD>(left.count() < INFINITE - 1 ? left.count() : INFINITE - 1);
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(native_handle()),
                            Lock(*lock.mutex()), milliseconds, 0);
}

namespace chrono {

system_clock::time_point system_clock::now() noexcept {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                                now.dwLowDateTime) -
      kUnixEpochInFileTimeTicks;
  return time_point(duration_cast<duration>(nanoseconds(ticks * 100)));
}

steady_clock::time_point steady_clock::now() noexcept {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
  const std::int64_t rest = counter.QuadPart % frequency.QuadPart;
  return time_point(nanoseconds(seconds * 1000000000 + rest * 1000000000 / frequency.QuadPart));
}

}  // namespace chrono

void __libcpp_thread_yield() { SwitchToThread(); }

void this_thread::sleep_for(const chrono::nanoseconds& duration) {
  if (duration <= chrono::nanoseconds::zero()) {
    return;
  }
  const auto milliseconds = chrono::ceil<chrono::milliseconds>(duration).count();
  Sleep(static_cast<DWORD>(milliseconds < INFINITE - 1 ? milliseconds : INFINITE - 1));
}

_LIBCPP_END_NAMESPACE_STD
