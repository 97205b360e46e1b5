// Util::TString: the host's narrow, reference-counted, copy-on-write string. Its block
// layout is shared with the host's libraries, and strings cross the module boundary both
// ways, so module and host agree on the layout and on the counting and freeing rules.
//
// Only the narrow instantiation, TString<char, TStringAllocator<char>>, is ever used; it is
// written here as the one class Util::TString.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Win32Api.h"

namespace Util {

class TString {
public:
  // Block header; the string's pointer points just past it, at the characters.
  struct BlockHeader {
    std::uint16_t refCount;
    std::uint8_t flags;
    std::uint8_t overhead;   // bytes outside the character area: 36
    std::uint32_t reserved;
    std::uint64_t length;    // characters including the NUL; 0 and 1 both mean empty
    std::uint64_t allocSize; // the whole block in bytes
    std::uint32_t leadGuard;
    std::uint32_t reserved2;
  };
  static_assert(sizeof(BlockHeader) == 32);

  static constexpr std::uint8_t kFlagAllocated = 0x01;
  static constexpr std::uint8_t kFlagBufferHandedOut = 0x04;
  static constexpr std::uint8_t kFlagStatic = 0x08;
  static constexpr std::uint8_t kOverhead = 36;
  static constexpr std::uint32_t kGuard = 0xFDFDFDFDu;
  static constexpr std::uint32_t kFreshHeaderWord = 0x24010001u;

  TString();
  TString(const char* text);  // NOLINT(google-explicit-constructor): the host's implicit form
  TString(const WCHAR* text); // NOLINT(google-explicit-constructor)
  TString(const TString& other);
  ~TString();

  TString& operator=(const TString& other);
  TString& operator=(const char* text);
  TString& operator+=(const TString& other);
  TString& operator+=(const char* text);

  void Empty();
  void Format(TString format, ...);
  char* GetBuffer();
  void ReleaseBuffer();

  operator const char*() const;  // NOLINT(google-explicit-constructor)

  // Read-only views used by callers and tests.
  std::size_t GetLength() const;  // characters without the NUL
  bool IsEmpty() const;
  const BlockHeader* Header() const;

  // The module's shared empty string block.
  static const BlockHeader* SharedEmptyHeader();

private:
  void PrepareWrite(bool discard, std::size_t needed);

  char* m_chars;
};

}  // namespace Util
