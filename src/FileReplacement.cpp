#include "FileReplacement.h"

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Win32Api.h"

namespace corvane {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// Binary mode: the bytes, line breaks included, reach the disk unchanged.
bool WriteWholeFile(const char* path, std::string_view bytes) {
  FilePointer file(std::fopen(path, "wb"));
  if (!file) {
    return false;
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    return false;
  }
  if (std::fflush(file.get()) != 0) {
    return false;
  }
  return std::fclose(file.release()) == 0;
}

}  // namespace

bool ReplaceFileContent(const char* path, std::string_view bytes) {
  const std::string temporary = std::string(path) + ".tmp";
  if (WriteWholeFile(temporary.c_str(), bytes) &&
      MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  static_cast<void>(DeleteFileA(temporary.c_str()));
  return false;
}

}  // namespace corvane
