// Timing of a piece of work run many times over: wall time and the CPU of every thread of
// the process, per run, and the median of a list of measurements.
#pragma once

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "platform/Win32Api.h"

namespace corvane_bench {

struct Cost {
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

// User and kernel time of every thread of this process so far.
inline double ProcessCpuSeconds() {
  FILETIME creation{}, exit{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns units
}

// The cost of one run of `work`, averaged over `runs` runs in a row; nullopt as soon as one
// run fails.
template <class Work>
std::optional<Cost> MeasureRuns(int runs, Work&& work) {
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = ProcessCpuSeconds();
  for (int run = 0; run < runs; ++run) {
    if (!work()) return std::nullopt;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
  return Cost{wall.count() / runs, (ProcessCpuSeconds() - cpuStart) / runs};
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace corvane_bench
