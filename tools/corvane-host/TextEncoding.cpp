#include "TextEncoding.h"

namespace corvane::host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at `i` and advances `i` past it.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i++);
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t value = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 1;
    value = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 2;
    value = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 3;
    value = lead & 0x07u;
  } else {
    return kReplacement;
  }
  for (int n = 0; n < length; ++n) {
    if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return kReplacement;
    value = (value << 6) | (byte(i++) & 0x3Fu);
  }
  constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < kSmallest[length] || value > 0x10FFFF || surrogate) return kReplacement;
  return value;
}

void AppendUtf8(std::string& out, char32_t value) {
  const auto put = [&](char32_t bits) { out += static_cast<char>(bits); };
  if (value < 0x80) {
    put(value);
  } else if (value < 0x800) {
    put(0xC0 | (value >> 6));
    put(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    put(0xE0 | (value >> 12));
    put(0x80 | ((value >> 6) & 0x3F));
    put(0x80 | (value & 0x3F));
  } else {
    put(0xF0 | (value >> 18));
    put(0x80 | ((value >> 12) & 0x3F));
    put(0x80 | ((value >> 6) & 0x3F));
    put(0x80 | (value & 0x3F));
  }
}

}  // namespace

WideText Utf8ToUtf16(std::string_view text) {
  WideText wide;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t value = DecodeUtf8(text, i);
    if (value >= 0x10000) {
      wide += static_cast<WCHAR>(0xD800 + ((value - 0x10000) >> 10));
      wide += static_cast<WCHAR>(0xDC00 + ((value - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<WCHAR>(value);
    }
  }
  return wide;
}

std::string Utf16ToUtf8(const WideText& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t value = static_cast<char16_t>(text[i]);
    const bool high = value >= 0xD800 && value <= 0xDBFF;
    const bool lowFollows = i + 1 < text.size() && static_cast<char16_t>(text[i + 1]) >= 0xDC00 &&
                            static_cast<char16_t>(text[i + 1]) <= 0xDFFF;
    if (high && lowFollows) {
      value = 0x10000 + ((value - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00u);
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = kReplacement;
    }
    AppendUtf8(out, value);
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  const WideText wide = Utf8ToUtf16(text);
  if (wide.empty()) return {};
  const int wideLength = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::string AnsiToUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::string(text);
  WideText wide(static_cast<std::size_t>(size), WCHAR{});
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  return Utf16ToUtf8(wide);
}

}  // namespace corvane::host
