// Gives the stand-in host the values of a checked profile, converting the profile's UTF-8
// text to the host's narrow (ANSI) and wide strings.
#pragma once

#include "Profile.h"

namespace corvane::host {

void ApplyProfile(const Profile& profile);

// The host's narrow path for a folder, ending with the path separator.
std::string HostDirectory(const std::filesystem::path& folder);

}  // namespace corvane::host
