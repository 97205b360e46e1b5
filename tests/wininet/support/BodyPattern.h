// The bytes the test server sends for a body of a given size: printable and varying with
// the position, so that a lost, repeated or misplaced chunk shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string BodyPattern(std::size_t size, std::size_t offset = 0) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    const auto position = static_cast<std::uint32_t>(offset + i);
    body[i] = static_cast<char>('A' + ((position * 2654435761u) >> 24) % 26);
  }
  return body;
}
