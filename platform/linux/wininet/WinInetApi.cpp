// Opening, sending and closing: the handle tree of sessions, connections and requests.
#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <string>

#include "WinInetCallbacks.h"
#include "WinInetHandles.h"
#include "WinInetRequest.h"
#include "WinInetTransfer.h"
#include "WinInetWorker.h"
#include "platform/linux/PlatformTestSupport.h"

using namespace wininet;

namespace {

std::string TextOrEmpty(LPCSTR text) { return text == nullptr ? std::string() : text; }

// The failures tests asked for by PlatformFailNextInternetCall, by call; 0: none.
std::atomic<DWORD> g_failNext[5];

// True, with the last error set, when a test asked this call to fail. A plain load only,
// unless a failure was asked for.
bool FailsOnRequest(PlatformInternetCall call) {
  auto& failure = g_failNext[static_cast<int>(call)];
  const DWORD error = failure.load(std::memory_order_relaxed) == 0 ? 0 : failure.exchange(0);
  if (error != 0) SetLastError(error);
  return error != 0;
}

void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A new child handle: it inherits the callback and timeouts of its parent, joins the
// table and announces itself.
HINTERNET OpenChild(const std::shared_ptr<InternetObject>& child, InternetObject& parent) {
  {
    std::lock_guard lock(parent.shared->mutex);
    child->callback = parent.callback;
    child->timeouts = parent.timeouts;
  }
  RegisterHandle(child);
  NotifyResult(*child, child->context, INTERNET_STATUS_HANDLE_CREATED,
               reinterpret_cast<DWORD_PTR>(child->handle), ERROR_SUCCESS);
  SetLastError(ERROR_SUCCESS);
  return child->handle;
}

// Blocking send of a session opened without INTERNET_FLAG_ASYNC: waits for the response.
BOOL WaitForResponse(Request& request) {
  std::unique_lock lock(request.shared->mutex);
  request.shared->changed.wait(lock, [&] {
    return request.closed || request.phase != RequestPhase::Sending;
  });
  if (request.closed) {
    SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
    return FALSE;
  }
  if (request.phase == RequestPhase::Failed && request.failedBeforeResponse) {
    SetLastError(request.error);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                        DWORD flags) {
  if (FailsOnRequest(PlatformInternetCall::Open)) return nullptr;
  EnsureCurlInitialised();
  auto session = std::make_shared<Session>(TextOrEmpty(agent), accessType, TextOrEmpty(proxy),
                                           TextOrEmpty(proxyBypass), flags);
  WorkerSessionOpened();
  RegisterHandle(session);
  SetLastError(ERROR_SUCCESS);
  return session->handle;
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET handle,
                                                   INTERNET_STATUS_CALLBACK callback) {
  if (FailsOnRequest(PlatformInternetCall::SetStatusCallback)) {
    return INTERNET_INVALID_STATUS_CALLBACK;
  }
  auto object = FindHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INTERNET_INVALID_STATUS_CALLBACK;
  }
  return ReplaceCallback(*object, callback);
}

HINTERNET InternetConnectA(HINTERNET sessionHandle, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context) {
  if (FailsOnRequest(PlatformInternetCall::Connect)) return nullptr;
  auto session = FindHandleOf<Session>(sessionHandle, ObjectKind::Session);
  if (!session) return nullptr;
  if (serverName == nullptr || *serverName == 0 || service != INTERNET_SERVICE_HTTP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto connection = std::make_shared<Connection>(session, serverName, serverPort,
                                                 TextOrEmpty(userName), TextOrEmpty(password),
                                                 flags, context);
  return OpenChild(connection, *session);
}

HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, LPCSTR verb, LPCSTR objectName,
                           LPCSTR version, LPCSTR, LPCSTR*, DWORD flags, DWORD_PTR context) {
  if (FailsOnRequest(PlatformInternetCall::OpenRequest)) return nullptr;
  auto connection = FindHandleOf<Connection>(connectionHandle, ObjectKind::Connection);
  if (!connection) return nullptr;
  auto request = std::make_shared<Request>(
      connection, verb == nullptr || *verb == 0 ? "GET" : verb,
      objectName == nullptr || *objectName == 0 ? "/" : objectName,
      version == nullptr || *version == 0 ? "HTTP/1.1" : version, flags, context);
  return OpenChild(request, *connection);
}

BOOL HttpSendRequestA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength,
                      LPVOID optional, DWORD optionalLength) {
  if (FailsOnRequest(PlatformInternetCall::SendRequest)) return FALSE;
  auto request = FindHandleOf<Request>(requestHandle, ObjectKind::Request);
  if (!request) return FALSE;
  {
    std::lock_guard lock(request->shared->mutex);
    if (request->phase != RequestPhase::Created) {
      SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
      return FALSE;
    }
    request->phase = RequestPhase::Sending;
  }
  DWORD error = ERROR_SUCCESS;
  if (!PrepareTransfer(*request, headers, headersLength, optional, optionalLength, error)) {
    std::lock_guard lock(request->shared->mutex);
    request->phase = RequestPhase::Created;
    SetLastError(error);
    return FALSE;
  }
  if (!request->IsAsync() && OnWorkerThread()) {
    // A blocking send from a callback on the worker would wait for itself.
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  if (!WorkerStartTransfer(request)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!request->IsAsync()) return WaitForResponse(*request);
  SetLastError(ERROR_IO_PENDING);
  return FALSE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  const auto tree = UnregisterTree(handle);
  if (tree.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  MarkClosed(tree);
  for (const auto& object : tree) {
    if (object->kind == ObjectKind::Request) {
      auto request = std::static_pointer_cast<Request>(object);
      bool started = false;
      {
        std::lock_guard lock(request->shared->mutex);
        started = request->phase != RequestPhase::Created;
      }
      if (started) WorkerCancelTransfer(request);
    }
  }
  for (const auto& object : tree) NotifyClosing(*object);
  for (const auto& object : tree) {
    if (object->kind == ObjectKind::Session) WorkerSessionClosed();
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

void PlatformFailNextInternetCall(PlatformInternetCall call, DWORD error) {
  g_failNext[static_cast<int>(call)] = error;
}
