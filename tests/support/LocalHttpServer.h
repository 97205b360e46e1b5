// An HTTP server on 127.0.0.1 that answers every GET with a scripted answer and records each
// request. On Linux it runs in a thread of the test process; the Windows tests under Wine
// steer the same server running as a Linux program beside them, which a CTest fixture starts
// and whose control port the file named by CORVANE_TEST_SERVER_PORT_FILE holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedExchange.h"

namespace corvane_test {

class LocalHttpServer {
 public:
  // A server with no answer scripted and no request recorded yet. A server that cannot be
  // reached fails the calling test and has port 0.
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
  }
  // Where raw answers (HttpAnswer::raw) are served.
  std::string RawUrl(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_rawPort) + target;
  }

  void SetAnswer(const HttpAnswer& answer);
  void Release();
  // Whether a held answer was let go by Release() rather than by its safety timeout.
  bool ReleasedInTime() const;

  std::vector<RecordedRequest> Requests() const;
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  class Backend;  // the server itself, or the channel to it
  std::unique_ptr<Backend> m_backend;
  int m_port = 0;
  int m_rawPort = 0;
};

}  // namespace corvane_test
