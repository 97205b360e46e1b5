// The scripted server as a program beside the test (the Windows tests under Wine), steered
// through its control port.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "ControlProtocol.h"
#include "LocalHttpServer.h"
#include "PortFile.h"

namespace corvane_test {

namespace {

constexpr const char* kPortFileVariable = "CORVANE_TEST_SERVER_PORT_FILE";

// Time for the request itself beyond the server's wait; Wine is slow under load.
constexpr std::chrono::seconds kTransferAllowance{30};

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_KEEP_CONNECTION;

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

bool Flag(const nlohmann::json& value) { return value.is_object() && value.value("value", false); }

}  // namespace

// The channel to the control port: synchronous WinINet requests in a session of their own,
// apart from the module's asynchronous one.
class LocalHttpServer::Backend {
 public:
  explicit Backend(int port);

  // The body of the server's 200 answer to `verb target` with `body`; nullopt, with a
  // failure of the calling test, when the request fails or the server refuses it. A request
  // that the server answers only after waiting says so in `serverWait`.
  std::optional<std::string> Call(const char* verb, const std::string& target,
                                  const std::string& body = {},
                                  std::chrono::milliseconds serverWait = {}) const;

 private:
  struct Closer {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
  };
  using Handle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, Closer>;

  Handle m_session;
  Handle m_connection;
};

LocalHttpServer::Backend::Backend(int port)
    : m_session(
          InternetOpenA("corvane-test-control", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)) {
  if (!m_session) {
    ADD_FAILURE() << "control session: InternetOpenA failed, error " << GetLastError();
    return;
  }
  m_connection.reset(InternetConnectA(m_session.get(), "127.0.0.1",
                                      static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
  if (!m_connection) {
    ADD_FAILURE() << "control connection: InternetConnectA failed, error " << GetLastError();
  }
}

std::optional<std::string> LocalHttpServer::Backend::Call(
    const char* verb, const std::string& target, const std::string& body,
    std::chrono::milliseconds serverWait) const {
  const std::string what = std::string(verb) + " " + target;
  if (!m_connection) {
    ADD_FAILURE() << what << ": no control connection";
    return std::nullopt;
  }
  Handle request(HttpOpenRequestA(m_connection.get(), verb, target.c_str(), nullptr, nullptr,
                                  nullptr, kRequestFlags, 0));
  if (!request) {
    ADD_FAILURE() << what << ": HttpOpenRequestA failed, error " << GetLastError();
    return std::nullopt;
  }
  DWORD timeout = static_cast<DWORD>((serverWait + kTransferAllowance).count());
  InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);

  static constexpr char kHeaders[] = "Content-Type: application/octet-stream\r\n";
  if (!HttpSendRequestA(request.get(), kHeaders, sizeof kHeaders - 1,
                        body.empty() ? nullptr : const_cast<char*>(body.data()),
                        static_cast<DWORD>(body.size()))) {
    ADD_FAILURE() << what << ": HttpSendRequestA failed, error " << GetLastError();
    return std::nullopt;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr)) {
    ADD_FAILURE() << what << ": no status, error " << GetLastError();
    return std::nullopt;
  }
  std::string answer;
  char buffer[4096];
  DWORD read = 0;
  while (true) {
    if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
      ADD_FAILURE() << what << ": InternetReadFile failed, error " << GetLastError();
      return std::nullopt;
    }
    if (read == 0) {
      break;
    }
    answer.append(buffer, read);
  }
  if (status != 200) {
    ADD_FAILURE() << what << ": status " << status << ": " << answer;
    return std::nullopt;
  }
  return answer;
}

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
    m_rawPort = reply.value("rawPort", 0);
  }
  if (m_port == 0 || m_rawPort == 0) {
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
    m_backend->Call("PUT", control::kAnswer, control::AnswerRequestBody(answer));
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

std::vector<RecordedRequest> LocalHttpServer::Requests() const {
  if (!m_backend) {
    return {};
  }
  const auto listing = Parsed(m_backend->Call("GET", control::kRequests), control::kRequests);
  if (!listing.is_array()) {
    return {};
  }
  try {
    return listing.get<std::vector<RecordedRequest>>();
  } catch (const nlohmann::json::exception& error) {
    ADD_FAILURE() << control::kRequests << ": " << error.what();
    return {};
  }
}

bool LocalHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  return m_backend &&
         Flag(Parsed(
             m_backend->Call("GET", control::kRequestsArrived + control::WaitQuery(count, timeout),
                             {}, timeout),
             control::kRequestsArrived));
}

}  // namespace corvane_test
