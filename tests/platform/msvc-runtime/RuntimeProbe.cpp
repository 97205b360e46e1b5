// Checks of the runtime support that the Microsoft-ABI DLLs link in, run inside a DLL of
// that build as the host would load it: rundll32 calls RunChecks, which ends the process with
// the number of failed checks and names each failure on stdout. What whole activations under
// Wine already use (successful dynamic_cast, typeid names, number formatting, exceptions across
// the host boundary) is not repeated here.
#include <windows.h>

#include <stdexcept>
#include <string>

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

// Whether `call` throws an exception of type Expected.
template <class Expected, class Call>
bool Throws(Call call) {
  try {
    call();
  } catch (const Expected&) {
    return true;
  }
  return false;
}

// Global construction runs at load, before any export is called.
const std::string constructedAtLoad(40, 'x');

// A function-local static with a slow initialiser, reached by several threads at once: it
// must be initialised exactly once and every thread must see it ready.
volatile LONG slowInitialisations = 0;
DWORD WINAPI ReadSlowStatic(LPVOID result) {
  static const int value = [] {
    InterlockedIncrement(&slowInitialisations);
    Sleep(50);
    return 7;
  }();
  *static_cast<int*>(result) = value;
  return 0;
}

// An initialiser that throws leaves the static uninitialised; the next call tries again.
int attemptsOfThrowingStatic = 0;
int ThrowingOnceStatic() {
  static const int value = [] {
    if (++attemptsOfThrowingStatic == 1) throw std::runtime_error("first attempt");
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

  int seen[8] = {};
  HANDLE threads[8];
  for (int i = 0; i < 8; ++i) {
    threads[i] = CreateThread(nullptr, 0, ReadSlowStatic, &seen[i], 0, nullptr);
  }
  WaitForMultipleObjects(8, threads, TRUE, INFINITE);
  bool allReady = true;
  for (int i = 0; i < 8; ++i) {
    CloseHandle(threads[i]);
    allReady = allReady && seen[i] == 7;
  }
  Check(slowInitialisations == 1 && allReady,
        "a local static racing on 8 threads is initialised once and seen ready by all");

  Check(Throws<std::exception>(ThrowingOnceStatic),
        "an exception from a static's initialiser is caught by its base");
  Check(ThrowingOnceStatic() == 5 && attemptsOfThrowingStatic == 2,
        "a static whose initialiser threw is initialised on the next call");

  Derived derived;
  Base* base = &derived;
  Check(dynamic_cast<Other*>(base) == nullptr, "dynamic_cast refuses the wrong type");
  Check(Throws<std::bad_cast>([&] { (void)dynamic_cast<Other&>(*base); }),
        "a failed reference cast throws std::bad_cast");
  Check(Throws<std::out_of_range>([] { (void)constructedAtLoad.at(constructedAtLoad.size()); }),
        "the standard library's own exceptions reach the caller");

  // rundll32 itself exits with 0 when it cannot load the DLL: the line says the checks ran.
  if (failures == 0) Say("runtime checks passed\n");
  ExitProcess(static_cast<UINT>(failures));
}
