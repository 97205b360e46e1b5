#include "MessageSetFolder.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "Checksum.h"
#include "XmlDocument.h"

namespace corvane::service {
namespace {

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  std::ifstream in(file, std::ios::binary);
  if (error || !in) return std::nullopt;
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

bool IsCandidate(const std::filesystem::directory_entry& entry) {
  std::error_code error;
  const std::string name = entry.path().filename().string();
  return entry.is_regular_file(error) && !name.starts_with(".") &&
         entry.path().extension() == ".xml";
}

}  // namespace

MessageSetLoad LoadMessageSet(const std::filesystem::path& file) {
  const auto bytes = ReadWholeFile(file);
  if (!bytes) return {std::nullopt, "cannot be read"};
  const XmlDocPtr doc = ParseXml(*bytes, file.string().c_str());
  if (!doc) return {std::nullopt, "is not well-formed XML"};
  xmlNode* messages = FindFirstElement(xmlDocGetRootElement(doc.get()), "Messages");
  if (messages == nullptr) return {std::nullopt, "holds no Messages element (in no namespace)"};
  MessageSet set;
  set.fileName = file.filename().string();
  set.messagesXml = SerializeElement(doc.get(), messages);
  set.checksum = ContentChecksum(set.messagesXml);
  return {std::move(set), {}};
}

MessageSetFolder::MessageSetFolder(std::filesystem::path folder, Warn warn)
    : m_folder(std::move(folder)), m_warn(std::move(warn)) {}

std::vector<std::filesystem::path> MessageSetFolder::CandidateFiles() const {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
    if (IsCandidate(entry)) files.push_back(entry.path());
  }
  if (error && m_warn) m_warn(m_folder.string() + ": " + error.message());
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return a.filename().string() > b.filename().string();
  });
  return files;
}

std::optional<MessageSet> MessageSetFolder::Current() const {
  for (const auto& file : CandidateFiles()) {
    MessageSetLoad load = LoadMessageSet(file);
    if (load.set) return std::move(load.set);
    if (m_warn) m_warn(file.string() + " " + load.error + "; passed over");
  }
  return std::nullopt;
}

}  // namespace corvane::service
