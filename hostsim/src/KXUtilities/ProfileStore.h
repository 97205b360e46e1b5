// The profile-string calls behind _UtilGetPrivateProfileString and
// _UtilWritePrivateProfileString: the real API on Windows, the INI files of this host on
// Linux.
#pragma once

#include "platform/Win32Api.h"

namespace hostsim::detail {

DWORD GetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       DWORD bufferSize, const char* iniFile);
BOOL WriteProfileString(const char* section, const char* key, const char* value,
                        const char* iniFile);

}  // namespace hostsim::detail
