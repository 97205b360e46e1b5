#include "HostProfile.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include <gtest/gtest.h>

#include "hostsim/HostSim.h"

namespace corvane_test {

namespace {

namespace fs = std::filesystem;

// A folder name no other test process picks: the test's name, a random tag, a counter.
fs::path UniqueFolder() {
  static const unsigned tag = std::random_device{}();
  static std::atomic<unsigned> counter{0};
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string folder = "corvane-" + std::string(test != nullptr ? test->name() : "profile") +
                       "-" + std::to_string(tag) + "-" + std::to_string(counter++);
  for (char& c : folder) {
    if (c == '/' || c == '\\') {
      c = '_';  // parameterised test names carry a slash
    }
  }
  return fs::temp_directory_path() / folder;
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

}  // namespace

HostProfile::HostProfile() {
  m_root = UniqueFolder();
  std::error_code error;
  fs::remove_all(m_root, error);
  m_baseDirectory = m_root / "base";
  m_iniFile = m_root / "kxdata.ini";
  fs::create_directories(PlacementConfigurationFolder());
  fs::create_directories(MessagesFolder());

  hostsim::Reset();
  hostsim::SetBaseDirectory(m_baseDirectory.string());
  hostsim::SetDataIniFileName(m_iniFile.string());
}

HostProfile::~HostProfile() {
  hostsim::DiscardPendingMessages();
  std::error_code error;
  fs::remove_all(m_root, error);
}

fs::path HostProfile::PlacementConfigurationFolder() const {
  return m_baseDirectory / "components" / "PlacementConfiguration";
}

fs::path HostProfile::MessagesFolder() const { return m_baseDirectory / "components" / "messages"; }

void HostProfile::WritePlacementConfiguration(const std::string& text,
                                              const std::string& fileName) const {
  WriteFile(PlacementConfigurationFolder() / fileName, text);
}

void HostProfile::WriteIni(const std::string& text) const { WriteFile(m_iniFile, text); }

std::string HostProfile::ReadIni() const { return ReadFile(m_iniFile); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace corvane_test
