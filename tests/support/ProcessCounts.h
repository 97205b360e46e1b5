// Open file descriptors and threads of this process (Linux), to check that repeated work
// gives back what it takes.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>

namespace corvane_test {

struct ProcessCounts {
  std::size_t descriptors = 0;
  std::size_t threads = 0;
};

std::ostream& operator<<(std::ostream& out, const ProcessCounts& counts);

ProcessCounts CurrentProcessCounts();

// Waits until neither count is above `limit` (resources may be given back a little after the
// work that used them ends); true when that happened within the timeout.
bool WaitForProcessCounts(const ProcessCounts& limit, std::chrono::milliseconds timeout);

}  // namespace corvane_test
