#include "ControlClient.h"

#include <gtest/gtest.h>

namespace corvane_test {

namespace {

// Time for the request itself beyond the server's wait; Wine is slow under load.
constexpr std::chrono::seconds kTransferAllowance{30};

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_KEEP_CONNECTION;

}  // namespace

ControlClient::ControlClient(int port)
    : m_session(InternetOpenA("corvane-test-control", INTERNET_OPEN_TYPE_DIRECT, nullptr,
                              nullptr, 0)) {
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

std::optional<std::string> ControlClient::Call(const char* verb, const std::string& target,
                                               const std::string& body,
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

}  // namespace corvane_test
