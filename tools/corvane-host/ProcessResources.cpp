#include "ProcessResources.h"

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace corvane::host {

#ifdef _WIN32
std::optional<ProcessResources> CurrentProcessResources() { return std::nullopt; }
#else
namespace {

std::size_t EntriesOf(const char* folder) {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return count;
}

// The second field of /proc/self/statm: resident pages.
std::size_t ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

}  // namespace

// The listing's own descriptor is counted in every reading alike.
std::optional<ProcessResources> CurrentProcessResources() {
  return ProcessResources{EntriesOf("/proc/self/fd"), EntriesOf("/proc/self/task"), ResidentKiB()};
}
#endif

}  // namespace corvane::host
