// An HTTP server on 127.0.0.1 (ephemeral port) in a thread of the test process, answering
// every GET with a scripted answer, and recording each request. Linux only (cpp-httplib).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

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

class LocalHttpServer {
public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(const std::string& target) const;

  void SetAnswer(HttpAnswer answer);
  void Release();
  // Whether a held answer was let go by Release() rather than by its safety timeout.
  bool ReleasedInTime() const;

  // Whether `count` answers have been written to the end, within the timeout.
  bool WaitForAnswersSent(std::size_t count, std::chrono::milliseconds timeout) const;

  std::vector<RecordedRequest> Requests() const;
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  int m_port = 0;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  HttpAnswer m_answer;
  bool m_released = false;
  bool m_releaseTimedOut = false;
  bool m_stopping = false;
  std::size_t m_answersSent = 0;
  std::vector<RecordedRequest> m_requests;
};

}  // namespace corvane_test
