// A fresh host for one test: the stand-in host reset, and a profile folder of its own in the
// temporary directory with the data INI file and base directory 1 with its components
// folders. The folder is removed when the profile ends.
#pragma once

#include <filesystem>
#include <string>

namespace corvane_test {

class HostProfile {
public:
  HostProfile();
  ~HostProfile();
  HostProfile(const HostProfile&) = delete;
  HostProfile& operator=(const HostProfile&) = delete;

  const std::filesystem::path& Root() const { return m_root; }
  const std::filesystem::path& IniFile() const { return m_iniFile; }
  const std::filesystem::path& BaseDirectory() const { return m_baseDirectory; }
  std::filesystem::path PlacementConfigurationFolder() const;
  std::filesystem::path MessagesFolder() const;

  // Writes a whole file of the placement-configuration folder.
  void WritePlacementConfiguration(const std::string& text,
                                   const std::string& fileName = "TSMCnfg.XML") const;
  // Replaces the INI file with this text.
  void WriteIni(const std::string& text) const;
  std::string ReadIni() const;


private:
  std::filesystem::path m_root;
  std::filesystem::path m_iniFile;
  std::filesystem::path m_baseDirectory;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace corvane_test
