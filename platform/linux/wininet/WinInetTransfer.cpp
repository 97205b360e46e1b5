#include "WinInetTransfer.h"

#include <arpa/inet.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "WinInetErrors.h"
#include "WinInetWorker.h"
#include "platform/linux/PlatformTestSupport.h"

namespace wininet {
namespace {

using Clock = std::chrono::steady_clock;
using Lock = std::unique_lock<std::mutex>;

constexpr long kMaxRedirects = 30;
// Trust store for TLS in place of the system's, for tests with a CA of their own.
constexpr const char* kCaBundleVariable = "CORVANE_CA_BUNDLE";

// The most body bytes one request has held for its reader (observed by tests).
std::atomic<std::size_t> g_peakBufferedBody{0};

void NotePeakBufferedBody(std::size_t bytes) {
  std::size_t peak = g_peakBufferedBody;
  while (bytes > peak && !g_peakBufferedBody.compare_exchange_weak(peak, bytes)) {
  }
}

bool IsUnlimited(DWORD milliseconds) { return milliseconds == 0 || milliseconds == 0xFFFFFFFFu; }

long CurlMilliseconds(DWORD milliseconds) {
  return IsUnlimited(milliseconds) ? static_cast<long>(INT_MAX) : static_cast<long>(milliseconds);
}

StatusEvent MakeEvent(Request& request, DWORD_PTR context, DWORD status) {
  StatusEvent event;
  event.request = request.SharedFromThis();
  event.context = context;
  event.status = status;
  return event;
}

void Queue(Request& request, DWORD status) {
  WorkerQueueStatus(MakeEvent(request, request.context, status));
}

void QueueText(Request& request, DWORD status, std::string text) {
  StatusEvent event = MakeEvent(request, request.context, status);
  event.kind = StatusEvent::Kind::Text;
  event.text = std::move(text);
  WorkerQueueStatus(std::move(event));
}

void QueueNumber(Request& request, DWORD status, DWORD number) {
  StatusEvent event = MakeEvent(request, request.context, status);
  event.kind = StatusEvent::Kind::Number;
  event.number = number;
  WorkerQueueStatus(std::move(event));
}

void QueueComplete(Request& request, DWORD_PTR context, DWORD_PTR result, DWORD error) {
  if (!request.IsAsync()) return;
  StatusEvent event = MakeEvent(request, context, INTERNET_STATUS_REQUEST_COMPLETE);
  event.kind = StatusEvent::Kind::Result;
  event.result = {result, error};
  WorkerQueueStatus(std::move(event));
}

// Under the lock: the final response's headers are in; the send completes.
void CompleteSend(Request& request) {
  if (request.phase != RequestPhase::Sending) return;
  request.phase = RequestPhase::Receiving;
  QueueNumber(request, INTERNET_STATUS_RESPONSE_RECEIVED, 0);
  QueueComplete(request, request.context, TRUE, ERROR_SUCCESS);
  request.shared->changed.notify_all();
}

// Under the lock: hands a waiting read what it has gathered.
void CompleteQueuedRead(Request& request, BOOL result, DWORD error) {
  QueuedRead read = *request.queuedRead;
  request.queuedRead.reset();
  *read.count = read.filled;
  QueueComplete(request, read.context, static_cast<DWORD_PTR>(result), error);
}

bool IsRedirectStatus(long code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

void ParseStatusLine(Request& request, std::string_view line) {
  // "HTTP/1.1 200 OK"
  const auto firstSpace = line.find(' ');
  request.statusCode = 0;
  if (firstSpace == std::string_view::npos) return;
  const auto rest = line.substr(firstSpace + 1);
  request.statusCode = std::strtol(std::string(rest.substr(0, 3)).c_str(), nullptr, 10);
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& request = *static_cast<Request*>(user);
  const std::size_t bytes = size * count;
  const std::string_view line = TrimLineEnd(std::string_view(data, bytes));
  request.worker.lastActivity = Clock::now();
  if (!request.worker.receivingAnnounced) {
    request.worker.receivingAnnounced = true;
    Queue(request, INTERNET_STATUS_RECEIVING_RESPONSE);
  }
  Lock lock(request.shared->mutex);
  if (line.starts_with("HTTP/")) {
    request.responseHasLocation = false;
    ParseStatusLine(request, line);
  } else if (!line.empty()) {
    if (StartsWithNoCase(line, "Location:")) request.responseHasLocation = true;
  } else {
    const bool interim = request.statusCode / 100 == 1;
    const bool followed = (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0 &&
                          IsRedirectStatus(request.statusCode) && request.responseHasLocation;
    if (!interim && !followed) CompleteSend(request);
  }
  return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& request = *static_cast<Request*>(user);
  const std::size_t bytes = size * count;
  request.worker.lastActivity = Clock::now();
  Lock lock(request.shared->mutex);
  if (request.closed) return 0;  // aborts the transfer; the worker drops it
  CompleteSend(request);
  std::size_t taken = 0;
  if (request.queuedRead) {
    // A read waits only on an empty buffer, so what it leaves fits the buffer below. It
    // completes once full; until then it takes every byte that comes.
    QueuedRead& read = *request.queuedRead;
    taken = std::min<std::size_t>(bytes, read.capacity - read.filled);
    std::memcpy(read.destination + read.filled, data, taken);
    read.filled += static_cast<DWORD>(taken);
    if (read.filled == read.capacity) CompleteQueuedRead(request, TRUE, ERROR_SUCCESS);
  } else if (!request.buffered.empty() && request.buffered.size() + bytes > kMaxBufferedBody) {
    request.worker.paused = true;
    request.resumeWanted = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  request.buffered.Append(data + taken, bytes - taken);
  NotePeakBufferedBody(request.buffered.size());
  request.shared->changed.notify_all();
  return bytes;
}

curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  auto& request = *static_cast<Request*>(user);
  char text[INET6_ADDRSTRLEN] = "";
  const void* raw = nullptr;
  if (address->family == AF_INET) {
    raw = &reinterpret_cast<const sockaddr_in*>(&address->addr)->sin_addr;
  } else if (address->family == AF_INET6) {
    raw = &reinterpret_cast<const sockaddr_in6*>(&address->addr)->sin6_addr;
  }
  if (raw != nullptr) inet_ntop(address->family, raw, text, sizeof text);
  if (!request.worker.socketOpened) {
    request.worker.socketOpened = true;
    QueueText(request, INTERNET_STATUS_NAME_RESOLVED, text);
  }
  QueueText(request, INTERNET_STATUS_CONNECTING_TO_SERVER, text);
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int OnConnected(void* user, char* primaryIp, char*, int, int) {
  auto& request = *static_cast<Request*>(user);
  request.worker.connected = true;
  request.worker.lastActivity = Clock::now();
  if (request.worker.socketOpened) {
    QueueText(request, INTERNET_STATUS_CONNECTED_TO_SERVER, primaryIp);
  }
  Queue(request, INTERNET_STATUS_SENDING_REQUEST);
  return CURL_PREREQFUNC_OK;
}

int OnDebug(CURL*, curl_infotype type, char*, size_t size, void* user) {
  if (type == CURLINFO_HEADER_OUT) {
    QueueNumber(*static_cast<Request*>(user), INTERNET_STATUS_REQUEST_SENT,
                static_cast<DWORD>(size));
  }
  return 0;
}

std::string EscapeSpaces(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    if (c == ' ') {
      escaped += "%20";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string BuildUrl(const Request& request) {
  const Connection& connection = *request.connection;
  const bool secure = ((request.flags | connection.flags) & INTERNET_FLAG_SECURE) != 0;
  INTERNET_PORT port = connection.port;
  if (port == INTERNET_INVALID_PORT_NUMBER) {
    port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  }
  std::string host = connection.server;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  std::string object = EscapeSpaces(request.object);
  if (object.empty() || object.front() != '/') object = "/" + object;
  return (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + object;
}

// WinINet lists bypassed hosts separated by ';' or blanks; "<local>" means local names.
std::string NoProxyList(std::string_view bypass) {
  std::string list;
  std::size_t start = 0;
  while (start < bypass.size()) {
    const auto end = std::min(bypass.find_first_of("; ,", start), bypass.size());
    const auto entry = bypass.substr(start, end - start);
    if (!entry.empty()) {
      if (!list.empty()) list += ',';
      list += entry == "<local>" ? std::string("localhost,127.0.0.1,::1") : std::string(entry);
    }
    start = end + 1;
  }
  return list;
}

bool AddHeaders(Request& request, LPCSTR headers, DWORD headersLength) {
  if (headers == nullptr) return true;
  const std::size_t length = headersLength == 0xFFFFFFFFu ? std::strlen(headers) : headersLength;
  std::string_view text(headers, length);
  while (!text.empty()) {
    const auto end = std::min(text.find('\n'), text.size());
    const auto line = TrimLineEnd(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) continue;
    curl_slist* list = curl_slist_append(request.headerList.get(), std::string(line).c_str());
    if (list == nullptr) return false;
    request.headerList.release();
    request.headerList.reset(list);
  }
  return true;
}

void SetMethod(Request& request, CURL* easy, LPVOID optional, DWORD optionalLength) {
  if (optional != nullptr && optionalLength > 0) {
    request.body.assign(static_cast<const char*>(optional), optionalLength);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
  }
  if (request.verb == "GET" && request.body.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (request.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (request.verb != "POST" || request.body.empty()) {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
  }
}

void SetProxy(const Session& session, CURL* easy) {
  switch (session.accessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
      curl_easy_setopt(easy, CURLOPT_PROXY, "");
      break;
    case INTERNET_OPEN_TYPE_PROXY:
      curl_easy_setopt(easy, CURLOPT_PROXY, session.proxy.c_str());
      curl_easy_setopt(easy, CURLOPT_NOPROXY, NoProxyList(session.proxyBypass).c_str());
      break;
    default:  // the environment's proxy settings, as libcurl reads them
      break;
  }
}

void SetSecurity(const Request& request, CURL* easy) {
  if (const char* bundle = std::getenv(kCaBundleVariable); bundle != nullptr && *bundle != 0) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, bundle);
  }
  if ((request.flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID) != 0) {
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
  }
}

void SetCallbacks(Request& request, CURL* easy) {
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &request);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &request);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &request);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &request);
  curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &OnDebug);
  curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &request);
  curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
}

}  // namespace

bool PrepareTransfer(Request& request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                     DWORD optionalLength, DWORD& error) {
  request.easy.reset(curl_easy_init());
  CURL* easy = request.easy.get();
  if (easy == nullptr || !AddHeaders(request, headers, headersLength)) {
    error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  const std::string url = BuildUrl(request);
  if (curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) != CURLE_OK) {
    error = ERROR_INTERNET_INVALID_URL;
    return false;
  }
  Timeouts timeouts;
  {
    std::lock_guard lock(request.shared->mutex);
    timeouts = request.timeouts;
  }
  const Session& session = *request.connection->session;
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, request.version == "HTTP/1.0"
                                                   ? CURL_HTTP_VERSION_1_0
                                                   : CURL_HTTP_VERSION_1_1);
  if (!session.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request.headerList.get());
  if (!request.connection->userName.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.connection->userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.connection->password.c_str());
  }
  SetMethod(request, easy, optional, optionalLength);
  SetProxy(session, easy);
  SetSecurity(request, easy);
  SetCallbacks(request, easy);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION,
                   (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) != 0 ? 0L : 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, CurlMilliseconds(timeouts.connectMs));
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // Abandoning a transfer must not wait for a name look-up that is still running.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  request.worker.lastActivity = Clock::now();
  return true;
}

