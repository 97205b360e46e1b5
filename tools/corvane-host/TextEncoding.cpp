#include "TextEncoding.h"

namespace corvane::host {
namespace {

WideText ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  WideText wide(static_cast<std::size_t>(size), WCHAR{});
  MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::string ToNarrow(UINT codePage, const WideText& wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

}  // namespace

WideText Utf8ToUtf16(std::string_view text) { return ToWide(CP_UTF8, text); }

std::string Utf16ToUtf8(const WideText& text) { return ToNarrow(CP_UTF8, text); }

std::string Utf8ToAnsi(std::string_view text) { return ToNarrow(CP_ACP, Utf8ToUtf16(text)); }

std::string AnsiToUtf8(std::string_view text) {
  const WideText wide = ToWide(CP_ACP, text);
  return wide.empty() ? std::string(text) : Utf16ToUtf8(wide);
}

}  // namespace corvane::host
