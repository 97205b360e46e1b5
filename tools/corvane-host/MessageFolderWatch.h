// Which message files a run wrote: the folder's files before and after, by size and time.
#pragma once

#include <filesystem>
#include <map>
#include <utility>
#include <vector>

namespace corvane::host {

class MessageFolderWatch {
 public:
  explicit MessageFolderWatch(std::filesystem::path folder);
  // Files created or changed since construction, by name.
  std::vector<std::filesystem::path> WrittenFiles() const;

 private:
  using Stamp = std::pair<std::uintmax_t, std::filesystem::file_time_type>;
  std::map<std::filesystem::path, Stamp> Snapshot() const;

  std::filesystem::path m_folder;
  std::map<std::filesystem::path, Stamp> m_before;
};

}  // namespace corvane::host
