// Text between the DOM's UTF-16 strings and libxml2's UTF-8.
#include <libxml/xmlstring.h>

#include <climits>

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

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t at = 0;
  while (at < utf8.size()) {
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
  return out;
}

std::u16string Utf16FromXmlChars(const xmlChar* text) {
  if (text == nullptr) return {};
  return Utf16FromUtf8(reinterpret_cast<const char*>(text));
}

std::optional<std::string> Utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t at = 0; at < utf16.size(); ++at) {
    const char16_t unit = utf16[at];
    if (IsHighSurrogate(unit) && at + 1 < utf16.size() && IsLowSurrogate(utf16[at + 1])) {
      const char32_t high = unit - 0xD800u;
      const char32_t low = utf16[at + 1] - 0xDC00u;
      AppendUtf8(out, 0x10000 + (high << 10) + low);
      ++at;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      return std::nullopt;
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
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
