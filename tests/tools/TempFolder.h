// A folder of its own for the running test (named after it, apart from other runs of it),
// removed with the object, and whole files in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

struct TempFolder {
  TempFolder() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    path = std::filesystem::temp_directory_path() /
           ("corvane-tools-" + std::to_string(std::random_device{}()) + "-" + name);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Writes `text` to `name` in the folder, making the folders on the way.
  std::filesystem::path Write(const std::filesystem::path& name, const std::string& text) const {
    std::filesystem::create_directories((path / name).parent_path());
    std::ofstream(path / name, std::ios::binary) << text;
    return path / name;
  }

  std::filesystem::path path;
};

inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
