// Util::TString: block management, copy-on-write and the string operations.
#include "TString.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <string>

#include "host/KXUtilities.h"

namespace Util {
namespace {

using BlockHeader = TString::BlockHeader;

constexpr std::size_t kHeaderSize = sizeof(BlockHeader);
constexpr std::size_t kEmptyBlockSize = 38;
constexpr std::uint16_t kMaxRefCount = std::numeric_limits<std::uint16_t>::max();

// The module's shared empty string: a fresh 38-byte block marked static, text "" and
// length 1. It is constant-initialised, so it exists before any static object of the module
// is constructed, and it is never counted, written or freed.
struct EmptyBlock {
  BlockHeader header;
  char chars[2];
  unsigned char tailGuard[4];
};
constinit EmptyBlock g_emptyBlock{
    BlockHeader{1, TString::kFlagAllocated | TString::kFlagStatic, TString::kOverhead, 0, 1,
           kEmptyBlockSize, TString::kGuard, 0},
    {'\0', '\0'},
    {0xFD, 0xFD, 0xFD, 0xFD}};

BlockHeader* HeaderOf(char* chars) { return reinterpret_cast<BlockHeader*>(chars - kHeaderSize); }
char* CharsOf(BlockHeader* header) { return reinterpret_cast<char*>(header) + kHeaderSize; }
char* EmptyChars() { return g_emptyBlock.chars; }

bool IsStatic(const BlockHeader* header) { return (header->flags & TString::kFlagStatic) != 0; }
std::size_t Capacity(const BlockHeader* header) { return header->allocSize - header->overhead; }
std::size_t CharCount(const BlockHeader* header) {
  return header->length == 0 ? 0 : header->length - 1;
}

void WriteTailGuard(BlockHeader* header) {
  std::memcpy(reinterpret_cast<unsigned char*>(header) + header->allocSize - 4, &TString::kGuard,
              sizeof TString::kGuard);
}

// A fresh block of at least blockSize bytes: refCount 1, flags 0x01, overhead 36, empty
// text with length 1, both guards.
BlockHeader* AllocateBlock(std::size_t blockSize) {
  std::size_t size = blockSize;
  auto* header = static_cast<BlockHeader*>(TStringAllocatorMemAllocate(size));
  std::memcpy(header, &TString::kFreshHeaderWord, sizeof TString::kFreshHeaderWord);
  header->length = 1;
  header->allocSize = size;
  header->leadGuard = TString::kGuard;
  WriteTailGuard(header);
  CharsOf(header)[0] = '\0';
  return header;
}

// Block size for a new string of n characters: header, text, NUL and tail guard, made even.
std::size_t BlockSizeFor(std::size_t characters) { return (characters + 38) & ~std::size_t{1}; }

// Capacity (characters including the NUL) for a needed size: powers of two from 32 up to
// 4096, then whole 4096-byte steps above the need.
std::size_t GrowthCapacity(std::size_t needed) {
  if (needed > 4096) {
    return (needed & ~std::size_t{0xFFF}) + 4096;
  }
  std::size_t capacity = 32;
  while (capacity < needed) {
    capacity *= 2;
  }
  return capacity;
}

// Adds a reference unless the block is static. A count at its 16-bit maximum cannot take
// another reference without wrapping to zero, which would free the block under its other
// owners; the caller then makes a private copy instead.
bool AddReference(BlockHeader* header) {
  if (IsStatic(header)) {
    return true;
  }
  if (header->refCount == kMaxRefCount) {
    return false;
  }
  ++header->refCount;
  return true;
}

void ReleaseReference(BlockHeader* header) {
  if (IsStatic(header)) {
    return;
  }
  if (header->refCount >= 2) {
    --header->refCount;
    return;
  }
  TStringAllocatorMemRelease(header, header->allocSize);
}

// A new sole-owned block holding a copy of text (n characters).
char* NewBlockWithText(const char* text, std::size_t n) {
  BlockHeader* header = AllocateBlock(BlockSizeFor(n));
  char* chars = CharsOf(header);
  std::memcpy(chars, text, n);
  chars[n] = '\0';
  header->length = n + 1;
  return chars;
}

// Shares other's block when it can take another reference, else copies its text.
char* ShareOrCopy(char* otherChars) {
  BlockHeader* header = HeaderOf(otherChars);
  if (AddReference(header)) {
    return otherChars;
  }
  return NewBlockWithText(otherChars, CharCount(header));
}

bool IsNullOrEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

}  // namespace

TString::TString() : m_chars(EmptyChars()) {}

TString::TString(const char* text) : m_chars(EmptyChars()) {
  if (!IsNullOrEmpty(text)) {
    m_chars = NewBlockWithText(text, std::strlen(text));
  }
}

TString::TString(const WCHAR* text) : m_chars(EmptyChars()) {
  if (text == nullptr || text[0] == 0) {
    return;
  }
  // Measured once here rather than by both conversion calls; the count takes in the NUL. A
  // text too long to count in an int is passed as no text, which the conversion refuses.
  const std::size_t length = std::char_traits<WCHAR>::length(text);
  const int units = length < static_cast<std::size_t>(std::numeric_limits<int>::max())
                        ? static_cast<int>(length) + 1
                        : 0;
  const int size = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return;
  }
  const auto bytes = static_cast<std::size_t>(size);
  BlockHeader* header = AllocateBlock(BlockSizeFor(bytes));
  char* chars = CharsOf(header);
  const int written = WideCharToMultiByte(CP_ACP, 0, text, units, chars, size, nullptr, nullptr);
  if (written <= 0) {
    // The conversion failed after the size query succeeded: the block holds no usable text.
    TStringAllocatorMemRelease(header, header->allocSize);
    return;
  }
  chars[bytes - 1] = '\0';
  header->length = std::strlen(chars) + 1;
  m_chars = chars;
}

