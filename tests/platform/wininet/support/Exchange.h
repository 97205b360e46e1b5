// Drives one asynchronous HTTP exchange through the WinINet API, as the module does, and
// records every status notification that reaches the callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/AfxInet.h"  // the WinINet declarations of either target

// The flags the module gives its connection and request.
constexpr DWORD kModuleFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI |
                               INTERNET_FLAG_PRAGMA_NOCACHE;
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
                                LPVOID information, DWORD informationLength);

  std::vector<StatusRecord> Records();
  std::size_t Count(DWORD status);
  // Waits until `status` has arrived `count` times in all; false on timeout.
  bool WaitFor(DWORD status, std::size_t count,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Runs inside the callback, after the record is taken (for tests that act from there).
  std::function<void(const StatusRecord&)> onStatus;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<StatusRecord> m_records;
};

struct ReadOutcome {
  bool ok = false;  // the body was read to its end
  DWORD error = 0;  // the failing read's error otherwise
  std::string body;
  std::size_t queuedReads = 0;  // reads that returned ERROR_IO_PENDING
};

class Exchange {
 public:
  // Opens session, connection and request for GET `object` on 127.0.0.1:`port`.
  Exchange(int port, const char* object, const char* server = "127.0.0.1",
           DWORD flags = kModuleFlags);
  ~Exchange();
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // HttpSendRequestA's result and last error.
  BOOL Send(DWORD* lastError = nullptr);
  // Waits for the send's INTERNET_STATUS_REQUEST_COMPLETE and returns its result.
  bool WaitForResponse(INTERNET_ASYNC_RESULT& result);
  // After WaitForResponse: reads to the end as the module does: `chunk` bytes at most per read,
  // waiting for the completion of every queued read.
  ReadOutcome ReadAll(DWORD chunk = 2047);
  // Send and WaitForResponse: the send's result, or nullopt when none came.
  std::optional<INTERNET_ASYNC_RESULT> SendAndWait();
  // Send, WaitForResponse and ReadAll in one.
  ReadOutcome Run();
  DWORD StatusCode();
  void CloseRequest();
  void CloseAll();

  // Never freed: Wine's WinINet may call back after the handles are closed.
  Recorder& recorder;
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};
