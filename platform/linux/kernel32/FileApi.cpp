#include "platform/linux/FileApi.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

BOOL FailWithErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return FALSE;
}

BOOL FailWith(DWORD error) {
  SetLastError(error);
  return FALSE;
}

int Descriptor(HANDLE file) { return static_cast<int>(reinterpret_cast<LONG_PTR>(file)); }

// The folder that holds a path's last component: what must reach the disk for a rename of
// that name to last.
std::string FolderOf(const char* path) {
  const std::string text(path);
  const auto slash = text.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : text.substr(0, slash);
}

BOOL SyncFolder(const char* path) {
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return FailWithErrno();
  const bool synced = ::fsync(folder) == 0;
  const int syncError = errno;
  ::close(folder);
  if (!synced) {
    errno = syncError;
    return FailWithErrno();
  }
  return TRUE;
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/, LPVOID /*security*/,
                   DWORD creationDisposition, DWORD /*flagsAndAttributes*/,
                   HANDLE /*templateFile*/) {
  if (fileName == nullptr || desiredAccess != GENERIC_WRITE || creationDisposition != CREATE_NEW) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const int descriptor = ::open(fileName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    FailWithErrno();
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(descriptor));
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  if (overlapped != nullptr || (buffer == nullptr && bytesToWrite != 0)) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  const auto* bytes = static_cast<const char*>(buffer);
  DWORD written = 0;
  while (written < bytesToWrite) {
    const ssize_t step = ::write(Descriptor(file), bytes + written, bytesToWrite - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) {
      if (step == 0) errno = ENOSPC;
      return FailWithErrno();
    }
    written += static_cast<DWORD>(step);
    if (bytesWritten != nullptr) *bytesWritten = written;
  }
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  return ::fsync(Descriptor(file)) == 0 ? TRUE : FailWithErrno();
}

BOOL CloseHandle(HANDLE object) {
  return ::close(Descriptor(object)) == 0 ? TRUE : FailWithErrno();
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  if (existingFileName == nullptr || newFileName == nullptr ||
      (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) != 0 ||
      (flags & MOVEFILE_REPLACE_EXISTING) == 0) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (std::rename(existingFileName, newFileName) != 0) {
    return FailWithErrno();
  }
  return (flags & MOVEFILE_WRITE_THROUGH) != 0 ? SyncFolder(newFileName) : TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (::unlink(fileName) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}
