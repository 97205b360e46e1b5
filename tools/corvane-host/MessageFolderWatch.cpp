#include "MessageFolderWatch.h"

#include <system_error>

namespace corvane::host {

MessageFolderWatch::MessageFolderWatch(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_before(Snapshot()) {}

std::map<std::filesystem::path, MessageFolderWatch::Stamp> MessageFolderWatch::Snapshot() const {
  std::map<std::filesystem::path, Stamp> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
    std::error_code statError;
    if (!entry.is_regular_file(statError)) continue;
    files[entry.path()] = {entry.file_size(statError), entry.last_write_time(statError)};
  }
  return files;
}

std::vector<std::filesystem::path> MessageFolderWatch::WrittenFiles() const {
  std::vector<std::filesystem::path> written;
  for (const auto& [file, stamp] : Snapshot()) {
    const auto before = m_before.find(file);
    if (before == m_before.end() || before->second != stamp) written.push_back(file);
  }
  return written;
}

}  // namespace corvane::host
