// One host profile for a whole fuzzing process, set up once and reset cheaply between inputs.
// The base directory lies three folders below the profile's root, so that a file written
// through a parent step in a name still lands inside the root, where the checks see it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "hostsim/HostSim.h"

namespace corvane_fuzz {

namespace fs = std::filesystem;

class FuzzProfile {
 public:
  explicit FuzzProfile(const std::string& name)
      : root(TemporaryFolder() / ("corvane-fuzz-" + name + "-" + std::to_string(::getpid()))),
        base(root / "a" / "b" / "base"),
        placementFolder(base / "components" / "PlacementConfiguration"),
        messagesFolder(base / "components" / "messages"),
        iniFile(base / "kxdata.ini") {
    fs::remove_all(root);
    fs::create_directories(placementFolder);
    fs::create_directories(messagesFolder);
  }
  ~FuzzProfile() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  FuzzProfile(const FuzzProfile&) = delete;
  FuzzProfile& operator=(const FuzzProfile&) = delete;

  // A fresh host on this profile (so that the host's records of calls do not pile up), an
  // empty messages folder and `checksum` recorded.
  void Reset(const std::string& checksum) const {
    hostsim::Reset();
    hostsim::SetBaseDirectory(base.string());
    hostsim::SetDataIniFileName(iniFile.string());
    for (const auto& entry : fs::directory_iterator(messagesFolder)) fs::remove_all(entry.path());
    if (RecordedCheckSum() != checksum) {
      hostsim::WriteProfileValue("WEBTSM", "CheckSum", checksum, iniFile.string());
    }
  }

  std::string RecordedCheckSum() const {
    return hostsim::ReadProfileValue("WEBTSM", "CheckSum", iniFile.string()).value_or("");
  }

  const fs::path root;
  const fs::path base;
  const fs::path placementFolder;
  const fs::path messagesFolder;
  const fs::path iniFile;
};

}  // namespace corvane_fuzz
