// A whole command-line argument as a decimal number within bounds.
#pragma once

#include <charconv>
#include <optional>
#include <string>

namespace corvane::tools {

inline std::optional<long> ParseNumberArgument(const std::string& text, long low, long high) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace corvane::tools
