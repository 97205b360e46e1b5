#include "WinInetCallbacks.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "WinInetRequest.h"

namespace wininet {
namespace {

thread_local int t_callbackDepth = 0;

using Lock = std::unique_lock<std::mutex>;

bool RunsElsewhere(const SessionShared& shared, const InternetObject* object) {
  const auto self = std::this_thread::get_id();
  return std::any_of(shared.running.begin(), shared.running.end(), [&](const auto& entry) {
    return entry.object == object && entry.thread != self;
  });
}

void WaitForOtherThreads(SessionShared& shared, Lock& lock, const InternetObject* object) {
  if (t_callbackDepth > 0) return;
  shared.changed.wait(lock, [&] { return !RunsElsewhere(shared, object); });
}

// Registers a callback as running and releases the lock for its duration; on the way out
// (also by an exception) it takes the lock again and wakes the threads that wait for it.
class RunningCallback {
public:
  RunningCallback(InternetObject& object, Lock& lock) : m_object(object), m_lock(lock) {
    m_object.shared->running.push_back({std::this_thread::get_id(), &m_object});
    m_lock.unlock();
    ++t_callbackDepth;
  }
  ~RunningCallback() {
    --t_callbackDepth;
    m_lock.lock();
    auto& running = m_object.shared->running;
    const auto self = std::this_thread::get_id();
    running.erase(std::find_if(running.begin(), running.end(), [&](const auto& entry) {
      return entry.object == &m_object && entry.thread == self;
    }));
    m_object.shared->changed.notify_all();
  }
  RunningCallback(const RunningCallback&) = delete;
  RunningCallback& operator=(const RunningCallback&) = delete;

private:
  InternetObject& m_object;
  Lock& m_lock;
};

void Invoke(InternetObject& object, Lock& lock, INTERNET_STATUS_CALLBACK callback,
            DWORD_PTR context, DWORD status, LPVOID information, DWORD informationLength) {
  RunningCallback running(object, lock);
  callback(object.handle, context, status, information, informationLength);
}

}  // namespace

void Notify(InternetObject& object, DWORD_PTR context, DWORD status, LPVOID information,
            DWORD informationLength) {
  Lock lock(object.shared->mutex);
  if (object.closed || object.callback == nullptr) return;
  Invoke(object, lock, object.callback, context, status, information, informationLength);
}

void NotifyResult(InternetObject& object, DWORD_PTR context, DWORD status, DWORD_PTR result,
                  DWORD error) {
  INTERNET_ASYNC_RESULT asyncResult{result, error};
  Notify(object, context, status, &asyncResult, sizeof asyncResult);
}

INTERNET_STATUS_CALLBACK ReplaceCallback(InternetObject& object,
                                         INTERNET_STATUS_CALLBACK callback) {
  SessionShared& shared = *object.shared;
  Lock lock(shared.mutex);
  INTERNET_STATUS_CALLBACK previous = object.callback;
  object.callback = callback;
  WaitForOtherThreads(shared, lock, &object);
  return previous;
}

void MarkClosed(const std::vector<std::shared_ptr<InternetObject>>& objects) {
  if (objects.empty()) return;
  SessionShared& shared = *objects.front()->shared;
  Lock lock(shared.mutex);
  for (const auto& object : objects) {
    object->closed = true;
    if (object->kind == ObjectKind::Request) {
      static_cast<Request&>(*object).queuedRead.reset();
    }
  }
  shared.changed.notify_all();
  for (const auto& object : objects) WaitForOtherThreads(shared, lock, object.get());
}

void NotifyClosing(InternetObject& object) {
  Lock lock(object.shared->mutex);
  if (object.callback == nullptr) return;
  HINTERNET handle = object.handle;
  Invoke(object, lock, object.callback, object.context, INTERNET_STATUS_HANDLE_CLOSING, &handle,
         sizeof handle);
}

}  // namespace wininet
