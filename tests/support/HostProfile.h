// A fresh stand-in host for one test of the worker: a base directory of its own with the
// placement-configuration and messages folders, a data INI file, an empty log.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "CorvaneConfiguration.h"
#include "hostsim/HostSim.h"

namespace corvane_test {

namespace fs = std::filesystem;

inline fs::path UniqueTemporaryFolder(std::string_view prefix) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto salt = std::random_device{}();
  return fs::temp_directory_path() / (std::string(prefix) + std::to_string(stamp) + "-" +
                                      std::to_string(salt) + "-" + std::to_string(counter++));
}

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::string> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HostProfile {
 public:
  HostProfile()
      : base(UniqueTemporaryFolder("corvane-profile-")),
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
    fs::remove_all(base, ignored);
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

  const fs::path base;
  const fs::path placementFolder;
  const fs::path messagesFolder;
  const fs::path iniFile;
};

inline CorvaneConfiguration& Worker() { return *CorvaneConfiguration::GetInstance(); }

}  // namespace corvane_test
