#include "ProcessResources.h"

#ifndef _WIN32
#include <filesystem>
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

}  // namespace

// The listing's own descriptor is counted in every reading alike.
std::optional<ProcessResources> CurrentProcessResources() {
  return ProcessResources{EntriesOf("/proc/self/fd"), EntriesOf("/proc/self/task")};
}
#endif

}  // namespace corvane::host
