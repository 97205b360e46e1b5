// What the message store left behind in a profile: files of the messages folder, the
// recorded checksum, the success line.
#pragma once

#include <algorithm>
#include <set>
#include <string>

#include "HostProfile.h"

namespace corvane_test {

inline std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

inline int CountLogLines(const std::string& text) {
  const auto records = hostsim::LogRecords();
  return static_cast<int>(std::count_if(records.begin(), records.end(),
                                        [&](const hostsim::LogRecord& r) { return r.text == text; }));
}

inline constexpr const char* kSavedLine = "Received the response and saved";

}  // namespace corvane_test
