// What a scripted HTTP server answers and what it records of each request: plain values that
// tests, the server and its control channel share.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace corvane_test {

struct HttpAnswer {
  int status = 200;
  std::string body;
  bool chunked = false;
  // Sent in pieces of this size with this pause before each; 0: all at once.
  std::size_t trickleBytes = 0;
  std::chrono::milliseconds tricklePause{0};
  // The answer waits until Release() (or the server stops).
  bool holdUntilReleased = false;
  // A fault no well-formed server makes: served on the raw port, `body` is written to the
  // connection as it is (status line and headers included), which is then closed, or reset
  // when `reset`.
  bool raw = false;
  bool reset = false;
};

// A fixed route's body of `size` bytes: printable and varying with the position, so that a
// lost, repeated or misplaced chunk shows.
inline std::string BodyPattern(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    body[i] = static_cast<char>('A' + ((static_cast<unsigned>(i) * 2654435761u) >> 24) % 26);
  }
  return body;
}

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string body;
  std::string contentLength;  // the header's value, empty when absent
};

}  // namespace corvane_test
