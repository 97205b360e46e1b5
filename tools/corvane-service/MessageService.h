// The HTTP side of corvane-service: one handler for GET on every path.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <ostream>

#include "MessageSetFolder.h"
#include "ServiceOptions.h"

namespace corvane::service {

class MessageService {
 public:
  // Request lines go to `log`, warnings about the folder to `warnings`.
  MessageService(ServiceOptions options, std::ostream& log, std::ostream& warnings);

  // Binds the address; returns the port, or -1 when it cannot be bound.
  int Bind();
  // Serves until Stop; call after a successful Bind.
  bool Serve();
  // Waits until Serve runs its accept loop, so that a Stop from now on ends it; false when
  // Serve ended instead or the limit passed.
  bool WaitUntilServing(std::chrono::milliseconds limit);
  // Safe from any thread.
  void Stop();

 private:
  void Handle(const httplib::Request& request, httplib::Response& response);
  void WriteLine(std::ostream& stream, const std::string& line);

  ServiceOptions m_options;
  std::ostream& m_log;
  std::ostream& m_warnings;
  std::mutex m_outputMutex;
  MessageSetFolder m_folder;
  httplib::Server m_server;
  std::atomic<bool> m_serveEnded{false};
};

}  // namespace corvane::service
