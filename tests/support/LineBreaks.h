// Line breaks as a stored message file must have them: CR LF and nothing else. Free of
// GoogleTest, for the tests and the fuzzers alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane_test {

// Where the first CR or LF that is not part of a CR LF pair stands; npos when there is none.
inline std::size_t FindLoneLineBreak(std::string_view bytes) {
  for (auto at = bytes.find_first_of("\r\n"); at != std::string_view::npos;
       at = bytes.find_first_of("\r\n", at + 2)) {
    if (bytes.compare(at, 2, "\r\n") != 0) return at;
  }
  return std::string_view::npos;
}

}  // namespace corvane_test
