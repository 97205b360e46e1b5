// _UtilGetPrivateProfileString and _UtilWritePrivateProfileString: the profile-string calls,
// recorded with the caller's source position for tests.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "BoundedHistory.h"
#include "HostSimInternal.h"
#include "KXUtilities/ProfileStore.h"
#include "NoDestructor.h"
#include "host/KXUtilities.h"
#include "hostsim/HostSim.h"

namespace hostsim::detail {
namespace {

struct ProfileLog {
  std::mutex mutex;
  BoundedHistory<ProfileRequest> requests;
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
DWORD GetProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       DWORD bufferSize, const char* iniFile) {
  // Wine's header declares the count as INT; the function returns the DWORD count.
  return static_cast<DWORD>(
      GetPrivateProfileStringA(section, key, defaultValue, buffer, bufferSize, iniFile));
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

std::optional<std::string> ReadProfileValue(const std::string& section, const std::string& key,
                                            const std::string& iniFile) {
  // A default no INI value can hold tells an absent key from an empty value.
  constexpr const char* kAbsent = "\x01";
  char buffer[4096] = {};
  detail::GetProfileString(section.c_str(), key.c_str(), kAbsent, buffer, sizeof buffer,
                           iniFile.c_str());
  return std::string_view(buffer) == kAbsent ? std::nullopt : std::optional<std::string>(buffer);
}

bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& iniFile) {
  return detail::WriteProfileString(section.c_str(), key.c_str(), value.c_str(), iniFile.c_str()) !=
         FALSE;
}

std::vector<ProfileRequest> ProfileRequests() {
  detail::ProfileLog& log = detail::TheLog();
  std::lock_guard lock(log.mutex);
  return log.requests;
}

}  // namespace hostsim

DWORD _UtilGetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, DWORD bufferSize, const char* iniFile,
                                   const char* sourceFile, int sourceLine) {
  const DWORD copied =
      hostsim::detail::GetProfileString(section, key, defaultValue, buffer, bufferSize, iniFile);
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