void OnTransferStarted(Request& request) {
  request.worker.lastActivity = Clock::now();
  QueueText(request, INTERNET_STATUS_RESOLVING_NAME, request.connection->server);
}

void OnTransferResumed(Request& request) {
  request.worker.paused = false;
  request.worker.lastActivity = Clock::now();
}

void OnTransferDone(Request& request, CURLcode result) {
  if (result != CURLE_OK) {
    OnTransferFailed(request, ErrorFromCurl(result, request.easy.get()));
    return;
  }
  Lock lock(request.shared->mutex);
  CompleteSend(request);
  request.phase = RequestPhase::Finished;
  if (request.queuedRead) CompleteQueuedRead(request, TRUE, ERROR_SUCCESS);
  request.shared->changed.notify_all();
}

void OnTransferFailed(Request& request, DWORD error) {
  Lock lock(request.shared->mutex);
  request.error = error;
  if (request.phase == RequestPhase::Sending) {
    request.failedBeforeResponse = true;
    QueueComplete(request, request.context, FALSE, error);
  } else if (request.queuedRead) {
    CompleteQueuedRead(request, FALSE, error);
  }
  request.phase = RequestPhase::Failed;
  request.shared->changed.notify_all();
}

Clock::time_point ReceiveDeadline(const Request& request) {
  // Guarded by the worker thread: only the timeouts need the lock.
  if (!request.worker.connected || request.worker.paused) return Clock::time_point::max();
  DWORD receiveMs = 0;
  {
    std::lock_guard lock(request.shared->mutex);
    receiveMs = request.timeouts.receiveMs;
  }
  if (IsUnlimited(receiveMs)) return Clock::time_point::max();
  return request.worker.lastActivity + std::chrono::milliseconds(receiveMs);
}

}  // namespace wininet

std::size_t PlatformPeakBufferedBody() { return wininet::g_peakBufferedBody; }
