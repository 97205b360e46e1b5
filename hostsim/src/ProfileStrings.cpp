// _UtilGetPrivateProfileString and _UtilWritePrivateProfileString: the profile-string calls,
// recorded with the caller's source position for tests.
#include <mutex>
#include <string>
#include <vector>

#include "HostSimInternal.h"
#include "NoDestructor.h"
#include "ProfileStore.h"
#include "hostsim/HostSim.h"
#include "host/KXUtilities.h"

namespace hostsim::detail {
namespace {

struct ProfileLog {
  std::mutex mutex;
  std::vector<ProfileRequest> requests;
};

ProfileLog& TheLog() {
  static NoDestructor<ProfileLog> log;
  return log.get();
}

std::optional<std::string> Optional(const char* text) {
  return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

void Record(ProfileRequest request) {
  ProfileLog& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.requests.push_back(std::move(request));
}

}  // namespace

#ifdef _WIN32
DWORD GetProfileString(const char* section, const char* key, const char* defaultValue,
                       char* buffer, DWORD bufferSize, const char* iniFile) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, bufferSize, iniFile);
}
BOOL WriteProfileString(const char* section, const char* key, const char* value,
                        const char* iniFile) {
  return WritePrivateProfileStringA(section, key, value, iniFile);
}
#endif

void ResetProfileRequests() {
  ProfileLog& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.requests.clear();
}

}  // namespace hostsim::detail

namespace hostsim {

std::vector<ProfileRequest> ProfileRequests() {
  detail::ProfileLog& log = detail::TheLog();
  std::lock_guard lock(log.mutex);
  return log.requests;
}

}  // namespace hostsim

DWORD _UtilGetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, DWORD bufferSize, const char* iniFile,
                                   const char* sourceFile, int sourceLine) {
  const DWORD copied = hostsim::detail::GetProfileString(section, key, defaultValue, buffer,
                                                         bufferSize, iniFile);
  hostsim::detail::Record(hostsim::ProfileRequest{
      false, hostsim::detail::Optional(section), hostsim::detail::Optional(key),
      hostsim::detail::Optional(defaultValue),
      bufferSize > 0 && buffer != nullptr ? std::optional<std::string>(buffer) : std::nullopt,
      bufferSize, hostsim::detail::Optional(iniFile), hostsim::detail::Optional(sourceFile),
      sourceLine});
  return copied;
}

BOOL _UtilWritePrivateProfileString(const char* section, const char* key, const char* value,
                                    const char* iniFile, const char* sourceFile, int sourceLine) {
  const BOOL written = hostsim::detail::WriteProfileString(section, key, value, iniFile);
  hostsim::detail::Record(hostsim::ProfileRequest{
      true, hostsim::detail::Optional(section), hostsim::detail::Optional(key),
      hostsim::detail::Optional(value), std::nullopt, 0, hostsim::detail::Optional(iniFile),
      hostsim::detail::Optional(sourceFile), sourceLine});
  return written;
}
