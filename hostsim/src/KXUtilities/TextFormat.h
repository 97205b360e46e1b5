// printf-style formatting into a std::string, shared by the log, the status thrower and the
// host's formatter.
#pragma once

#include <cstdarg>
#include <optional>
#include <string>

namespace hostsim::detail {

// The formatted text, or nothing when the format cannot be applied.
std::optional<std::string> FormatText(const char* format, va_list arguments)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 0)))
#endif
    ;

}  // namespace hostsim::detail
