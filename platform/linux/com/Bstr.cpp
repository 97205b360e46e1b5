#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/OleAuto.h"

namespace {

// A BSTR block: the byte length (4 bytes), the characters, then room for a NUL wide
// character and one more zero byte so that odd byte lengths are terminated too.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr std::size_t kSuffix = sizeof(OLECHAR) + 1;
constexpr std::size_t kMaxBytes = UINT32_MAX - kPrefix - kSuffix;

BSTR AllocateBytes(const void* source, std::size_t byteLength) {
  if (byteLength > kMaxBytes) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + byteLength + kSuffix));
  if (block == nullptr) return nullptr;
  const auto length32 = static_cast<std::uint32_t>(byteLength);
  std::memcpy(block, &length32, kPrefix);
  unsigned char* characters = block + kPrefix;
  if (source != nullptr) {
    std::memcpy(characters, source, byteLength);
  } else {
    std::memset(characters, 0, byteLength);
  }
  std::memset(characters + byteLength, 0, kSuffix);
  return static_cast<BSTR>(static_cast<void*>(characters));
}

unsigned char* BlockOf(BSTR text) { return static_cast<unsigned char*>(static_cast<void*>(text)) - kPrefix; }

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return AllocateBytes(text, std::char_traits<OLECHAR>::length(text) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(text, std::size_t{length} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR bytes, UINT byteLength) { return AllocateBytes(bytes, byteLength); }

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(BlockOf(text));
}

UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t length = 0;
  std::memcpy(&length, BlockOf(text), kPrefix);
  return length;
}

UINT SysStringLen(BSTR text) {
  return SysStringByteLen(text) / static_cast<UINT>(sizeof(OLECHAR));
}
