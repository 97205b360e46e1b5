// The worker thread that drives every asynchronous transfer of the process through one
// libcurl multi handle. It starts with the first transfer and ends when the last session
// closes; the threads that call the API only hand it commands and never wait on the network.
#pragma once

#include <memory>
#include <string>

#include "WinInetRequest.h"

namespace wininet {

// A status notification raised inside a libcurl callback; the worker delivers it once
// libcurl has returned, with no lock held.
struct StatusEvent {
  enum class Kind { None, Result, Text, Number };

  std::shared_ptr<Request> request;
  DWORD_PTR context = 0;
  DWORD status = 0;
  Kind kind = Kind::None;
  INTERNET_ASYNC_RESULT result{};
  std::string text;
  DWORD number = 0;
};

void WorkerSessionOpened();
void WorkerSessionClosed();

// Hands a prepared request to the worker; false when no session is open any more.
bool WorkerStartTransfer(const std::shared_ptr<Request>& request);
void WorkerCancelTransfer(const std::shared_ptr<Request>& request);
void WorkerResumeTransfer(const std::shared_ptr<Request>& request);

// Worker thread only.
void WorkerQueueStatus(StatusEvent event);
// Notifications queued and not yet delivered (their callbacks not yet returned).
std::size_t UndeliveredStatusEvents();
bool OnWorkerThread();

// Whether the worker thread exists (for tests of its lifetime).
bool WorkerRunning();

}  // namespace wininet
