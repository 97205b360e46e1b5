// FileSystem::ReadTextFile: a whole file as narrow text.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/KXUtilities.h"

namespace FileSystem {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Status code of a file that cannot be read: the C runtime's error number, never 0.
Util::Status ReadFailure(const char* path, int error) {
  const std::string message =
      std::string("Cannot read the file '") + path + "': " + std::strerror(error);
  return Util::Status(error != 0 ? error : EIO, Util::TString(message.c_str()));
}

}  // namespace

Util::Status ReadTextFile(const Util::TString& path, Util::TString& text) {
  const char* name = path;
  File file(std::fopen(name, "rb"));
  if (!file) {
    return ReadFailure(name, errno);
  }
  std::string content;
  char chunk[8192];
  std::size_t read = 0;
  while ((read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    content.append(chunk, read);
  }
  if (std::ferror(file.get()) != 0) {
    return ReadFailure(name, errno);
  }
  text = content.c_str();
  return Util::Status::GetSucceeded();
}

}  // namespace FileSystem
