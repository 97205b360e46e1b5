// Conversions behind MultiByteToWideChar/WideCharToMultiByte, shared by their source files.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/CodePage.h"

namespace platform::codepage {

// Outcome of a conversion: the text, or the Win32 error that stopped it.
struct Decoded {
  std::u16string text;
  DWORD error = ERROR_SUCCESS;
};
struct Encoded {
  std::string text;
  bool usedDefaultChar = false;
  DWORD error = ERROR_SUCCESS;
};

Decoded DecodeUtf8(std::string_view bytes, bool failOnInvalid);
Encoded EncodeUtf8(std::u16string_view text, bool failOnInvalid);
// The lenient conversions straight into the caller's buffer: what fits of the result is
// written, and its whole length returned (with capacity 0, the length alone).
std::size_t DecodeUtf8Into(std::string_view bytes, char16_t* out, std::size_t capacity);
std::size_t EncodeUtf8Into(std::u16string_view text, char* out, std::size_t capacity);

// A single-byte code page: byte → UTF-16 and back. Immutable once built.
class SingleByteTable {
 public:
  static constexpr std::int32_t kUnmapped = -1;

  char16_t ToWide(unsigned char byte) const { return m_toWide[byte]; }
  // The byte for c, or kUnmapped.
  std::int32_t ToByte(char16_t c) const { return m_toByte[c]; }

  // The table for a supported single-byte code page, built on first use; null otherwise.
  static const SingleByteTable* For(UINT codePage);

 private:
  SingleByteTable() = default;
  static std::unique_ptr<SingleByteTable> Build(const char* iconvName);

  std::array<char16_t, 256> m_toWide{};
  std::array<std::int32_t, 0x10000> m_toByte{};
};

// The process ANSI code page; resolves CP_ACP, CP_OEMCP and CP_THREAD_ACP to it.
UINT AnsiCodePage();
UINT Resolve(UINT codePage);
bool IsSupported(UINT resolvedCodePage);

}  // namespace platform::codepage
