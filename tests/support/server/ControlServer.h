// The control port of the scripted server program: lets a test in another process (the
// Windows tests under Wine) script the answers and read the requests (see ControlProtocol.h).
#pragma once

#include <memory>

namespace httplib {
class Server;
}

namespace corvane_test {

class LoopbackListener;
class ScriptedServer;

class ControlServer {
public:
  // Serves on 127.0.0.1 (ephemeral port); Port() is 0 when no port could be bound.
  explicit ControlServer(ScriptedServer& scripted);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  int Port() const;

private:
  std::unique_ptr<httplib::Server> m_server;
  std::unique_ptr<LoopbackListener> m_listener;
};

}  // namespace corvane_test
