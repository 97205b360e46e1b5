#include "WinInetWorker.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "WinInetCallbacks.h"
#include "WinInetErrors.h"
#include "WinInetTransfer.h"

namespace wininet {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxPollMs = 1000;

struct Command {
  enum class Kind { Start, Cancel, Resume };
  Kind kind;
  std::shared_ptr<Request> request;
};

// One run of the worker thread, from its start to the close of the last session.
struct Generation {
  CURLM* multi = nullptr;  // set to null (under the lock) before the thread frees it
  bool stop = false;
  std::deque<Command> commands;
};

thread_local std::vector<StatusEvent>* t_events = nullptr;
std::atomic<std::size_t> g_undelivered{0};

class Worker {
public:
  static Worker& Instance() {
    static Worker worker;
    return worker;
  }

  ~Worker() {
    std::thread running;
    {
      std::lock_guard lock(m_mutex);
      if (m_generation) Stop(*m_generation);
      running = std::move(m_thread);
    }
    if (running.joinable()) running.join();
    if (m_retired.joinable()) m_retired.join();
  }

  void SessionOpened() {
    std::lock_guard lock(m_mutex);
    ++m_sessions;
  }

  void SessionClosed() {
    std::thread finished;
    {
      std::lock_guard lock(m_mutex);
      if (m_sessions > 0) --m_sessions;
      if (m_sessions > 0 || !m_generation) return;
      Stop(*m_generation);
      m_generation.reset();
      finished = std::move(m_thread);
      if (finished.get_id() == std::this_thread::get_id()) {
        // Closed from a callback on the worker itself: it ends when the callback returns.
        m_retired = std::move(finished);
        return;
      }
    }
    finished.join();
  }

  bool Post(Command::Kind kind, const std::shared_ptr<Request>& request) {
    JoinRetired();
    std::lock_guard lock(m_mutex);
    if (kind == Command::Kind::Start) {
      if (m_sessions == 0) return false;
      if (!m_generation) Launch();
    }
    if (!m_generation) return false;
    m_generation->commands.push_back({kind, request});
    curl_multi_wakeup(m_generation->multi);
    return true;
  }

  bool Running() {
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() || m_retired.joinable();
  }

private:
  Worker() = default;

  void Launch() {
    m_generation = std::make_shared<Generation>();
    m_generation->multi = curl_multi_init();
    m_thread = std::thread(&Worker::Run, this, m_generation);
  }

  static void Stop(Generation& generation) {
    generation.stop = true;
    if (generation.multi != nullptr) curl_multi_wakeup(generation.multi);
  }

  void JoinRetired() {
    std::thread retired;
    {
      std::lock_guard lock(m_mutex);
      if (!m_retired.joinable() || m_retired.get_id() == std::this_thread::get_id()) return;
      retired = std::move(m_retired);
    }
    retired.join();
  }

  void Run(std::shared_ptr<Generation> generation) {
    std::vector<StatusEvent> events;
    t_events = &events;
    CURLM* multi = generation->multi;
    std::map<CURL*, std::shared_ptr<Request>> active;

    while (true) {
      std::deque<Command> commands;
      bool stop = false;
      {
        std::lock_guard lock(m_mutex);
        commands.swap(generation->commands);
        stop = generation->stop;
      }
      for (auto& command : commands) Apply(multi, active, command);
      DeliverEvents(events);
      if (stop) break;

      int running = 0;
      curl_multi_perform(multi, &running);
      FinishDone(multi, active);
      ExpireReceiveTimeouts(multi, active);
      DeliverEvents(events);

      curl_multi_poll(multi, nullptr, 0, PollTimeoutMs(multi, active), nullptr);
    }

    for (const auto& [easy, request] : active) curl_multi_remove_handle(multi, easy);
    active.clear();
    g_undelivered -= events.size();
    events.clear();
    t_events = nullptr;
    {
      std::lock_guard lock(m_mutex);
      generation->multi = nullptr;
    }
    curl_multi_cleanup(multi);
  }

