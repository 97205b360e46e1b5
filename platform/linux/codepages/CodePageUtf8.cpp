#include <algorithm>
#include <memory>

#include "AsciiRun.h"
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

// Hands cp to put as one UTF-16 unit or a surrogate pair.
template <class Put>
void PutCodePoint(Put& put, char32_t cp) {
  if (cp < 0x10000) {
    put(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  put(static_cast<char16_t>(0xD800 + (cp >> 10)));
  put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

// Hands cp to put as its UTF-8 bytes.
template <class Put>
void PutUtf8(Put& put, char32_t cp) {
  auto byte = [&put](char32_t v) { put(static_cast<char>(static_cast<unsigned char>(v))); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
}

// Where a conversion puts its units: as many as fit into the buffer are written, all are
// counted. ASCII comes in runs, each unit or byte standing for itself.
template <class Unit>
class BoundedOutput {
public:
  BoundedOutput(Unit* out, std::size_t capacity) : m_out(out), m_capacity(capacity) {}

  void operator()(Unit unit) {
    if (m_length < m_capacity) m_out[m_length] = unit;
    ++m_length;
  }
  template <class From>
  void Ascii(const From* from, std::size_t count) {
    // A size query has no buffer: nothing fits, and no pointer into it may be formed.
    const std::size_t room = m_length < m_capacity ? m_capacity - m_length : 0;
    // Through a local pointer: stores through the member would oblige the compiler to
    // reload the members after each unit (a char may alias them) and keep it from
    // copying in vector blocks.
    if (const std::size_t fit = std::min(count, room); fit > 0) {
      Unit* const to = m_out + m_length;
      std::transform(from, from + fit, to, [](From unit) { return static_cast<Unit>(unit); });
    }
    m_length += count;
  }
  std::size_t Length() const { return m_length; }

private:
  Unit* m_out;
  std::size_t m_capacity;
  std::size_t m_length = 0;
};

// Each ill-formed sequence becomes one U+FFFD: a byte that cannot start a sequence, a lead
// byte with the continuation bytes that follow it while the sequence can still be valid, or a
// lead byte with a second byte that makes the sequence invalid. False when one is met and
// failOnInvalid.
template <class Out>
bool WalkUtf8(std::string_view bytes, bool failOnInvalid, Out& put) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      const std::size_t run = AsciiRunLength(bytes.data() + i, bytes.size() - i);
      put.Ascii(bytes.data() + i, run);
      i += run;
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
      if (failOnInvalid) return false;
      put(kReplacement);
    } else {
      PutCodePoint(put, cp);
    }
    i += taken;
  }
  return true;
}

// An unpaired surrogate becomes U+FFFD; false when one is met and failOnInvalid.
template <class Out>
bool WalkUtf16(std::u16string_view text, bool failOnInvalid, Out& put) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      const std::size_t run = AsciiRunLength(text.data() + i, text.size() - i);
      put.Ascii(text.data() + i, run);
      i += run - 1;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      PutUtf8(put, cp);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (failOnInvalid) return false;
      PutUtf8(put, kReplacement);
    } else {
      PutUtf8(put, c);
    }
  }
  return true;
}

}  // namespace

// Both conversions write into storage sized for the longest result and keep what was written:
// UTF-8 never gives more UTF-16 units than it has bytes, and one UTF-16 unit never more than
// three UTF-8 bytes.
Decoded DecodeUtf8(std::string_view bytes, bool failOnInvalid) {
  const auto units = std::make_unique_for_overwrite<char16_t[]>(bytes.size());
  BoundedOutput<char16_t> out(units.get(), bytes.size());
  if (!WalkUtf8(bytes, failOnInvalid, out)) return {{}, ERROR_NO_UNICODE_TRANSLATION};
  return {std::u16string(units.get(), out.Length()), ERROR_SUCCESS};
}

std::size_t DecodeUtf8Into(std::string_view bytes, char16_t* out, std::size_t capacity) {
  BoundedOutput<char16_t> output(out, capacity);
  WalkUtf8(bytes, false, output);
  return output.Length();
}

Encoded EncodeUtf8(std::u16string_view text, bool failOnInvalid) {
  const auto bytes = std::make_unique_for_overwrite<char[]>(text.size() * 3);
  BoundedOutput<char> out(bytes.get(), text.size() * 3);
  if (!WalkUtf16(text, failOnInvalid, out)) return {{}, false, ERROR_NO_UNICODE_TRANSLATION};
  return {std::string(bytes.get(), out.Length()), false, ERROR_SUCCESS};
}

std::size_t EncodeUtf8Into(std::u16string_view text, char* out, std::size_t capacity) {
  BoundedOutput<char> output(out, capacity);
  WalkUtf16(text, false, output);
  return output.Length();
}

}  // namespace platform::codepage
