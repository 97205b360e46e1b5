// corvane-host's profile reader on any profile.json: a profile, or one clear line naming the
// file and the problem; nothing else may leave it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "ProfileReader.h"

namespace fs = std::filesystem;

namespace {

// A complete profile folder but for profile.json, made once per process.
struct ProfileFolder {
  ProfileFolder()
      : root(corvane_fuzz::TemporaryFolder() /
             ("corvane-fuzz-profile-" + std::to_string(::getpid()))) {
    fs::create_directories(root / "base" / "components" / "PlacementConfiguration");
    fs::create_directories(root / "base" / "components" / "messages");
    corvane_fuzz::WriteFile(root / "base" / "components" / "PlacementConfiguration" / "TSMCnfg.XML",
                            "<x/>");
    corvane_fuzz::WriteFile(root / "data.ini", "");
  }
  ~ProfileFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  const fs::path root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProfileFolder folder;
  corvane_fuzz::WriteFile(folder.root / "profile.json",
                          std::string(reinterpret_cast<const char*>(data), size));
  const corvane::host::ProfileLoad load = corvane::host::ReadProfile(folder.root);
  if (load.profile) {
    corvane_fuzz::Require(load.error.empty(), "a profile came with an error: " + load.error);
  } else {
    const auto colon = load.error.find(": ");
    corvane_fuzz::Require(colon != std::string::npos && colon > 0 && colon + 2 < load.error.size(),
                          "no profile and no 'FILE: problem' line: '" + load.error + "'");
  }
  return 0;
}
