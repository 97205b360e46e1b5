// The character between the folders of a path on the target platform. The module builds
// its paths from the host's base directory with it.
#pragma once

namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace platform
