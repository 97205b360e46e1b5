// The Windows tests' channel to the scripted server program's control port: synchronous
// WinINet requests in a session of their own, apart from the module's asynchronous one.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#ifndef WIN32_LEAN_AND_MEAN
#  define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>

namespace corvane_test {

class ControlClient {
public:
  explicit ControlClient(int port);

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

}  // namespace corvane_test
