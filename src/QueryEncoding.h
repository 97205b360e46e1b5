// Percent-encoding of one query parameter name or value.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Keeps the unreserved characters A-Z a-z 0-9 - . _ ~ and writes every other byte as "%"
// followed by two upper-case hexadecimal digits.
std::string PercentEncode(std::string_view text);

}  // namespace corvane
