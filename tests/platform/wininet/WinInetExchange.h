// Drives one asynchronous HTTP exchange through the WinINet API as the module does, against
// the scripted server's fixed routes, and records every status notification that reaches
// the callback.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "LocalHttpServer.h"
#include "platform/AfxInet.h"  // the WinINet declarations of either target

constexpr const char* kAgent = "asynchttp";

struct StatusRecord {
  HINTERNET handle;
  DWORD status;
  DWORD_PTR result;  // of an INTERNET_ASYNC_RESULT, when the status carries one
  DWORD error;
  std::thread::id thread;
};

// The callback's context points at one of these.
class Recorder {
 public:
  static void CALLBACK Callback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                LPVOID information, DWORD informationLength) {
    auto* recorder = reinterpret_cast<Recorder*>(context);
    if (recorder == nullptr) return;
    StatusRecord record{handle, status, 0, 0, std::this_thread::get_id()};
    if (information != nullptr && informationLength >= sizeof(INTERNET_ASYNC_RESULT)) {
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

  // Waits until `status` has arrived `count` times in all: the last of them, or nullopt.
  std::optional<StatusRecord> WaitFor(DWORD status, std::size_t count) {
    std::unique_lock lock(m_mutex);
    std::optional<StatusRecord> found;
    m_changed.wait_for(lock, std::chrono::seconds(10), [&] {
      std::size_t seen = 0;
      for (const auto& record : m_records) {
        if (record.status == status && ++seen == count) found = record;
      }
      return found.has_value();
    });
    return found;
  }

  // Runs inside the callback, after the record is taken (for tests that act from there).
  std::function<void(const StatusRecord&)> onStatus;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<StatusRecord> m_records;
};

// The buffer and record of a read. A queued read writes into both later, so they must
// outlive the request handle: declare them before the exchange.
struct ReadTarget {
  std::vector<char> buffer = std::vector<char>(128 * 1024);
  INTERNET_BUFFERSA record{};

  // Reads once as the module does; returns the result and leaves the last error. The
  // context is what a queued read's completion carries to the callback: the recorder
  // ignores a null one, and reads whose completions a test counts pass the recorder.
  BOOL Read(HINTERNET request, DWORD capacity = 2047, DWORD_PTR context = 0) {
    record = {};
    record.dwStructSize = sizeof record;
    record.lpvBuffer = buffer.data();
    record.dwBufferLength = capacity;
    return InternetReadFileExA(request, &record, 0, context);
  }
};

struct ReadOutcome {
  bool ok = false;  // the body was read to its end
  DWORD error = 0;  // the failing read's error otherwise
  std::string body;
  std::size_t reads = 0;  // that returned bytes
};

class Exchange {
 public:
  // Opens session, connection and request for GET `object` on 127.0.0.1:`port` with the
  // module's flags.
  Exchange(int port, const char* object) {
    constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                             INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI |
                             INTERNET_FLAG_PRAGMA_NOCACHE;
    session =
        InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    InternetSetStatusCallback(session, &Recorder::Callback);
    const auto context = reinterpret_cast<DWORD_PTR>(&recorder);
    connection = InternetConnectA(session, "127.0.0.1", static_cast<INTERNET_PORT>(port), nullptr,
                                  nullptr, INTERNET_SERVICE_HTTP, kFlags, context);
    request =
        HttpOpenRequestA(connection, "GET", object, nullptr, nullptr, nullptr, kFlags, context);
  }
  ~Exchange() { CloseAll(); }
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // Sends, which is left pending, and waits for the send's completion; nullopt when none came.
  std::optional<StatusRecord> SendAndWait() {
    EXPECT_FALSE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_IO_PENDING});
    return recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, 1);
  }

  // After the send's completion: reads to the end as the module does, `chunk` bytes at most
  // per read, waiting for the completion of every queued read.
  ReadOutcome ReadAll(DWORD chunk = 2047) {
    ReadOutcome outcome;
    ReadTarget target;
    std::size_t queuedReads = 0;
    while (true) {
      if (!target.Read(request, chunk, reinterpret_cast<DWORD_PTR>(&recorder))) {
        outcome.error = GetLastError();
        if (outcome.error != ERROR_IO_PENDING) return outcome;
        // The queued read fills the target.
        const auto done =
            recorder.WaitFor(INTERNET_STATUS_REQUEST_COMPLETE, ++queuedReads + 1);
        if (!done || done->result == FALSE) {
          outcome.error = done ? done->error : 0;
          return outcome;
        }
      }
      if (target.record.dwBufferLength == 0) break;
      ++outcome.reads;
      outcome.body.append(target.buffer.data(), target.record.dwBufferLength);
    }
    outcome.ok = true;
    outcome.error = 0;
    return outcome;
  }

  void CloseRequest() {
    if (request != nullptr) InternetCloseHandle(request);
    request = nullptr;
  }
  void CloseAll() {
    CloseRequest();
    if (connection != nullptr) InternetCloseHandle(connection);
    if (session != nullptr) {
      InternetSetStatusCallback(session, nullptr);
      InternetCloseHandle(session);
    }
    session = connection = nullptr;
  }

  // Kept to the end of the tests: Wine's WinINet may call back after the handles are closed.
  Recorder& recorder = []() -> Recorder& {
    static std::mutex mutex;
    static std::deque<Recorder> recorders;
    std::lock_guard lock(mutex);
    return recorders.emplace_back();
  }();
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};

// Tests with the scripted server (a fresh one each) and its port.
class WinInetTest : public ::testing::Test {
 protected:
  corvane_test::LocalHttpServer m_server;
  const int port = m_server.Port();
};
