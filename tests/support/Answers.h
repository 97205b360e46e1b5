// Answers of the message service for tests: a WebControlMessage of an exact size whose one
// message is a run of 'a', and the message's text as found in a stored message file.
#pragma once

#include <cstddef>
#include <string>

namespace corvane_test {

// A complete answer of exactly `size` bytes, or (below the smallest complete answer) a text
// of that many 'x' that is no document.
inline std::string AnswerOfSize(const std::string& checksum, std::size_t size) {
  const std::string head = "<WebControlMessage Userpref_CheckSum=\"" + checksum + "\"><Messages><M>";
  const std::string tail = "</M></Messages></WebControlMessage>";
  if (size < head.size() + tail.size() + 1) {
    return std::string(size, 'x');
  }
  return head + std::string(size - head.size() - tail.size(), 'a') + tail;
}

// The text of the one message in an answer or a message file; empty when there is none.
inline std::string MessageText(const std::string& text) {
  const auto start = text.find("<M>");
  const auto end = text.find("</M>");
  if (start == std::string::npos || end == std::string::npos || end < start) {
    return {};
  }
  return text.substr(start + 3, end - start - 3);
}

}  // namespace corvane_test
