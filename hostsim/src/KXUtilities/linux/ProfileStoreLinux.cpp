// INI files on Linux: read whole, changed in memory, replaced atomically (a temporary file
// beside the target, flushed to disk, then renamed over it), so that a crash leaves either
// the old file or the new one, never a torn one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>

#include "KXUtilities/ProfileDocument.h"
#include "KXUtilities/ProfileStore.h"

namespace hostsim::detail {
namespace {

// One writer or reader at a time within the process; other processes see whole files only.
std::mutex g_profileMutex;

constexpr DWORD kErrorPathNotFound = 3;

std::optional<std::string> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return m_descriptor; }
  bool Close() {
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    return descriptor < 0 || ::close(descriptor) == 0;
  }

 private:
  int m_descriptor;
};

bool WriteAll(int descriptor, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    written += static_cast<std::size_t>(count);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// Replaces path with text; on failure the old file is untouched and the temporary removed.
bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  FileDescriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  const bool written =
      ::fchmod(file.get(), mode) == 0 && WriteAll(file.get(), text) && ::fsync(file.get()) == 0;
  const int writeError = errno;
  if (!file.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = written ? errno : writeError;
    ::unlink(temporary.c_str());
    SetLastError(ErrorFromErrno(error));
    return false;
  }
  // The rename itself is made durable by flushing the directory.
  FileDescriptor directory(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY));
  if (directory.get() >= 0) {
    ::fsync(directory.get());
  }
  return true;
}

}  // namespace

DWORD GetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       DWORD bufferSize, const char* iniFile) {
  std::optional<std::string> text;
  {
    std::lock_guard lock(g_profileMutex);
    if (iniFile != nullptr) {
      text = ReadFile(iniFile);
    }
  }
  return static_cast<DWORD>(
      ReadProfileString(text, section, key, defaultValue, buffer, bufferSize));
}

BOOL WriteProfileString(const char* section, const char* key, const char* value,
                        const char* iniFile) {
  if (section == nullptr || iniFile == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(g_profileMutex);
  ProfileDocument document = ProfileDocument::Parse(ReadFile(iniFile).value_or(std::string()));
  if (key == nullptr) {
    document.RemoveSection(section);
  } else if (value == nullptr) {
    document.RemoveKey(section, key);
  } else {
    document.Set(section, key, value);
  }
  return ReplaceFile(iniFile, document.Text()) ? TRUE : FALSE;
}

}  // namespace hostsim::detail
