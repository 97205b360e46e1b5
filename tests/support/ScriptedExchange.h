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
};

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string version;
  std::string body;
  std::string contentLength;  // the header's value, empty when absent
};

}  // namespace corvane_test
