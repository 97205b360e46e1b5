// The scripted server in a thread of the test process (Linux).
#include "LocalHttpServer.h"

#include <gtest/gtest.h>

#include "server/ScriptedServer.h"

namespace corvane_test {

class LocalHttpServer::Backend : public ScriptedServer {};

LocalHttpServer::LocalHttpServer() : m_backend(std::make_unique<Backend>()) {
  m_port = m_backend->Port();
  m_rawPort = m_backend->RawPort();
  if (m_port == 0 || m_rawPort == 0) {
    ADD_FAILURE() << "cannot bind a port on 127.0.0.1";
  }
}

LocalHttpServer::~LocalHttpServer() = default;

void LocalHttpServer::SetAnswer(const HttpAnswer& answer) { m_backend->SetAnswer(answer); }

void LocalHttpServer::Release() { m_backend->Release(); }

bool LocalHttpServer::ReleasedInTime() const { return m_backend->ReleasedInTime(); }

std::vector<RecordedRequest> LocalHttpServer::Requests() const { return m_backend->Requests(); }

bool LocalHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  return m_backend->WaitForRequests(count, timeout);
}

}  // namespace corvane_test
