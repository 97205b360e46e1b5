// corvane-host's profile reader on any profile.json: a profile, or one clear line naming the
// file and the problem; nothing else may leave it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ProfileReader.h"
#include "TemporaryFolder.h"

namespace {

// A complete profile folder but for profile.json, made once per process.
struct ProfileFolder : corvane_test::TemporaryFolder {
  ProfileFolder() : TemporaryFolder("corvane-fuzz-profile-") {
    Write("base/components/PlacementConfiguration/TSMCnfg.XML", "<x/>");
    corvane_test::fs::create_directories(path / "base" / "components" / "messages");
    Write("data.ini", "");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProfileFolder folder;
  folder.Write("profile.json", std::string(reinterpret_cast<const char*>(data), size));
  const corvane::host::ProfileLoad load = corvane::host::ReadProfile(folder.path);
  if (load.profile) {
    corvane_fuzz::Require(load.error.empty(), "a profile came with an error: " + load.error);
  } else {
    const auto colon = load.error.find(": ");
    corvane_fuzz::Require(colon != std::string::npos && colon > 0 && colon + 2 < load.error.size(),
                          "no profile and no 'FILE: problem' line: '" + load.error + "'");
  }
  return 0;
}