TString::TString(const TString& other)
    : m_chars(ShareOrCopy(other.m_chars != nullptr ? other.m_chars : EmptyChars())) {}

TString::~TString() { Empty(); }

TString& TString::operator=(const TString& other) {
  char* source = other.m_chars != nullptr ? other.m_chars : EmptyChars();
  if (source == m_chars) {
    return *this;
  }
  char* shared = ShareOrCopy(source);
  Empty();
  m_chars = shared;
  return *this;
}

TString& TString::operator=(const char* text) {
  if (text == m_chars && m_chars != nullptr) {
    return *this;
  }
  if (IsNullOrEmpty(text)) {
    Empty();
    return *this;
  }
  const std::size_t n = std::strlen(text);
  // The text may lie inside this string's own block (a suffix of it): a sole owner keeps the
  // block, so the copy may overlap and needs memmove; a shared block stays alive through its
  // other owners while the new one is filled.
  PrepareWrite(true, n + 1);
  std::memmove(m_chars, text, n);
  m_chars[n] = '\0';
  HeaderOf(m_chars)->length = n + 1;
  return *this;
}

TString& TString::operator+=(const TString& other) {
  if (other.IsEmpty()) {
    return *this;
  }
  if (IsEmpty()) {
    return *this = other;
  }
  const std::size_t own = GetLength();
  const std::size_t added = other.GetLength();
  PrepareWrite(false, own + added + 1);
  // When other is this very object, its pointer followed the block if it moved.
  std::memcpy(m_chars + own, other.m_chars, added);
  m_chars[own + added] = '\0';
  HeaderOf(m_chars)->length = own + added + 1;
  return *this;
}

TString& TString::operator+=(const char* text) {
  if (IsNullOrEmpty(text)) {
    return *this;
  }
  const bool wasEmpty = IsEmpty();
  const std::size_t own = GetLength();
  const std::size_t added = std::strlen(text);
  // A piece of this string's own text would move with the block if it grows: copy it first.
  const bool ownText = text >= m_chars && text < m_chars + Capacity(Header());
  const std::string ownPiece = ownText ? std::string(text, added) : std::string();
  const char* source = ownText ? ownPiece.c_str() : text;
  PrepareWrite(wasEmpty, own + added + 1);
  std::memmove(m_chars + own, source, added);
  m_chars[own + added] = '\0';
  HeaderOf(m_chars)->length = own + added + 1;
  return *this;
}

