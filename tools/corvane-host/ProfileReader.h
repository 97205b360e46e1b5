// Reads and checks a profile folder. Every problem is reported as one line that names the
// file and what is wrong with it; a profile is only returned whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Profile.h"

namespace corvane::host {

struct ProfileLoad {
  std::optional<Profile> profile;
  std::string error;               // "FILE: problem" when there is no profile
  std::vector<std::string> notes;  // "FILE: note": what a run goes ahead without
};

// profile.json and the files it names, relative to `folder`.
ProfileLoad ReadProfile(const std::filesystem::path& folder);

// The host values of profile.json alone (no file checks); paths resolved against `folder`.
ProfileLoad ParseProfileJson(const std::string& text, const std::filesystem::path& folder);

// The tag names a profile may use for evaluator variables, and their values.
std::optional<std::uint32_t> TagFromName(const std::string& name);

}  // namespace corvane::host
