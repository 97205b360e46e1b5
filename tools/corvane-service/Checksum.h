// The checksum a message set is known by: derived from its content only, so the same set
// always gets the same value, and made of characters that are safe in a file name.
#pragma once

#include <string>
#include <string_view>

namespace corvane::service {

// FNV-1a (64 bit) of the bytes, as 16 lower-case hexadecimal digits.
std::string ContentChecksum(std::string_view content);

}  // namespace corvane::service
