#include "platform/linux/FileApi.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

namespace {

DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
      return ERROR_ACCESS_DENIED;
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

}  // namespace

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  if (existingFileName == nullptr || newFileName == nullptr ||
      flags != MOVEFILE_REPLACE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (std::rename(existingFileName, newFileName) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (::unlink(fileName) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}
