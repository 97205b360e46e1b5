// printf-style formatting, the host's formatter and its string comparison.
#include "KXUtilities/TextFormat.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {

namespace {
std::atomic<bool> g_formatterFails{false};
}

std::optional<std::string> FormatText(const char* format, va_list arguments) {
  if (format == nullptr) {
    return std::nullopt;
  }
  va_list sizing;
  va_copy(sizing, arguments);
  const int size = std::vsnprintf(nullptr, 0, format, sizing);
  va_end(sizing);
  if (size < 0) {
    return std::nullopt;
  }
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, arguments);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

}  // namespace hostsim::detail

namespace hostsim {
void SetFormatterFails(bool fails) { detail::g_formatterFails = fails; }
}  // namespace hostsim

namespace Util {

char* FormatStringV(const char* format, va_list arguments)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 0)))
#endif
    ;

char* FormatStringV(const char* format, va_list arguments) {
  if (hostsim::detail::g_formatterFails) {
    return nullptr;
  }
  const std::optional<std::string> text = hostsim::detail::FormatText(format, arguments);
  if (!text) {
    return nullptr;
  }
  auto* result = static_cast<char*>(GetMemoryManager().Allocate(text->size() + 1));
  std::memcpy(result, text->c_str(), text->size() + 1);
  return result;
}

int CompareStrings(const char* a, const char* b, CaseSensitivity sensitivity) {
  const char* left = a != nullptr ? a : "";
  const char* right = b != nullptr ? b : "";
  for (;; ++left, ++right) {
    int l = static_cast<unsigned char>(*left);
    int r = static_cast<unsigned char>(*right);
    if (sensitivity == CaseInsensitive) {
      l = std::tolower(l);
      r = std::tolower(r);
    }
    if (l != r) {
      return l < r ? -1 : 1;
    }
    if (l == 0) {
      return 0;
    }
  }
}

}  // namespace Util
