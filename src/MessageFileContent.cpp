#include "MessageFileContent.h"

#include <algorithm>

namespace corvane {

std::string WithCrLfLineBreaks(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  // The next CR and the next LF are each looked for again only once passed, so that the
  // search stays linear however the two are mixed.
  std::size_t nextCr = text.find('\r');
  std::size_t nextLf = text.find('\n');
  std::size_t position = 0;
  while (true) {
    const std::size_t lineEnd = std::min(nextCr, nextLf);
    if (lineEnd == std::string_view::npos) {
      result.append(text.substr(position));
      break;
    }
    result.append(text.substr(position, lineEnd - position));
    // CR LF, a lone CR and a lone LF each become one CR LF.
    result += "\r\n";
    position = lineEnd + 1;
    if (text[lineEnd] == '\r' && position < text.size() && text[position] == '\n') {
      ++position;
    }
    if (nextCr < position) {
      nextCr = text.find('\r', position);
    }
    if (nextLf < position) {
      nextLf = text.find('\n', position);
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
