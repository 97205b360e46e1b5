// The module's two settings in the host data INI file: the per-user switch and the checksum
// of the last stored message set, both in one section.
#pragma once

#include <cstddef>

namespace corvane {

inline constexpr const char* kIniSection = "WEBTSM";
inline constexpr const char* kIniSwitchKey = "WEBTSMON";
inline constexpr const char* kIniCheckSumKey = "CheckSum";

inline constexpr const char* kSwitchDefault = "1";
inline constexpr std::size_t kSwitchBufferSize = 10;
inline constexpr const char* kCheckSumDefault = "0";

}  // namespace corvane
