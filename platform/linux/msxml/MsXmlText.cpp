// Text between the DOM's UTF-16 strings and libxml2's UTF-8.
#include <libxml/xmlstring.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "../codepages/AsciiRun.h"
#include "MsXmlTree.h"

namespace msxml {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Writes the code point's UTF-8 bytes at out; where they end.
char* PutUtf8(char* out, char32_t codePoint) {
  if (codePoint < 0x80) {
    *out++ = static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return out;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void AppendUtf16FromUtf8(std::u16string& out, std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t at = 0;
  while (at < utf8.size()) {
    if (bytes[at] < 0x80) {
      // Markup and most text are ASCII: such a run is widened in one go.
      const std::size_t run = platform::codepage::AsciiRunLength(bytes + at, utf8.size() - at);
      const std::size_t start = out.size();
      out.resize(start + run);
      std::copy(bytes + at, bytes + at + run, out.begin() + static_cast<std::ptrdiff_t>(start));
      at += run;
      continue;
    }
    const std::size_t left = utf8.size() - at;
    int length = left > INT_MAX ? INT_MAX : static_cast<int>(left);
    // libxml2 hands out valid UTF-8; a broken sequence still must not stop the text.
    const int codePoint = xmlGetUTF8Char(bytes + at, &length);
    if (codePoint < 0 || length <= 0) {
      AppendUtf16(out, kReplacementCharacter);
      ++at;
      continue;
    }
    AppendUtf16(out, static_cast<char32_t>(codePoint));
    at += static_cast<std::size_t>(length);
  }
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  AppendUtf16FromUtf8(out, utf8);
  return out;
}

std::u16string Utf16FromXmlChars(const xmlChar* text) {
  if (text == nullptr) return {};
  return Utf16FromUtf8(reinterpret_cast<const char*>(text));
}

std::optional<std::string> Utf8FromUtf16(std::u16string_view utf16) {
  // One UTF-16 unit never gives more than three bytes.
  const auto bytes = std::make_unique_for_overwrite<char[]>(utf16.size() * 3);
  char* out = bytes.get();
  for (std::size_t at = 0; at < utf16.size(); ++at) {
    const char16_t unit = utf16[at];
    if (unit < 0x80) {
      const std::size_t run =
          platform::codepage::AsciiRunLength(utf16.data() + at, utf16.size() - at);
      for (std::size_t k = 0; k < run; ++k) out[k] = static_cast<char>(utf16[at + k]);
      out += run;
      at += run - 1;
    } else if (IsHighSurrogate(unit) && at + 1 < utf16.size() && IsLowSurrogate(utf16[at + 1])) {
      const char32_t high = unit - 0xD800u;
      const char32_t low = utf16[at + 1] - 0xDC00u;
      out = PutUtf8(out, 0x10000 + (high << 10) + low);
      ++at;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      return std::nullopt;
    } else {
      out = PutUtf8(out, unit);
    }
  }
  return std::string(bytes.get(), out);
}

std::u16string_view ViewOf(BSTR text) {
  if (text == nullptr) return {};
  return {text, SysStringLen(text)};
}

HRESULT ReturnBstr(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (text.size() > UINT_MAX / sizeof(OLECHAR)) return E_OUTOFMEMORY;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace msxml
