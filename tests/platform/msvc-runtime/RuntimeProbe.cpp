// Checks of the runtime support that the Microsoft-ABI DLLs link in, run inside a DLL of
// that build as the host would load it: rundll32 calls RunChecks, which ends the process with
// the number of failed checks and names each failure on stdout. What whole activations under
// Wine already use (successful dynamic_cast, typeid names, number formatting, exceptions across
// the host boundary) is not repeated here.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Say(const std::string& line) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
            &written, nullptr);
}

void Check(bool passed, const char* what) {
  if (!passed) {
    ++failures;
    Say(std::string("FAILED: ") + what + "\n");
  }
}

// Global construction runs at load, before any export is called.
const std::string constructedAtLoad(40, 'x');

// A function-local static whose initialiser is slow, reached by several threads at once: it
// must be initialised exactly once and every thread must see it ready.
volatile LONG slowInitialisations = 0;
int SlowStatic() {
  static const int value = [] {
    InterlockedIncrement(&slowInitialisations);
    Sleep(50);
    return 7;
  }();
  return value;
}

// An initialiser that throws leaves the static uninitialised; the next call tries again.
int attemptsOfThrowingStatic = 0;
int ThrowingOnceStatic() {
  static const int value = [] {
    if (++attemptsOfThrowingStatic == 1) {
      throw std::runtime_error("first attempt");
    }
    return 5;
  }();
  return value;
}

struct Base {
  virtual ~Base() = default;
};
struct Derived : Base {};
struct Other : Base {};

}  // namespace

extern "C" __declspec(dllexport) void CALLBACK RunChecks(HWND, HINSTANCE, LPSTR, int) {
  Check(constructedAtLoad.size() == 40, "global constructors ran at load");

  constexpr int kThreads = 8;
  std::vector<int> seen(kThreads, 0);
  std::vector<HANDLE> threads;
  for (int& slot : seen) {
    const auto read = [](LPVOID result) -> DWORD {
      *static_cast<int*>(result) = SlowStatic();
      return 0;
    };
    threads.push_back(CreateThread(nullptr, 0, read, &slot, 0, nullptr));
  }
  WaitForMultipleObjects(kThreads, threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  Check(slowInitialisations == 1, "a local static racing on 8 threads is initialised once");
  Check(std::count(seen.begin(), seen.end(), 7) == kThreads, "every thread sees it ready");

  bool caughtFirst = false;
  try {
    ThrowingOnceStatic();
  } catch (const std::exception& error) {
    caughtFirst = std::strcmp(error.what(), "first attempt") == 0;
  }
  Check(caughtFirst, "an exception from a static's initialiser is caught by its base");
  Check(ThrowingOnceStatic() == 5 && attemptsOfThrowingStatic == 2,
        "a static whose initialiser threw is initialised on the next call");

  Derived derived;
  Base* base = &derived;
  Check(dynamic_cast<Other*>(base) == nullptr, "dynamic_cast refuses the wrong type");
  bool badCast = false;
  try {
    (void)dynamic_cast<Other&>(*base);
  } catch (const std::bad_cast&) {
    badCast = true;
  }
  Check(badCast, "a failed reference cast throws std::bad_cast");
  bool outOfRange = false;
  try {
    (void)constructedAtLoad.at(constructedAtLoad.size());
  } catch (const std::out_of_range& error) {
    outOfRange = error.what() != nullptr;
  }
  Check(outOfRange, "the standard library's own exceptions reach the caller");

  // rundll32 itself exits with 0 when it cannot load the DLL: the line says the checks ran.
  if (failures == 0) {
    Say("runtime checks passed\n");
  }
  ExitProcess(static_cast<UINT>(failures));
}
