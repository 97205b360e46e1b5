// Finding runs of ASCII text, the bulk of markup and of most messages, so that conversions can
// copy them in one go instead of decoding unit by unit.
#pragma once

#include <cstddef>
#include <type_traits>

namespace platform::codepage {

// How many units at the start of text are ASCII (below 0x80). Whole blocks are tested at once,
// in a loop without an early exit that the compiler turns into vector instructions.
template <class Unit>
std::size_t AsciiRunLength(const Unit* text, std::size_t size) {
  using Bits = std::make_unsigned_t<Unit>;
  constexpr std::size_t kBlock = 32;
  std::size_t at = 0;
  while (at + kBlock <= size) {
    Bits any = 0;
    for (std::size_t k = 0; k < kBlock; ++k) any |= static_cast<Bits>(text[at + k]);
    if (any >= 0x80) break;
    at += kBlock;
  }
  while (at < size && static_cast<Bits>(text[at]) < 0x80) ++at;
  return at;
}

}  // namespace platform::codepage