  static void Apply(CURLM* multi, std::map<CURL*, std::shared_ptr<Request>>& active,
                    const Command& command) {
    CURL* easy = command.request->easy.get();
    switch (command.kind) {
      case Command::Kind::Start:
        OnTransferStarted(*command.request);
        if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
          active.emplace(easy, command.request);
        } else {
          OnTransferFailed(*command.request, ERROR_INTERNET_INTERNAL_ERROR);
        }
        break;
      case Command::Kind::Cancel:
        if (active.erase(easy) > 0) curl_multi_remove_handle(multi, easy);
        break;
      case Command::Kind::Resume:
        if (active.count(easy) > 0) {
          OnTransferResumed(*command.request);
          curl_easy_pause(easy, CURLPAUSE_CONT);
        }
        break;
    }
  }

  static void FinishDone(CURLM* multi, std::map<CURL*, std::shared_ptr<Request>>& active) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      auto found = active.find(message->easy_handle);
      if (found == active.end()) continue;
      auto request = found->second;
      const CURLcode result = message->data.result;
      active.erase(found);
      curl_multi_remove_handle(multi, request->easy.get());
      OnTransferDone(*request, result);
    }
  }

  static void ExpireReceiveTimeouts(CURLM* multi,
                                    std::map<CURL*, std::shared_ptr<Request>>& active) {
    const auto now = Clock::now();
    for (auto entry = active.begin(); entry != active.end();) {
      if (ReceiveDeadline(*entry->second) > now) {
        ++entry;
        continue;
      }
      auto request = entry->second;
      curl_multi_remove_handle(multi, entry->first);
      entry = active.erase(entry);
      OnTransferFailed(*request, ERROR_INTERNET_TIMEOUT);
    }
  }

  static int PollTimeoutMs(CURLM* multi,
                           const std::map<CURL*, std::shared_ptr<Request>>& active) {
    long curlMs = -1;
    curl_multi_timeout(multi, &curlMs);
    long timeout = curlMs < 0 ? kMaxPollMs : std::min<long>(curlMs, kMaxPollMs);
    const auto now = Clock::now();
    for (const auto& [easy, request] : active) {
      const auto deadline = ReceiveDeadline(*request);
      if (deadline == Clock::time_point::max()) continue;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
      timeout = std::min<long>(timeout, std::max<long>(left, 0));
    }
    return static_cast<int>(timeout);
  }

  static void DeliverEvents(std::vector<StatusEvent>& events) {
    // A callback may queue more (a read it makes can complete at once): loop until dry.
    while (!events.empty()) {
      std::vector<StatusEvent> batch;
      batch.swap(events);
      for (auto& event : batch) {
        Deliver(event);
        --g_undelivered;
      }
    }
  }

  static void Deliver(StatusEvent& event) {
    Request& request = *event.request;
    switch (event.kind) {
      case StatusEvent::Kind::None:
        Notify(request, event.context, event.status, nullptr, 0);
        break;
      case StatusEvent::Kind::Result:
        Notify(request, event.context, event.status, &event.result, sizeof event.result);
        break;
      case StatusEvent::Kind::Text:
        Notify(request, event.context, event.status, event.text.data(),
               static_cast<DWORD>(event.text.size() + 1));
        break;
      case StatusEvent::Kind::Number:
        Notify(request, event.context, event.status, &event.number, sizeof event.number);
        break;
    }
  }

  std::mutex m_mutex;
  std::size_t m_sessions = 0;
  std::shared_ptr<Generation> m_generation;
  std::thread m_thread;
  std::thread m_retired;  // a worker that was told to end from its own thread
};

}  // namespace

void WorkerSessionOpened() { Worker::Instance().SessionOpened(); }
void WorkerSessionClosed() { Worker::Instance().SessionClosed(); }

bool WorkerStartTransfer(const std::shared_ptr<Request>& request) {
  return Worker::Instance().Post(Command::Kind::Start, request);
}
void WorkerCancelTransfer(const std::shared_ptr<Request>& request) {
  Worker::Instance().Post(Command::Kind::Cancel, request);
}
void WorkerResumeTransfer(const std::shared_ptr<Request>& request) {
  Worker::Instance().Post(Command::Kind::Resume, request);
}

void WorkerQueueStatus(StatusEvent event) {
  if (t_events == nullptr) return;
  ++g_undelivered;
  t_events->push_back(std::move(event));
}

std::size_t UndeliveredStatusEvents() { return g_undelivered; }

bool OnWorkerThread() { return t_events != nullptr; }

bool WorkerRunning() { return Worker::Instance().Running(); }

}  // namespace wininet
