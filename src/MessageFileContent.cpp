#include "MessageFileContent.h"

namespace corvane {

std::string WithCrLfLineBreaks(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character == '\r') {
      if (index + 1 < text.size() && text[index + 1] == '\n') {
        ++index;
      }
      result += "\r\n";
    } else if (character == '\n') {
      result += "\r\n";
    } else {
      result.push_back(character);
    }
  }
  return result;
}

bool IsUsableFileNamePrefix(std::string_view checksum) {
  if (checksum == "." || checksum == "..") {
    return false;
  }
  constexpr std::string_view kForbidden = "<>:\"/\\|?*";
  for (const char character : checksum) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte < 0x20 || byte == 0x7F || kForbidden.find(character) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool IsRecordableCheckSum(std::string_view checksum) {
  if (checksum.empty()) {
    return true;
  }
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  if (kBlanks.find(checksum.front()) != std::string_view::npos ||
      kBlanks.find(checksum.back()) != std::string_view::npos) {
    return false;
  }
  const bool quoted = checksum.size() >= 2 &&
                      (checksum.front() == '"' || checksum.front() == '\'') &&
                      checksum.back() == checksum.front();
  return !quoted;
}

}  // namespace corvane
