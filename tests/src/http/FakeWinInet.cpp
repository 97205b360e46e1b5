#include "FakeWinInet.h"

#include <cstring>
#include <utility>

namespace fake_wininet {
namespace {

struct State {
  Script script;
  Log log;
  std::deque<ReadStep> reads;
  std::set<HINTERNET> open;
  std::uintptr_t nextHandle = 0x1000;
  HINTERNET lastSession = nullptr;
  HINTERNET lastRequest = nullptr;
  struct QueuedRead {
    LPINTERNET_BUFFERSA record;
    std::string bytes;
    DWORD_PTR context;
  };
  std::optional<QueuedRead> queuedRead;
};

State& TheState() {
  static State state;
  return state;
}

HINTERNET NewHandle() {
  State& state = TheState();
  auto* handle = reinterpret_cast<HINTERNET>(state.nextHandle);
  state.nextHandle += 0x10;
  state.open.insert(handle);
  return handle;
}

INTERNET_STATUS_CALLBACK InstalledCallback() {
  const auto& callbacks = TheState().log.callbacks;
  return callbacks.empty() ? nullptr : callbacks.back();
}

bool IsFresh(const INTERNET_BUFFERSA& record) {
  return record.dwStructSize == sizeof(INTERNET_BUFFERSA) && record.Next == nullptr &&
         record.lpcszHeader == nullptr && record.dwHeadersLength == 0 &&
         record.dwHeadersTotal == 0 && record.lpvBuffer != nullptr && record.dwBufferTotal == 0 &&
         record.dwOffsetLow == 0 && record.dwOffsetHigh == 0;
}

void Deliver(LPINTERNET_BUFFERSA record, const std::string& bytes) {
  const std::size_t count = std::min<std::size_t>(bytes.size(), record->dwBufferLength);
  std::memcpy(record->lpvBuffer, bytes.data(), count);
  record->dwBufferLength = static_cast<DWORD>(count);
}

}  // namespace

ReadStep Bytes(std::string bytes) { return {ReadStep::Kind::Bytes, std::move(bytes), 0}; }
ReadStep Fails(DWORD error) { return {ReadStep::Kind::Fails, {}, error}; }

void Reset(const Script& script) {
  const std::uintptr_t next = TheState().nextHandle;  // handles never repeat across tests
  TheState() = State{};
  TheState().nextHandle = next;
  TheState().script = script;
}
void SetScript(const Script& script) { TheState().script = script; }
void QueueReads(std::deque<ReadStep> steps) { TheState().reads = std::move(steps); }
const Log& Calls() { return TheState().log; }
std::set<HINTERNET> OpenHandles() { return TheState().open; }
HINTERNET LastSession() { return TheState().lastSession; }
HINTERNET LastRequest() { return TheState().lastRequest; }

namespace {
// The installed callback, as WinINet would call it for the request handle.
void Notify(DWORD_PTR context, DWORD status, DWORD_PTR result, DWORD error) {
  if (INTERNET_STATUS_CALLBACK callback = InstalledCallback()) {
    INTERNET_ASYNC_RESULT asyncResult{result, error};
    callback(TheState().lastRequest, context, status, &asyncResult, sizeof asyncResult);
  }
}
}  // namespace

bool CompleteQueuedRead(DWORD error) {
  auto queued = std::exchange(TheState().queuedRead, std::nullopt);
  if (!queued) {
    return false;
  }
  Deliver(queued->record, error == 0 ? queued->bytes : std::string());
  Notify(queued->context, INTERNET_STATUS_REQUEST_COMPLETE, error == 0 ? 1 : 0, error);
  return true;
}

void CompleteSend(DWORD_PTR result, DWORD error) {
  const auto& requests = TheState().log.requests;
  Notify(requests.empty() ? 2 : requests.back().context, INTERNET_STATUS_REQUEST_COMPLETE, result,
         error);
}

}  // namespace fake_wininet

using fake_wininet::TheState;

// ---- the WinINet functions the module calls ---------------------------------------------------

HINTERNET InternetOpenA(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) {
  auto& state = TheState();
  state.log.calls.emplace_back("InternetOpenA");
  if (state.script.openFails) {
    SetLastError(*state.script.openFails);
    return nullptr;
  }
  state.lastSession = fake_wininet::NewHandle();
  return state.lastSession;
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET, INTERNET_STATUS_CALLBACK callback) {
  auto& state = TheState();
  state.log.calls.emplace_back(callback != nullptr ? "InternetSetStatusCallback"
                                                   : "InternetSetStatusCallback(null)");
  if (state.script.setCallbackFails) {
    SetLastError(*state.script.setCallbackFails);
    return INTERNET_INVALID_STATUS_CALLBACK;
  }
  INTERNET_STATUS_CALLBACK previous = fake_wininet::InstalledCallback();
  state.log.callbacks.push_back(callback);
  return previous;
}

HINTERNET InternetConnectA(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD,
                           DWORD_PTR) {
  auto& state = TheState();
  state.log.calls.emplace_back("InternetConnectA");
  if (state.script.connectFails) {
    SetLastError(*state.script.connectFails);
    return nullptr;
  }
  return fake_wininet::NewHandle();
}

HINTERNET HttpOpenRequestA(HINTERNET, LPCSTR, LPCSTR objectName, LPCSTR, LPCSTR, LPCSTR*,
                           DWORD flags, DWORD_PTR context) {
  auto& state = TheState();
  state.log.calls.emplace_back("HttpOpenRequestA");
  state.log.requests.push_back({objectName != nullptr ? objectName : "(null)", flags, context});
  if (state.script.openRequestFails) {
    SetLastError(*state.script.openRequestFails);
    return nullptr;
  }
  state.lastRequest = fake_wininet::NewHandle();
  return state.lastRequest;
}

BOOL HttpSendRequestA(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) {
  auto& state = TheState();
  state.log.calls.emplace_back("HttpSendRequestA");
  if (state.script.sendSucceedsAtOnce) {
    return TRUE;
  }
  SetLastError(state.script.sendFails.value_or(ERROR_IO_PENDING));
  return FALSE;
}

BOOL InternetReadFileExA(HINTERNET request, LPINTERNET_BUFFERSA record, DWORD flags,
                         DWORD_PTR context) {
  auto& state = TheState();
  state.log.calls.emplace_back("InternetReadFileExA");
  state.log.reads.push_back({fake_wininet::IsFresh(*record) && flags == 0, record->dwBufferLength,
                             record->lpvBuffer, context});
  if (request == nullptr || state.open.count(request) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (state.reads.empty()) {
    SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
  }
  fake_wininet::ReadStep step = std::move(state.reads.front());
  state.reads.pop_front();
  switch (step.kind) {
    case fake_wininet::ReadStep::Kind::Bytes:
      fake_wininet::Deliver(record, step.bytes);
      return TRUE;
    case fake_wininet::ReadStep::Kind::Queued:
      state.queuedRead.emplace(
          fake_wininet::State::QueuedRead{record, std::move(step.bytes), context});
      SetLastError(ERROR_IO_PENDING);
      return FALSE;
    case fake_wininet::ReadStep::Kind::Fails:
      SetLastError(step.error);
      return FALSE;
  }
  return FALSE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  auto& state = TheState();
  state.log.calls.emplace_back("InternetCloseHandle");
  state.log.closed.push_back(handle);
  if (state.open.erase(handle) == 0) {
    state.log.badCloses.push_back(handle);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
