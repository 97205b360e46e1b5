// The scripted server as a program beside the test (the Windows tests under Wine), steered
// through its control port (ControlProtocol.h).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <type_traits>

#include "ControlProtocol.h"
#include "LocalHttpServer.h"

namespace corvane_test {

namespace {

// Names the file (a Linux path) that holds the control port, written by the server program
// that CTest starts beside the tests.
constexpr const char* kPortFileVariable = "CORVANE_TEST_SERVER_PORT_FILE";

// Time for the request itself beyond the server's wait; Wine is slow under load.
constexpr std::chrono::seconds kTransferAllowance{30};

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_KEEP_CONNECTION;

// The control port, or 0 when there is none. Under Wine the Linux root is drive Z:.
int ControlPort() {
  const char* file = std::getenv(kPortFileVariable);
  if (file == nullptr || *file != '/') return 0;
  int port = 0;
  std::ifstream(std::string("Z:") + file) >> port;
  return port > 0 && port < 65536 ? port : 0;
}

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetCloser>;

}  // namespace

// Synchronous WinINet requests to the control port, in a session of their own apart from the
// module's asynchronous one.
class LocalHttpServer::Backend {
 public:
  explicit Backend(int port)
      : m_session(InternetOpenA("corvane-test-control", INTERNET_OPEN_TYPE_DIRECT, nullptr,
                                nullptr, 0)) {
    if (m_session) {
      m_connection.reset(InternetConnectA(m_session.get(), "127.0.0.1",
                                          static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0));
    }
    if (!m_connection) ADD_FAILURE() << "no control connection, error " << GetLastError();
  }

  // The server's answer to `verb target` with `body`; an empty object, with a failure of
  // the calling test, when the request fails or the server refuses it. `serverWait`: how long
  // the server may take before it answers.
  nlohmann::json Call(const char* verb, const std::string& target, const std::string& body = {},
                      std::chrono::milliseconds serverWait = {}) const {
    const std::string what = std::string(verb) + " " + target;
    InternetHandle request(m_connection ? HttpOpenRequestA(m_connection.get(), verb,
                                                           target.c_str(), nullptr, nullptr,
                                                           nullptr, kRequestFlags, 0)
                                        : nullptr);
    if (!request) return Failed(what + ": HttpOpenRequestA failed");
    DWORD timeout = static_cast<DWORD>((serverWait + kTransferAllowance).count());
    InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    if (!HttpSendRequestA(request.get(), nullptr, 0,
                          body.empty() ? nullptr : const_cast<char*>(body.data()),
                          static_cast<DWORD>(body.size()))) {
      return Failed(what + ": HttpSendRequestA failed");
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                   nullptr);
    std::string answer;
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(request.get(), buffer, sizeof buffer, &read) && read > 0) {
      answer.append(buffer, read);
    }
    if (status != 200) return Failed(what + ": status " + std::to_string(status) + ": " + answer);
    auto value = nlohmann::json::from_cbor(answer, true, false);
    if (!value.is_object()) return Failed(what + ": no object in CBOR");
    return value;
  }

  // The server's state once `count` requests have arrived or `timeout` is up.
  nlohmann::json State(std::size_t count, std::chrono::milliseconds timeout) const {
    return Call("GET",
                std::string(control::kState) + "?count=" + std::to_string(count) +
                    "&timeoutMs=" + std::to_string(timeout.count()),
                {}, timeout);
  }

 private:
  static nlohmann::json Failed(const std::string& what) {
    ADD_FAILURE() << what << " (error " << GetLastError() << ")";
    return nlohmann::json::object();
  }

  InternetHandle m_session;
  InternetHandle m_connection;
};

LocalHttpServer::LocalHttpServer() {
  const int controlPort = ControlPort();
  if (controlPort == 0) {
    ADD_FAILURE() << "no scripted server: " << kPortFileVariable
                  << " names no port file (the server program runs beside the tests under ctest)";
    return;
  }
  m_backend = std::make_unique<Backend>(controlPort);
  const auto reply = m_backend->Call("POST", control::kReset);
  m_port = reply.value("port", 0);
  m_rawPort = reply.value("rawPort", 0);
  if (m_port == 0 || m_rawPort == 0) ADD_FAILURE() << "the scripted server gave no port";
}

LocalHttpServer::~LocalHttpServer() {
  // Answers still under way are cut short now rather than when the next test starts.
  if (m_backend) m_backend->Call("POST", control::kReset);
}

void LocalHttpServer::SetAnswer(const HttpAnswer& answer) {
  const auto cbor = nlohmann::json::to_cbor(nlohmann::json(answer));
  if (m_backend) m_backend->Call("PUT", control::kAnswer, std::string(cbor.begin(), cbor.end()));
}

void LocalHttpServer::Release() {
  if (m_backend) m_backend->Call("POST", control::kRelease);
}

bool LocalHttpServer::ReleasedInTime() const {
  return m_backend && m_backend->State(0, {}).value("releasedInTime", false);
}

std::vector<RecordedRequest> LocalHttpServer::Requests() const {
  // A malformed list throws, which fails the calling test.
  if (!m_backend) return {};
  return m_backend->State(0, {}).value("requests", std::vector<RecordedRequest>{});
}

bool LocalHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  return m_backend && m_backend->State(count, timeout).value("arrived", false);
}

}  // namespace corvane_test
