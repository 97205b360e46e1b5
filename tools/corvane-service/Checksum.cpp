#include "Checksum.h"

#include <array>
#include <cstdint>

namespace corvane::service {

std::string ContentChecksum(std::string_view content) {
  constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
  constexpr std::uint64_t kPrime = 1099511628211ull;
  std::uint64_t hash = kOffsetBasis;
  for (const char c : content) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kPrime;
  }
  constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                            '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  std::string text(16, '0');
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    *it = kDigits[hash & 0xF];
    hash >>= 4;
  }
  return text;
}

}  // namespace corvane::service
