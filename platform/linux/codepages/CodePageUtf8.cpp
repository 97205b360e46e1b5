#include "CodePageInternal.h"

namespace platform::codepage {
namespace {

constexpr char16_t kReplacement = u'\xFFFD';

// Length of the sequence a lead byte starts and the range its second byte must fall in, per
// the well-formed UTF-8 table; 0 for a byte that cannot start a sequence.
struct LeadInfo {
  int length;
  unsigned char secondMin;
  unsigned char secondMax;
};
LeadInfo Lead(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t cp) {
  auto put = [&out](char32_t v) { out.push_back(static_cast<char>(static_cast<unsigned char>(v))); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

}  // namespace

// Each ill-formed sequence becomes one U+FFFD: a byte that cannot start a sequence, a lead
// byte with the continuation bytes that follow it while the sequence can still be valid, or a
// lead byte with a second byte that makes the sequence invalid.
Decoded DecodeUtf8(std::string_view bytes, bool failOnInvalid) {
  Decoded result;
  result.text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      result.text.push_back(lead);
      ++i;
      continue;
    }
    const LeadInfo info = Lead(lead);
    char32_t cp = 0;
    std::size_t taken = 1;
    bool complete = info.length > 0;
    if (complete) {
      cp = lead & (0xFFu >> (info.length + 1));
      for (int k = 1; k < info.length; ++k) {
        if (i + taken >= bytes.size()) {
          complete = false;
          break;
        }
        const auto next = static_cast<unsigned char>(bytes[i + taken]);
        if (next < 0x80 || next > 0xBF) {
          complete = false;
          break;
        }
        // A continuation byte that makes the sequence overlong, a surrogate or too large is
        // replaced together with its lead byte, as Windows does.
        if (k == 1 && (next < info.secondMin || next > info.secondMax)) {
          complete = false;
          ++taken;
          break;
        }
        cp = (cp << 6) | (next & 0x3Fu);
        ++taken;
      }
    }
    if (!complete) {
      if (failOnInvalid) return {{}, ERROR_NO_UNICODE_TRANSLATION};
      result.text.push_back(kReplacement);
    } else {
      AppendCodePoint(result.text, cp);
    }
    i += taken;
  }
  return result;
}

// An unpaired surrogate becomes U+FFFD.
Encoded EncodeUtf8(std::u16string_view text, bool failOnInvalid) {
  Encoded result;
  result.text.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(result.text, cp);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (failOnInvalid) return {{}, false, ERROR_NO_UNICODE_TRANSLATION};
      AppendUtf8(result.text, kReplacement);
    } else {
      AppendUtf8(result.text, c);
    }
  }
  return result;
}

}  // namespace platform::codepage
