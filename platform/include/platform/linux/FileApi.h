// kernel32's file operations that the module calls, for the Linux build.
#pragma once

#include "platform/linux/WinTypes.h"

#define MOVEFILE_REPLACE_EXISTING 0x00000001u

// Renames a file. Only MOVEFILE_REPLACE_EXISTING is supported: the new name is replaced
// atomically when it exists. Other flags fail with ERROR_INVALID_PARAMETER.
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);

// Removes a file; FALSE with the last error set when it cannot be removed.
BOOL DeleteFileA(LPCSTR fileName);
