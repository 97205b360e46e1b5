// The scripted server as a program beside the test (the Windows tests under Wine), steered
// through its control port.
#include <gtest/gtest.h>

#include "ControlClient.h"
#include "ControlProtocol.h"
#include "LocalHttpServer.h"
#include "PortFile.h"

namespace corvane_test {

namespace {

constexpr const char* kPortFileVariable = "CORVANE_TEST_SERVER_PORT_FILE";

// The server's JSON answer, or a discarded value (and a test failure) when there is none.
nlohmann::json Parsed(const std::optional<std::string>& text, const char* what) {
  if (!text) {
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  auto value = nlohmann::json::parse(*text, nullptr, false);
  if (value.is_discarded()) {
    ADD_FAILURE() << what << ": not JSON: " << *text;
  }
  return value;
}

bool Flag(const nlohmann::json& value) {
  return value.is_object() && value.value("value", false);
}

}  // namespace

class LocalHttpServer::Backend {
public:
  explicit Backend(int controlPort) : m_client(controlPort) {}

  std::optional<std::string> Call(const char* verb, const std::string& target,
                                  const std::string& body = {},
                                  std::chrono::milliseconds serverWait = {}) const {
    return m_client.Call(verb, target, body, serverWait);
  }

private:
  ControlClient m_client;
};

LocalHttpServer::LocalHttpServer() {
  const int controlPort = PortFromFileNamedBy(kPortFileVariable);
  if (controlPort == 0) {
    ADD_FAILURE() << "no scripted server: " << kPortFileVariable
                  << " names no port file (the server program runs beside the tests under ctest)";
    return;
  }
  m_backend = std::make_unique<Backend>(controlPort);
  const auto reply = Parsed(m_backend->Call("POST", control::kReset), control::kReset);
  if (reply.is_object()) {
    m_port = reply.value("port", 0);
  }
  if (m_port == 0) {
    ADD_FAILURE() << "the scripted server gave no port";
  }
}

LocalHttpServer::~LocalHttpServer() {
  // Answers still under way are cut short now rather than when the next test starts.
  if (m_backend) {
    m_backend->Call("POST", control::kReset);
  }
}

void LocalHttpServer::SetAnswer(const HttpAnswer& answer) {
  if (m_backend) {
    m_backend->Call("PUT", control::kAnswer + control::AnswerQuery(answer), answer.body);
  }
}

void LocalHttpServer::Release() {
  if (m_backend) {
    m_backend->Call("POST", control::kRelease);
  }
}

bool LocalHttpServer::ReleasedInTime() const {
  return m_backend &&
         Flag(Parsed(m_backend->Call("GET", control::kReleasedInTime), control::kReleasedInTime));
}

bool LocalHttpServer::WaitForAnswersSent(std::size_t count,
                                         std::chrono::milliseconds timeout) const {
  return m_backend &&
         Flag(Parsed(m_backend->Call("GET",
                                     control::kAnswersSent + control::WaitQuery(count, timeout),
                                     {}, timeout),
                     control::kAnswersSent));
}

std::vector<RecordedRequest> LocalHttpServer::Requests() const {
  if (!m_backend) {
    return {};
  }
  const auto listing = Parsed(m_backend->Call("GET", control::kRequests), control::kRequests);
  if (!listing.is_array()) {
    return {};
  }
  try {
    return control::RequestsFrom(listing);
  } catch (const nlohmann::json::exception& error) {
    ADD_FAILURE() << control::kRequests << ": " << error.what();
    return {};
  }
}

bool LocalHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  return m_backend &&
         Flag(Parsed(m_backend->Call("GET",
                                     control::kRequestsArrived + control::WaitQuery(count, timeout),
                                     {}, timeout),
                     control::kRequestsArrived));
}

}  // namespace corvane_test
