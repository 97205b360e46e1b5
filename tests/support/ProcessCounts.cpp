#include "ProcessCounts.h"

#include <filesystem>
#include <system_error>
#include <thread>

namespace corvane_test {

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

std::ostream& operator<<(std::ostream& out, const ProcessCounts& counts) {
  return out << counts.descriptors << " descriptors, " << counts.threads << " threads";
}

ProcessCounts CurrentProcessCounts() {
  // The listing's own descriptor is counted in both readings alike.
  return {EntriesOf("/proc/self/fd"), EntriesOf("/proc/self/task")};
}

bool WaitForProcessCounts(const ProcessCounts& limit, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const ProcessCounts now = CurrentProcessCounts();
    if (now.descriptors <= limit.descriptors && now.threads <= limit.threads) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace corvane_test