void TString::Empty() {
  if (m_chars != nullptr) {
    ReleaseReference(HeaderOf(m_chars));
  }
  m_chars = EmptyChars();
}

void TString::Format(TString format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* result = FormatStringV(format, arguments);
  va_end(arguments);
  if (result == nullptr) {
    return;
  }
  *this = static_cast<const char*>(result);
  GetMemoryManager().Free(result);
}

char* TString::GetBuffer() {
  if (m_chars == nullptr) {
    m_chars = EmptyChars();
  }
  if ((HeaderOf(m_chars)->flags & kFlagBufferHandedOut) == 0) {
    PrepareWrite(false, 1);
    HeaderOf(m_chars)->flags |= kFlagBufferHandedOut;
  }
  return m_chars;
}

void TString::ReleaseBuffer() {
  if (m_chars == nullptr) {
    return;
  }
  TString::BlockHeader* header = HeaderOf(m_chars);
  if ((header->flags & kFlagBufferHandedOut) == 0) {
    return;
  }
  header->flags = static_cast<std::uint8_t>(header->flags & ~kFlagBufferHandedOut);
  // The writer may have filled the whole buffer without a terminator: the text then ends at
  // the buffer's last character rather than running into the tail guard.
  const std::size_t capacity = Capacity(header);
  std::size_t n = strnlen(m_chars, capacity);
  if (n == capacity) {
    n = capacity - 1;
    m_chars[n] = '\0';
  }
  header->length = n + 1;
}

TString::operator const char*() const { return m_chars != nullptr ? m_chars : EmptyChars(); }

std::size_t TString::GetLength() const { return CharCount(Header()); }

bool TString::IsEmpty() const { return Header()->length <= 1; }

const TString::BlockHeader* TString::Header() const {
  return HeaderOf(m_chars != nullptr ? m_chars : EmptyChars());
}

const TString::BlockHeader* TString::SharedEmptyHeader() { return &g_emptyBlock.header; }

void TString::PrepareWrite(bool discard, std::size_t needed) {
  if (m_chars == nullptr) {
    m_chars = EmptyChars();
  }
  BlockHeader* header = HeaderOf(m_chars);

  if (header->refCount <= 1 && !IsStatic(header)) {
    // Sole owner: grow in place, keeping text and length.
    if (needed == 0 || needed <= Capacity(header)) {
      return;
    }
    const std::size_t newSize = header->overhead + GrowthCapacity(needed);
    void* block = header;
    GetMemoryManager().Reallocate(block, newSize);
    header = static_cast<BlockHeader*>(block);
    header->allocSize = newSize;
    WriteTailGuard(header);
    m_chars = CharsOf(header);
    return;
  }

  if (!discard && !IsStatic(header)) {
    // Shared: take a private copy large enough for the current text and the need.
    needed = std::max(needed, CharCount(header) + 1);
    const std::size_t blockSize =
        std::max<std::size_t>(GrowthCapacity(needed) + kOverhead, header->allocSize);
    std::size_t size = blockSize;
    auto* copy = static_cast<BlockHeader*>(TStringAllocatorMemAllocate(size));
    std::memcpy(copy, header, header->allocSize - 4);
    copy->flags = static_cast<std::uint8_t>(copy->flags & ~kFlagStatic);
    copy->refCount = 1;
    copy->allocSize = size;
    WriteTailGuard(copy);
    ReleaseReference(header);
    m_chars = CharsOf(copy);
    return;
  }

  // Discarding, or leaving the static empty string: a fresh empty block of exact size.
  BlockHeader* fresh = AllocateBlock((std::max<std::size_t>(needed, 1) + 37) & ~std::size_t{1});
  ReleaseReference(header);
  m_chars = CharsOf(fresh);
}

}  // namespace Util
