// An HTTP server on 127.0.0.1 (ephemeral port) that answers every GET with the answer the
// test scripted, and records each request; raw answers (faults) come from a port of their
// own. Runs on the build machine: in the test process on Linux, in a server program of its
// own beside the Windows tests under Wine. Fixed routes (listed in ScriptedServer.cpp) come
// first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "LoopbackSocket.h"
#include "ScriptedExchange.h"

namespace httplib {
class Server;
}

namespace corvane_test {

class ScriptedServer {
 public:
  ScriptedServer();  // Port() is 0 when no port could be bound
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return m_port; }
  int RawPort() const { return m_raw.port; }  // 0 when no port could be bound

  void SetAnswer(HttpAnswer answer);
  void Release();
  // Whether every held answer was let go by Release() rather than by its safety timeout.
  bool ReleasedInTime() const;

  std::vector<RecordedRequest> Requests() const;
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

  // Starts afresh for the next test: answers still under way are cut short (held ones let
  // go), and the answer and the requests are forgotten.
  void Reset();

 private:
  using Generation = std::uint64_t;

  // Whether the answers of `generation` are to stop (reset since, or the server stopping).
  // Called with the mutex held.
  bool Abandoned(Generation generation) const;
  // Serves raw answers on m_raw until the server stops.
  void ServeRaw();

  std::unique_ptr<httplib::Server> m_server;
  int m_port = 0;
  std::thread m_thread;  // serves m_server from construction to destruction
  LoopbackSocket m_raw{true};
  std::thread m_rawThread;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  Generation m_generation = 0;
  HttpAnswer m_answer;
  bool m_released = false;
  bool m_releaseTimedOut = false;
  bool m_stopping = false;
  std::vector<RecordedRequest> m_requests;
};

}  // namespace corvane_test
