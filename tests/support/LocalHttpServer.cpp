#include "LocalHttpServer.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <httplib.h>

namespace corvane_test {

namespace {
// A held answer lets go by itself after this long, so that a faulty module cannot hang a test.
constexpr std::chrono::seconds kHoldLimit{10};
}  // namespace

LocalHttpServer::LocalHttpServer() : m_server(std::make_unique<httplib::Server>()) {
  m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded{request.method, request.target, request.version, request.body,
                             request.get_header_value("Content-Length")};
    HttpAnswer answer;
    {
      std::unique_lock lock(m_mutex);
      m_requests.push_back(recorded);
      m_changed.notify_all();
      answer = m_answer;
      if (answer.holdUntilReleased &&
          !m_changed.wait_for(lock, kHoldLimit, [this] { return m_released || m_stopping; })) {
        m_releaseTimedOut = true;
      }
    }
    response.status = answer.status;
    if (answer.body.empty()) {
      response.set_content("", "text/xml");
      std::lock_guard lock(m_mutex);
      ++m_answersSent;
      m_changed.notify_all();
      return;
    }
    // Every other answer goes through a provider, so that the end of its writing is known.
    const std::size_t piece = answer.trickleBytes == 0 ? answer.body.size() : answer.trickleBytes;
    auto body = std::make_shared<std::string>(answer.body);
    auto pause = answer.tricklePause;
    auto provider = [this, body, piece, pause](std::size_t offset, httplib::DataSink& sink) {
      {
        std::unique_lock lock(m_mutex);
        if (m_changed.wait_for(lock, pause, [this] { return m_stopping; })) {
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
        std::lock_guard lock(m_mutex);
        ++m_answersSent;
        m_changed.notify_all();
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
  m_port = m_server->bind_to_any_port("127.0.0.1");
  if (m_port <= 0) {
    ADD_FAILURE() << "cannot bind a port on 127.0.0.1";
    return;
  }
  m_thread = std::thread([this] { m_server->listen_after_bind(); });
  for (int i = 0; i < 2000 && !m_server->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

LocalHttpServer::~LocalHttpServer() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
  }
  m_server->stop();
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

std::string LocalHttpServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

void LocalHttpServer::SetAnswer(HttpAnswer answer) {
  std::lock_guard lock(m_mutex);
  m_answer = std::move(answer);
  m_released = false;
}

void LocalHttpServer::Release() {
  std::lock_guard lock(m_mutex);
  m_released = true;
  m_changed.notify_all();
}

bool LocalHttpServer::ReleasedInTime() const {
  std::lock_guard lock(m_mutex);
  return !m_releaseTimedOut;
}

bool LocalHttpServer::WaitForAnswersSent(std::size_t count,
                                         std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_answersSent >= count; });
}

std::vector<RecordedRequest> LocalHttpServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

bool LocalHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

}  // namespace corvane_test
