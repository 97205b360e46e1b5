// A fresh stand-in host for one test of the worker: a base directory of its own with the
// placement-configuration and messages folders, a data INI file, an empty log.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "CorvaneConfiguration.h"
#include "TemporaryFolder.h"
#include "hostsim/HostSim.h"

namespace corvane_test {

class HostProfile {
 public:
  HostProfile()
      : base(m_folder.path),
        placementFolder(base / "components" / "PlacementConfiguration"),
        messagesFolder(base / "components" / "messages"),
        iniFile(base / "kxdata.ini") {
    hostsim::Reset();
    fs::create_directories(placementFolder);
    fs::create_directories(messagesFolder);
    hostsim::SetBaseDirectory(base.string());
    hostsim::SetDataIniFileName(iniFile.string());
  }
  ~HostProfile() {
    std::error_code ignored;
    fs::permissions(messagesFolder, fs::perms::owner_all, fs::perm_options::add, ignored);
    hostsim::Reset();
  }
  HostProfile(const HostProfile&) = delete;
  HostProfile& operator=(const HostProfile&) = delete;

  void WritePlacementConfiguration(std::string_view bytes,
                                   const std::string& name = "TSMCnfg.XML") const {
    WriteBytes(placementFolder / name, bytes);
  }

  // [WEBTSM] CheckSum as the host reads it, or nullopt when the key is absent.
  std::optional<std::string> RecordedCheckSum() const {
    return hostsim::ReadProfileValue("WEBTSM", "CheckSum", iniFile.string());
  }

  void RecordCheckSum(const std::string& value) const {
    hostsim::WriteProfileValue("WEBTSM", "CheckSum", value, iniFile.string());
  }

 private:
  const TemporaryFolder m_folder{"corvane-profile-"};  // removed after the destructor's body

 public:
  const fs::path base;
  const fs::path placementFolder;
  const fs::path messagesFolder;
  const fs::path iniFile;
};

inline CorvaneConfiguration& Worker() { return *CorvaneConfiguration::GetInstance(); }

}  // namespace corvane_test
