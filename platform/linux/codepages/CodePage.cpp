#include <algorithm>
#include <cstring>

#include "CodePageInternal.h"

namespace {
using namespace platform::codepage;

constexpr DWORD kMultiByteFlags = MB_PRECOMPOSED | 0x2u /*MB_COMPOSITE*/ |
                                  0x4u /*MB_USEGLYPHCHARS*/ | MB_ERR_INVALID_CHARS;
constexpr DWORD kWideCharFlags = WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS | 0x10u /*DISCARDNS*/ |
                                 0x20u /*SEPCHARS*/ | 0x40u /*DEFAULTCHAR*/;

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// Copies a finished conversion to the caller: its size for a size query, else the units if
// they fit (what fits is still written when they do not, as Windows does).
template <class Char>
int Deliver(const std::basic_string<Char>& converted, Char* out, int outCount) {
  const auto size = converted.size();
  if (size > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  if (outCount == 0) return static_cast<int>(size);
  const auto capacity = static_cast<std::size_t>(outCount);
  std::copy_n(converted.data(), std::min(size, capacity), out);
  if (size > capacity) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(size);
}

// The outcome of a conversion written straight into the caller's buffer (see Deliver).
int DeliverWritten(std::size_t size, int outCount) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  if (outCount != 0 && size > static_cast<std::size_t>(outCount)) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  return static_cast<int>(size);
}

std::size_t InputLength(int count, std::size_t (*measure)(const void*), const void* text) {
  return count < 0 ? measure(text) + 1 : static_cast<std::size_t>(count);
}

std::size_t MeasureNarrow(const void* text) { return std::strlen(static_cast<const char*>(text)); }
std::size_t MeasureWide(const void* text) {
  return std::char_traits<char16_t>::length(static_cast<const char16_t*>(text));
}

bool BadLengths(const void* in, int inCount, const void* out, int outCount) {
  return in == nullptr || inCount == 0 || outCount < 0 ||
         (outCount > 0 && out == nullptr) || (outCount > 0 && in == out);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                        LPWSTR wide, int wideCount) {
  if (BadLengths(multiByte, multiByteCount, wide, wideCount)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const UINT resolved = Resolve(codePage);
  const std::string_view input(multiByte, InputLength(multiByteCount, MeasureNarrow, multiByte));
  if (resolved == CP_UTF8) {
    if ((flags & ~MB_ERR_INVALID_CHARS) != 0) return Fail(ERROR_INVALID_FLAGS);
    if ((flags & MB_ERR_INVALID_CHARS) == 0) {
      return DeliverWritten(DecodeUtf8Into(input, wide, static_cast<std::size_t>(wideCount)),
                            wideCount);
    }
    Decoded decoded = DecodeUtf8(input, true);
    if (decoded.error != ERROR_SUCCESS) return Fail(decoded.error);
    return Deliver(decoded.text, wide, wideCount);
  }
  const SingleByteTable* table = SingleByteTable::For(resolved);
  if (table == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~kMultiByteFlags) != 0) return Fail(ERROR_INVALID_FLAGS);
  std::u16string converted(input.size(), u'\0');
  std::transform(input.begin(), input.end(), converted.begin(),
                 [table](char c) { return table->ToWide(static_cast<unsigned char>(c)); });
  return Deliver(converted, wide, wideCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCCH defaultChar, LPBOOL usedDefaultChar) {
  if (BadLengths(wide, wideCount, multiByte, multiByteCount)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const UINT resolved = Resolve(codePage);
  const std::u16string_view input(wide, InputLength(wideCount, MeasureWide, wide));
  if (resolved == CP_UTF8) {
    // UTF-8 has no default character: asking for one is a caller error.
    if (defaultChar != nullptr || usedDefaultChar != nullptr) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((flags & ~WC_ERR_INVALID_CHARS) != 0) return Fail(ERROR_INVALID_FLAGS);
    if ((flags & WC_ERR_INVALID_CHARS) == 0) {
      return DeliverWritten(
          EncodeUtf8Into(input, multiByte, static_cast<std::size_t>(multiByteCount)),
          multiByteCount);
    }
    Encoded encoded = EncodeUtf8(input, true);
    if (encoded.error != ERROR_SUCCESS) return Fail(encoded.error);
    return Deliver(encoded.text, multiByte, multiByteCount);
  }
  const SingleByteTable* table = SingleByteTable::For(resolved);
  if (table == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~kWideCharFlags) != 0) return Fail(ERROR_INVALID_FLAGS);
  const char fallback = defaultChar != nullptr ? *defaultChar : '?';
  bool usedDefault = false;
  std::string converted(input.size(), '\0');
  std::transform(input.begin(), input.end(), converted.begin(), [&](char16_t c) {
    const std::int32_t byte = table->ToByte(c);
    if (byte != SingleByteTable::kUnmapped) return static_cast<char>(static_cast<unsigned char>(byte));
    usedDefault = true;
    return fallback;
  });
  const int result = Deliver(converted, multiByte, multiByteCount);
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return result;
}
