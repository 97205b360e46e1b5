#include "MessageService.h"

#include <sys/socket.h>

#include <thread>

#include "WebControlMessage.h"

namespace corvane::service {

MessageService::MessageService(ServiceOptions options, std::ostream& log, std::ostream& warnings)
    : m_options(std::move(options)),
      m_log(log),
      m_warnings(warnings),
      m_folder(m_options.folder, [this](const std::string& text) { WriteLine(m_warnings, text); }) {
  // SO_REUSEADDR only: the library's default also sets SO_REUSEPORT, with which a second
  // service on the same port would bind and share the requests instead of failing.
  m_server.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    Handle(request, response);
  });
}

int MessageService::Bind() {
  if (m_options.port == 0) return m_server.bind_to_any_port(m_options.address);
  return m_server.bind_to_port(m_options.address, m_options.port) ? m_options.port : -1;
}

bool MessageService::Serve() {
  const bool served = m_server.listen_after_bind();
  m_serveEnded = true;
  return served;
}

bool MessageService::WaitUntilServing(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!m_server.is_running()) {
    if (m_serveEnded || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void MessageService::Stop() { m_server.stop(); }

void MessageService::Handle(const httplib::Request& request, httplib::Response& response) {
  if (m_options.delay.count() > 0) std::this_thread::sleep_for(m_options.delay);
  std::optional<std::string> clientChecksum;
  if (request.has_param(m_options.checksumParameter.c_str())) {
    clientChecksum = request.get_param_value(m_options.checksumParameter.c_str());
  }
  const Answer answer = AnswerFor(m_folder.Current(), clientChecksum);
  response.status = answer.status;
  response.set_content(answer.body, answer.contentType.c_str());
  WriteLine(m_log, request.method + " " + request.target + " -> " + answer.summary);
}

void MessageService::WriteLine(std::ostream& stream, const std::string& line) {
  const std::lock_guard lock(m_outputMutex);
  stream << line << std::endl;
}

}  // namespace corvane::service
