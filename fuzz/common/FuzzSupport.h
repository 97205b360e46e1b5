// Shared by the fuzz harnesses. A broken invariant prints what broke and aborts, which
// libFuzzer reports as a crash and saves the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace corvane_fuzz {

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

inline void Require(bool holds, const std::string& what) {
  if (!holds) Fail(what);
}

// Where a harness keeps its files: in memory (/dev/shm) where there is such a folder, since
// the host writes its INI file durably and a disk makes every such write wait.
inline std::filesystem::path TemporaryFolder() {
  std::error_code error;
  return std::filesystem::is_directory("/dev/shm", error) ? std::filesystem::path("/dev/shm")
                                                          : std::filesystem::temp_directory_path();
}

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace corvane_fuzz
