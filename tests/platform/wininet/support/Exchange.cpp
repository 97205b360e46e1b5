#include "Exchange.h"

#include <algorithm>
#include <deque>

namespace {

Recorder& NewRecorder() {
  static std::mutex mutex;
  static std::deque<Recorder> recorders;
  std::lock_guard lock(mutex);
  return recorders.emplace_back();
}

bool CarriesResult(DWORD status) {
  return status == INTERNET_STATUS_REQUEST_COMPLETE || status == INTERNET_STATUS_HANDLE_CREATED;
}

}  // namespace

void CALLBACK Recorder::Callback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                 LPVOID information, DWORD informationLength) {
  auto* recorder = reinterpret_cast<Recorder*>(context);
  if (recorder == nullptr) return;
  StatusRecord record{handle, status, 0, 0, std::this_thread::get_id()};
  if (CarriesResult(status) && information != nullptr &&
      informationLength >= sizeof(INTERNET_ASYNC_RESULT)) {
    const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(information);
    record.result = result->dwResult;
    record.error = result->dwError;
  }
  {
    std::lock_guard lock(recorder->m_mutex);
    recorder->m_records.push_back(record);
  }
  recorder->m_changed.notify_all();
  if (recorder->onStatus) recorder->onStatus(record);
}

std::vector<StatusRecord> Recorder::Records() {
  std::lock_guard lock(m_mutex);
  return m_records;
}

std::size_t Recorder::Count(DWORD status) {
  std::lock_guard lock(m_mutex);
  return static_cast<std::size_t>(std::count_if(m_records.begin(), m_records.end(),
                                                [&](const auto& r) { return r.status == status; }));
}

bool Recorder::WaitFor(DWORD status, std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(
               std::count_if(m_records.begin(), m_records.end(),
                             [&](const auto& r) { return r.status == status; })) >= count;
  });
}

Exchange::Exchange(int port, const char* object, const char* server, DWORD flags)
    : recorder(NewRecorder()) {
  session =
      InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  InternetSetStatusCallback(session, &Recorder::Callback);
  const auto context = reinterpret_cast<DWORD_PTR>(&recorder);
  connection = InternetConnectA(session, server, static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                INTERNET_SERVICE_HTTP, flags, context);
  request = HttpOpenRequestA(connection, "GET", object, nullptr, nullptr, nullptr, flags, context);
}

Exchange::~Exchange() { CloseAll(); }

BOOL Exchange::Send(DWORD* lastError) {
  const BOOL sent = HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  if (lastError != nullptr) *lastError = GetLastError();
  return sent;
}

bool Exchange::WaitForResponse(INTERNET_ASYNC_RESULT& result) {
  if (!recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, 1)) return false;
  for (const auto& record : recorder.Records()) {
    if (record.status == INTERNET_STATUS_REQUEST_COMPLETE) {
      result = {record.result, record.error};
      return true;
    }
  }
  return false;
}

ReadOutcome Exchange::ReadAll(DWORD chunk) {
  ReadOutcome outcome;
  std::vector<char> buffer(chunk + 1);
  std::size_t completions = recorder.Count(INTERNET_STATUS_REQUEST_COMPLETE);
  while (true) {
    INTERNET_BUFFERSA record{};
    record.dwStructSize = sizeof record;
    record.lpvBuffer = buffer.data();
    record.dwBufferLength = chunk;
    if (!InternetReadFileExA(request, &record, 0, reinterpret_cast<DWORD_PTR>(&recorder))) {
      outcome.error = GetLastError();
      if (outcome.error != ERROR_IO_PENDING) return outcome;
      ++outcome.queuedReads;
      // The queued read fills `buffer` and leaves its count in `record`.
      if (!recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, ++completions)) return outcome;
      const auto records = recorder.Records();
      auto last = std::find_if(records.rbegin(), records.rend(), [](const auto& r) {
        return r.status == INTERNET_STATUS_REQUEST_COMPLETE;
      });
      if (last->result == FALSE) {
        outcome.error = last->error;
        return outcome;
      }
    }
    if (record.dwBufferLength == 0) break;
    outcome.body.append(buffer.data(), record.dwBufferLength);
  }
  outcome.ok = true;
  outcome.error = 0;
  return outcome;
}

std::optional<INTERNET_ASYNC_RESULT> Exchange::SendAndWait() {
  Send();
  INTERNET_ASYNC_RESULT result{};
  if (!WaitForResponse(result)) return std::nullopt;
  return result;
}

ReadOutcome Exchange::Run() { return SendAndWait() ? ReadAll() : ReadOutcome{}; }

DWORD Exchange::StatusCode() {
  DWORD code = 0;
  DWORD length = sizeof code;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length,
                      nullptr)) {
    return 0;
  }
  return code;
}

void Exchange::CloseRequest() {
  if (request != nullptr) InternetCloseHandle(request);
  request = nullptr;
}

void Exchange::CloseAll() {
  CloseRequest();
  if (connection != nullptr) InternetCloseHandle(connection);
  connection = nullptr;
  if (session != nullptr) {
    InternetSetStatusCallback(session, nullptr);
    InternetCloseHandle(session);
  }
  session = nullptr;
}
