#include "ScriptedServer.h"

#include <httplib.h>
#include <poll.h>

#include <algorithm>
#include <string>

#include "Answers.h"

namespace corvane_test {

namespace {

using namespace std::chrono_literals;

// A held answer lets go by itself after this long, so that a faulty module cannot hang a test.
constexpr std::chrono::seconds kHoldLimit{10};

std::size_t Number(const httplib::Request& request, std::size_t index) {
  return std::stoul(request.matches[static_cast<int>(index)].str());
}

// Headers cpp-httplib adds to a request itself; they never were on the wire.
bool AddedByServer(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

// Reads a request's head from the connection (up to its blank line, 64 KiB at most, 5 s at
// most); its request line, empty when none came.
std::string RequestLine(int connection) {
  timeval limit{5, 0};
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    const ssize_t count = recv(connection, buffer, sizeof buffer, 0);
    if (count <= 0) break;
    head.append(buffer, static_cast<std::size_t>(count));
  }
  return head.substr(0, head.find("\r\n"));
}

// Routes that answer the same whatever is scripted, for the WinINet tests:
//   /bytes/<n>              n bytes of BodyPattern with a Content-Length
//   /echo...                the request line and headers as received (one per line)
//   /sized/<checksum>/<n>   a message set of n bytes (AnswerOfSize)
void AddFixedRoutes(httplib::Server& server) {
  server.Get(R"(/bytes/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content(BodyPattern(Number(request, 1)), "application/octet-stream");
  });
  server.Get(R"(/echo.*)", [](const httplib::Request& request, httplib::Response& response) {
    std::string text = request.method + " " + request.target + " " + request.version + "\n";
    for (const auto& [name, value] : request.headers) {
      if (!AddedByServer(name)) text += name + ": " + value + "\n";
    }
    response.set_content(text, "text/plain");
  });
  server.Get(R"(/sized/(\w+)/(\d+))", [](const httplib::Request& request,
                                         httplib::Response& response) {
    response.set_content(AnswerOfSize(request.matches[1].str(), Number(request, 2)), "text/xml");
  });
}

}  // namespace

ScriptedServer::ScriptedServer() : m_server(std::make_unique<httplib::Server>()) {
  AddFixedRoutes(*m_server);
  m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded{request.method, request.target, request.body,
                             request.get_header_value("Content-Length")};
    HttpAnswer answer;
    Generation generation = 0;
    bool abandoned = false;
    {
      std::unique_lock lock(m_mutex);
      generation = m_generation;
      m_requests.push_back(recorded);
      m_changed.notify_all();
      answer = m_answer;
      if (answer.holdUntilReleased && !m_changed.wait_for(lock, kHoldLimit, [&] {
            return m_released || Abandoned(generation);
          })) {
        m_releaseTimedOut = true;
      }
      abandoned = Abandoned(generation);
    }
    response.status = answer.status;
    response.set_header("Cache-Control", "no-store");
    if (abandoned) {
      // Reset or stopped while held: the answer breaks off instead of reaching a later test.
      response.set_chunked_content_provider("text/xml",
                                            [](std::size_t, httplib::DataSink&) { return false; });
      return;
    }
    if (answer.body.empty()) {
      response.set_content("", "text/xml");
      return;
    }
    const std::size_t piece = answer.trickleBytes == 0 ? answer.body.size() : answer.trickleBytes;
    auto body = std::make_shared<std::string>(answer.body);
    auto pause = answer.tricklePause;
    auto provider = [this, body, piece, pause, generation](std::size_t offset,
                                                           httplib::DataSink& sink) {
      {
        std::unique_lock lock(m_mutex);
        if (Abandoned(generation) ||
            m_changed.wait_for(lock, pause, [&] { return Abandoned(generation); })) {
          return false;
        }
      }
      if (offset >= body->size()) {
        sink.done();
        return true;
      }
      return sink.write(body->data() + offset, std::min(piece, body->size() - offset));
    };
    if (answer.chunked) {
      response.set_chunked_content_provider("text/xml", provider);
    } else {
      response.set_content_provider(
          body->size(), "text/xml",
          [provider](std::size_t offset, std::size_t /*length*/, httplib::DataSink& sink) {
            return provider(offset, sink);
          });
    }
  });
  const int port = m_server->bind_to_any_port("127.0.0.1");
  if (port > 0) {
    m_port = port;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int i = 0; i < 2000 && !m_server->is_running(); ++i) std::this_thread::sleep_for(1ms);
  }
  if (m_raw.port != 0) m_rawThread = std::thread([this] { ServeRaw(); });
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
  }
  if (m_rawThread.joinable()) m_rawThread.join();
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
}

void ScriptedServer::ServeRaw() {
  while (true) {
    {
      std::lock_guard lock(m_mutex);
      if (m_stopping) return;
    }
    pollfd waiting{m_raw.Native(), POLLIN, 0};
    if (poll(&waiting, 1, 50) <= 0) continue;
    const int connection = accept4(m_raw.Native(), nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    const std::string line = RequestLine(connection);
    HttpAnswer answer;
    {
      std::lock_guard lock(m_mutex);
      const auto first = line.find(' ');
      const auto second = line.find(' ', first + 1);
      m_requests.push_back(
          {line.substr(0, first), line.substr(first + 1, second - first - 1), "", ""});
      m_changed.notify_all();
      answer = m_answer;
    }
    send(connection, answer.body.data(), answer.body.size(), MSG_NOSIGNAL);
    // The client takes in what was sent before the connection ends.
    std::this_thread::sleep_for(100ms);
    if (answer.reset) {
      const linger abort{1, 0};
      setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    close(connection);
  }
}

bool ScriptedServer::Abandoned(Generation generation) const {
  return m_stopping || generation != m_generation;
}

void ScriptedServer::SetAnswer(HttpAnswer answer) {
  std::lock_guard lock(m_mutex);
  m_answer = std::move(answer);
  m_released = false;
}

void ScriptedServer::Release() {
  std::lock_guard lock(m_mutex);
  m_released = true;
  m_changed.notify_all();
}

bool ScriptedServer::ReleasedInTime() const {
  std::lock_guard lock(m_mutex);
  return !m_releaseTimedOut;
}

std::vector<RecordedRequest> ScriptedServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

bool ScriptedServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

void ScriptedServer::Reset() {
  std::lock_guard lock(m_mutex);
  ++m_generation;
  m_answer = HttpAnswer{};
  m_released = false;
  m_releaseTimedOut = false;
  m_requests.clear();
  m_changed.notify_all();
}

}  // namespace corvane_test
