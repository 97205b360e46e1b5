// Reading a response body: at once from what the worker has buffered, or queued until
// the next bytes (or the end) arrive.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "WinInetHandles.h"
#include "WinInetRequest.h"
#include "WinInetWorker.h"
#include "platform/linux/PlatformTestSupport.h"

using namespace wininet;

namespace {

using Lock = std::unique_lock<std::mutex>;

enum class ReadOutcome { Done, Queued, Failed };

std::atomic<std::size_t> g_readCalls{0};  // observed by tests

// Under the lock: copies buffered bytes, or reports the end or the failure of the body.
// Nothing available yet gives Queued, and in asynchronous mode queues the read.
ReadOutcome TryRead(Request& request, char* destination, DWORD capacity,
                    DWORD* laterCount, DWORD_PTR context, DWORD& bytesRead,
                    DWORD& error) {
  bytesRead = 0;
  if (request.closed) {
    error = ERROR_INVALID_HANDLE;
    return ReadOutcome::Failed;
  }
  if (request.phase == RequestPhase::Created || request.queuedRead) {
    error = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    return ReadOutcome::Failed;
  }
  // As WinINet's reads without IRF_NO_WAIT: a read fills its buffer, and returns less only
  // at the end of the body (or before a failure, which the next read reports).
  const bool ended = request.phase == RequestPhase::Finished ||
                     request.phase == RequestPhase::Failed;
  if (capacity == 0 || request.buffered.size() >= capacity ||
      (ended && !request.buffered.empty())) {
    bytesRead = static_cast<DWORD>(request.buffered.Take(destination, capacity));
    return ReadOutcome::Done;
  }
  if (request.phase == RequestPhase::Finished ||
      (request.phase == RequestPhase::Failed && request.failedBeforeResponse)) {
    return ReadOutcome::Done;
  }
  if (request.phase == RequestPhase::Failed) {
    error = request.error;
    return ReadOutcome::Failed;
  }
  if (request.IsAsync()) {
    // What has come so far goes into the buffer now; the transfer fills the rest.
    const auto filled = static_cast<DWORD>(request.buffered.Take(destination, capacity));
    request.queuedRead = QueuedRead{destination, capacity, laterCount, context, filled};
  }
  return ReadOutcome::Queued;
}

// Under the lock: once the reader has caught up, a transfer paused for it goes on.
void ResumeIfCaughtUp(Request& request) {
  if (request.resumeWanted && request.buffered.size() <= kMaxBufferedBody / 2) {
    request.resumeWanted = false;
    WorkerResumeTransfer(request.SharedFromThis());
  }
}

BOOL Read(HINTERNET handle, char* destination, DWORD capacity, DWORD* laterCount,
          DWORD_PTR context, DWORD& bytesRead) {
  bytesRead = 0;
  auto request = FindHandleOf<Request>(handle, ObjectKind::Request);
  if (!request) return FALSE;
  if (destination == nullptr && capacity > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lock(request->shared->mutex);
  DWORD error = ERROR_SUCCESS;
  ReadOutcome outcome = TryRead(*request, destination, capacity, laterCount, context, bytesRead, error);
  if (outcome == ReadOutcome::Queued && !request->IsAsync()) {
    if (OnWorkerThread()) {
      outcome = ReadOutcome::Failed;
      error = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    } else {
      request->shared->changed.wait(lock, [&] {
        outcome = TryRead(*request, destination, capacity, laterCount, context, bytesRead, error);
        return outcome != ReadOutcome::Queued;
      });
    }
  }
  ResumeIfCaughtUp(*request);
  switch (outcome) {
    case ReadOutcome::Done:
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    case ReadOutcome::Queued:
      SetLastError(ERROR_IO_PENDING);
      return FALSE;
    case ReadOutcome::Failed:
      break;
  }
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL InternetReadFileExA(HINTERNET handle, LPINTERNET_BUFFERSA buffersOut, DWORD, DWORD_PTR context) {
  ++g_readCalls;
  if (buffersOut == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD bytesRead = 0;
  const BOOL result = Read(handle, static_cast<char*>(buffersOut->lpvBuffer),
                           buffersOut->dwBufferLength, &buffersOut->dwBufferLength, context,
                           bytesRead);
  if (result) buffersOut->dwBufferLength = bytesRead;
  return result;
}

std::size_t PlatformInternetReadCalls() { return g_readCalls; }

bool PlatformInternetRequestSettled(HINTERNET handle) {
  const auto object = FindHandle(handle);
  if (!object || object->kind != ObjectKind::Request) return true;
  auto& request = static_cast<Request&>(*object);
  Lock lock(request.shared->mutex);
  const bool quiet = request.phase == RequestPhase::Created ||
                     request.phase == RequestPhase::Finished ||
                     request.phase == RequestPhase::Failed || request.resumeWanted;
  // Notifications are queued under this lock, so none can be raised between the two checks.
  return quiet && !request.queuedRead && UndeliveredStatusEvents() == 0;
}
