// Serves a cpp-httplib server on an ephemeral port of 127.0.0.1 in a thread of its own, from
// construction to destruction. The server's routes are set before; it outlives the listener.
#pragma once

#include <chrono>
#include <thread>

#include <httplib.h>

namespace corvane_test {

class LoopbackListener {
public:
  explicit LoopbackListener(httplib::Server& server) : m_server(server) {
    const int port = m_server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
      return;
    }
    m_port = port;
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    for (int i = 0; i < 2000 && !m_server.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~LoopbackListener() {
    m_server.stop();
    if (m_thread.joinable()) {
      m_thread.join();
    }
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  int Port() const { return m_port; }  // 0 when no port could be bound

private:
  httplib::Server& m_server;
  int m_port = 0;
  std::thread m_thread;
};

}  // namespace corvane_test
