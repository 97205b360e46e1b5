#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "CodePageInternal.h"
#include "platform/linux/PlatformTestSupport.h"

namespace platform::codepage {
namespace {

std::atomic<UINT> g_ansiCodePage{CP_UTF8};
std::once_flag g_fromEnvironment;

// CORVANE_ACP names the process ANSI code page by number; anything else keeps UTF-8.
void ReadEnvironment() {
  const char* value = std::getenv("CORVANE_ACP");
  if (value == nullptr || *value == '\0') return;
  UINT codePage = 0;
  const char* end = value + std::strlen(value);
  const auto [ptr, ec] = std::from_chars(value, end, codePage);
  if (ec != std::errc() || ptr != end || !IsSupported(codePage)) {
    std::fprintf(stderr, "CORVANE_ACP=%s is not a supported code page; using UTF-8 (65001)\n",
                 value);
    return;
  }
  g_ansiCodePage.store(codePage);
}

}  // namespace

bool IsSupported(UINT codePage) {
  return codePage == CP_UTF8 || SingleByteTable::For(codePage) != nullptr;
}

UINT AnsiCodePage() {
  std::call_once(g_fromEnvironment, ReadEnvironment);
  return g_ansiCodePage.load();
}

UINT Resolve(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
      return AnsiCodePage();
    default:
      return codePage;
  }
}

}  // namespace platform::codepage

UINT GetACP() { return platform::codepage::AnsiCodePage(); }

bool PlatformSetAnsiCodePage(UINT codePage) {
  using namespace platform::codepage;
  AnsiCodePage();  // so that the environment cannot override this choice later
  if (!IsSupported(codePage)) return false;
  g_ansiCodePage.store(codePage);
  return true;
}
