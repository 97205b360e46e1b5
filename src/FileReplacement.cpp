#include "FileReplacement.h"

#include <atomic>
#include <limits>
#include <string>
#include <utility>

#include "platform/Win32Api.h"

namespace corvane {
namespace {

// Names taken by other writers before one is free; beyond this the store gives up.
constexpr int kNameAttempts = 64;

// Owning holder of a file handle of CreateFileA.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : m_handle(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { static_cast<void>(Close()); }

  bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle) {
    static_cast<void>(Close());
    m_handle = handle;
  }
  HANDLE get() const { return m_handle; }
  // Closes the file; false when the close reports a failure.
  bool Close() {
    return !IsOpen() || CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != FALSE;
  }

 private:
  HANDLE m_handle;
};

// "<target>.<process id>-<serial>.tmp": unique among the writers of this process by the
// serial, and among processes by the id.
std::string TemporaryName(const char* target) {
  static std::atomic<unsigned long> serial{0};
  return std::string(target) + '.' + std::to_string(GetCurrentProcessId()) + '-' +
         std::to_string(++serial) + ".tmp";
}

// A temporary file beside the target, created by this writer alone. It is removed when the
// object goes, unless it has become the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const char* target) : m_target(target), m_file(INVALID_HANDLE_VALUE) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string name = TemporaryName(target);
      m_file.Reset(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      if (m_file.IsOpen()) {
        m_name = std::move(name);
        return;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        return;
      }
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    static_cast<void>(m_file.Close());
    if (!m_name.empty()) {
      static_cast<void>(DeleteFileA(m_name.c_str()));
    }
  }

  // Writes the bytes, puts them on the disk and closes the file.
  bool Write(std::string_view bytes) {
    if (!m_file.IsOpen() || bytes.size() > std::numeric_limits<DWORD>::max()) {
      return false;
    }
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    return (size == 0 || (WriteFile(m_file.get(), bytes.data(), size, &written, nullptr) != FALSE &&
                          written == size)) &&
           FlushFileBuffers(m_file.get()) != FALSE && m_file.Close();
  }

  // Renames the written file over the target, and returns once the rename is on the disk.
  bool ReplaceTarget() {
    if (MoveFileExA(m_name.c_str(), m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
        FALSE) {
      return false;
    }
    m_name.clear();  // it is the target now
    return true;
  }

 private:
  const char* m_target;
  std::string m_name;
  FileHandle m_file;
};

}  // namespace

bool ReplaceFileContent(const char* path, std::string_view bytes) {
  TemporaryFile temporary(path);
  return temporary.Write(bytes) && temporary.ReplaceTarget();
}

}  // namespace corvane
