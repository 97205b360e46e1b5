// kernel32's file operations that the module calls, for the Linux build. A HANDLE here is a
// file descriptor, so INVALID_HANDLE_VALUE is the descriptor -1.
#pragma once

#include "platform/linux/WinTypes.h"

using HANDLE = void*;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

#define GENERIC_WRITE 0x40000000u
#define CREATE_NEW 1u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define ERROR_FILE_EXISTS 80u
#define ERROR_DISK_FULL 112u
#define ERROR_ALREADY_EXISTS 183u

// Creates a file for writing. Only GENERIC_WRITE with CREATE_NEW is supported: the call
// fails with ERROR_FILE_EXISTS when the name is taken (O_CREAT | O_EXCL). The share mode,
// security attributes, attributes and template are not used. INVALID_HANDLE_VALUE and the
// last error on failure.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPVOID security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Writes all bytes, or fails (ERROR_DISK_FULL when the disk or the file-size limit is
// reached). Only synchronous writes: `overlapped` must be null.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped);

// Puts the file's data and metadata on the disk (fsync).
BOOL FlushFileBuffers(HANDLE file);

// Closes a handle of CreateFileA.
BOOL CloseHandle(HANDLE object);

DWORD GetCurrentProcessId();

// Renames a file. MOVEFILE_REPLACE_EXISTING replaces the new name atomically when it exists;
// with MOVEFILE_WRITE_THROUGH the call returns only once the rename is on the disk (the
// folder of the new name is fsynced). Other flags fail with ERROR_INVALID_PARAMETER.
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);

// Removes a file; FALSE with the last error set when it cannot be removed.
BOOL DeleteFileA(LPCSTR fileName);
