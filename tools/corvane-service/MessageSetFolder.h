// The message sets a service offers: every "*.xml" file of one folder that holds a Messages
// element. The newest set is the one whose file name sorts last (byte-wise), so that names
// such as "2024-03-spring.xml" order the sets; modification times play no part.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane::service {

struct MessageSet {
  std::string fileName;     // name inside the folder
  std::string messagesXml;  // the first Messages element (no namespace), UTF-8 markup
  std::string checksum;     // derived from messagesXml
};

struct MessageSetLoad {
  std::optional<MessageSet> set;
  std::string error;  // why the file holds no set, when it holds none
};

MessageSetLoad LoadMessageSet(const std::filesystem::path& file);

class MessageSetFolder {
 public:
  using Warn = std::function<void(const std::string&)>;

  MessageSetFolder(std::filesystem::path folder, Warn warn);

  // The folder is read anew on every call, so sets can be added while the service runs.
  // Files that hold no set are reported through `warn` and passed over.
  std::optional<MessageSet> Current() const;

  // The candidate files, newest first.
  std::vector<std::filesystem::path> CandidateFiles() const;

  const std::filesystem::path& Folder() const { return m_folder; }

 private:
  std::filesystem::path m_folder;
  Warn m_warn;
};

}  // namespace corvane::service
