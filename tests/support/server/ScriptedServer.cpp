#include "ScriptedServer.h"

#include <algorithm>
#include <string>

#include "LoopbackListener.h"

namespace corvane_test {

namespace {
// A held answer lets go by itself after this long, so that a faulty module cannot hang a test.
constexpr std::chrono::seconds kHoldLimit{10};
}  // namespace

ScriptedServer::ScriptedServer() : m_server(std::make_unique<httplib::Server>()) {
  m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded{request.method, request.target, request.version, request.body,
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
      if (answer.holdUntilReleased &&
          !m_changed.wait_for(lock, kHoldLimit,
                              [&] { return m_released || Abandoned(generation); })) {
        m_releaseTimedOut = true;
      }
      abandoned = Abandoned(generation);
    }
    response.status = answer.status;
    response.set_header("Cache-Control", "no-store");
    if (abandoned) {
      // Reset or stopped while held: the answer breaks off instead of reaching a later test.
      response.set_chunked_content_provider(
          "text/xml", [](std::size_t, httplib::DataSink&) { return false; });
      return;
    }
    if (answer.body.empty()) {
      response.set_content("", "text/xml");
      CountAnswerSent(generation);
      return;
    }
    // Every other answer goes through a provider, so that the end of its writing is known.
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
      const std::size_t count = std::min(piece, body->size() - offset);
      const bool written = sink.write(body->data() + offset, count);
      if (written && offset + count == body->size()) {
        CountAnswerSent(generation);
      }
      return written;
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
  m_listener = std::make_unique<LoopbackListener>(*m_server);
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
  }
  m_listener.reset();
}

int ScriptedServer::Port() const { return m_listener->Port(); }

bool ScriptedServer::Abandoned(Generation generation) const {
  return m_stopping || generation != m_generation;
}

void ScriptedServer::CountAnswerSent(Generation generation) {
  std::lock_guard lock(m_mutex);
  if (generation == m_generation) {
    ++m_answersSent;
    m_changed.notify_all();
  }
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

bool ScriptedServer::WaitForAnswersSent(std::size_t count,
                                        std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_answersSent >= count; });
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
  m_answersSent = 0;
  m_requests.clear();
  m_changed.notify_all();
}

}  // namespace corvane_test
