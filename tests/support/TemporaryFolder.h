// A folder of its own under the system's temporary folder, removed with the object, and whole
// files read and written byte for byte.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace corvane_test {

namespace fs = std::filesystem;

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::string> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TemporaryFolder {
 public:
  explicit TemporaryFolder(std::string_view prefix = "corvane-test-") {
    static std::atomic<unsigned> counter{0};
    path =
        fs::temp_directory_path() / (std::string(prefix) + std::to_string(std::random_device{}()) +
                                     "-" + std::to_string(counter++));
    fs::create_directories(path);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // Writes `bytes` to `name` in the folder, making the folders on the way.
  fs::path Write(const fs::path& name, std::string_view bytes) const {
    fs::create_directories((path / name).parent_path());
    WriteBytes(path / name, bytes);
    return path / name;
  }

  fs::path path;
};

}  // namespace corvane_test
