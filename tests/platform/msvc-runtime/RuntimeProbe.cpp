// Checks of the runtime support that the Microsoft-ABI DLLs link in, run inside a DLL of
// that build as the host would load it: rundll32 calls RunChecks, which ends the process with
// the number of failed checks and names each failure on stdout.
#include <windows.h>

#include <algorithm>
#include <charconv>
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
struct ConstructedAtLoad {
  ConstructedAtLoad() : value(42) {}
  int value;
};
ConstructedAtLoad constructedAtLoad;

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

DWORD WINAPI ReadSlowStatic(LPVOID result) {
  *static_cast<int*>(result) = SlowStatic();
  return 0;
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
struct Derived : Base {
  int marker = 9;
};
struct Other : Base {};

}  // namespace

extern "C" __declspec(dllexport) void CALLBACK RunChecks(HWND, HINSTANCE, LPSTR, int) {
  Check(constructedAtLoad.value == 42, "global constructors ran at load");

  constexpr int kThreads = 8;
  std::vector<int> seen(kThreads, 0);
  std::vector<HANDLE> threads;
  for (int& slot : seen) {
    threads.push_back(CreateThread(nullptr, 0, ReadSlowStatic, &slot, 0, nullptr));
  }
  WaitForMultipleObjects(kThreads, threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) {
    CloseHandle(thread);
  }
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
  Check(dynamic_cast<Derived*>(base) != nullptr && dynamic_cast<Other*>(base) == nullptr,
        "dynamic_cast finds the right type and refuses the wrong one");
  bool badCast = false;
  try {
    (void)dynamic_cast<Other&>(*base);
  } catch (const std::bad_cast&) {
    badCast = true;
  }
  Check(badCast, "a failed reference cast throws std::bad_cast");
  Check(std::string(typeid(*base).name()).find("Derived") != std::string::npos,
        "typeid names the dynamic type");

  std::string text;
  for (int i = 0; i < 1000; ++i) {
    text += "0123456789";
  }
  char digits[24] = {};
  const auto converted = std::to_chars(digits, digits + sizeof digits, 18446744073709551615ull);
  Check(text.size() == 10000 && std::string(digits, converted.ptr) == "18446744073709551615",
        "strings grow and numbers format");
  bool outOfRange = false;
  try {
    (void)text.at(text.size());
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
