// A request handle and the state of its transfer: what the worker thread fills in from
// libcurl's callbacks, and what the reader takes out.
#pragma once

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "WinInetObjects.h"

namespace wininet {

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

enum class RequestPhase {
  Created,    // opened, not sent
  Sending,    // handed to the worker; no final response headers yet
  Receiving,  // final response headers in, body arriving
  Finished,   // body complete
  Failed,     // transfer ended with an error (see Request::error)
};

// A read that had to wait: the worker copies the next bytes into the caller's buffer,
// leaves their count where the caller asked (its INTERNET_BUFFERSA record) and announces
// the completion.
struct QueuedRead {
  char* destination = nullptr;
  DWORD capacity = 0;
  DWORD* count = nullptr;
  DWORD_PTR context = 0;
  DWORD filled = 0;  // bytes already in destination
};

// The most body bytes held for a reader that lags; beyond it the transfer is paused.
inline constexpr std::size_t kMaxBufferedBody = 64 * 1024;

// Body bytes received and not read yet. A read takes from the front by moving a start
// offset; the bytes left are moved down only when the read part is at least half the storage,
// so that small reads from a full buffer do not move its whole content each time.
class BodyBuffer {
public:
  bool empty() const { return size() == 0; }
  std::size_t size() const { return m_bytes.size() - m_start; }
  void Append(const char* data, std::size_t count) {
    if (m_start > 0 && m_start >= m_bytes.size() / 2) {
      m_bytes.erase(0, m_start);
      m_start = 0;
    }
    m_bytes.append(data, count);
  }
  // Copies up to capacity bytes from the front to destination and drops them; the count.
  std::size_t Take(char* destination, std::size_t capacity) {
    const std::size_t count = std::min(capacity, size());
    if (count > 0) std::memcpy(destination, m_bytes.data() + m_start, count);
    m_start += count;
    if (m_start == m_bytes.size()) {
      m_bytes.clear();
      m_start = 0;
    }
    return count;
  }

private:
  std::string m_bytes;
  std::size_t m_start = 0;
};

class Request final : public InternetObject {
public:
  Request(const std::shared_ptr<Connection>& connection, std::string verb, std::string object,
          std::string version, DWORD flags, DWORD_PTR context);

  bool IsAsync() const { return connection->session->IsAsync(); }
  std::shared_ptr<Request> SharedFromThis();

  const std::shared_ptr<Connection> connection;
  const std::string verb;
  const std::string object;
  const std::string version;

  // Built by HttpSendRequestA; from then on touched only by the worker thread.
  std::unique_ptr<CURL, CurlEasyDeleter> easy;
  std::unique_ptr<curl_slist, CurlSlistDeleter> headerList;
  std::string body;
  struct WorkerView {
    std::chrono::steady_clock::time_point lastActivity;
    bool connected = false;        // the request is on a connection (the receive timeout runs)
    bool socketOpened = false;     // this transfer opened a connection of its own
    bool receivingAnnounced = false;
    bool paused = false;           // paused because the reader lags
  } worker;

  // Guarded by shared->mutex.
  RequestPhase phase = RequestPhase::Created;
  DWORD error = 0;
  bool failedBeforeResponse = false;
  long statusCode = 0;
  bool responseHasLocation = false;
  BodyBuffer buffered;
  std::optional<QueuedRead> queuedRead;
  bool resumeWanted = false;  // paused for the reader; resume once it has caught up
};

}  // namespace wininet
