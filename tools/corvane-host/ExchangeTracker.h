// Tells whether an HTTP exchange of the module is still in flight, from what the host sees:
// its log lines and the app messages it runs.
//
// An exchange starts with the log line "Sending the TSM request" and ends with a WinINet
// failure line, with the run of the module's completion message (DelayedWebRequest), when
// the host goes to the background (the module closes its handles then), or when the next
// exchange starts (the module closes the earlier one first). So at most one is in flight. Further
// completions of one exchange (reads that WinINet completes later) are covered by the runner's
// quiet period, not here.
//
// Which messages ran is known without hooks into the host: the queue's content, taken on the
// host thread just before it runs what is queued, is what runs first, in order; a message
// beyond those arrived meanwhile from another thread, and only the module's WinINet callback
// creates messages on other threads. So every message but a SendWebRequest (the host
// thread's own) counts as a completion, including one whose type did not show yet because
// WinINet's thread was still constructing it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::host {

class ExchangeTracker {
 public:
  // Any thread: one module log line.
  void OnLog(const std::string& text);
  // Host thread: `ran` messages were run right after the queue held `queuedBefore`.
  void OnMessagesRun(const std::vector<std::string>& queuedBefore, std::size_t ran);
  // Host thread: the host went to the background.
  void OnBackground();

  bool InFlight() const;
  std::uint64_t Sent() const;
  std::uint64_t Completions() const;
  std::uint64_t MessagesRun() const;

 private:
  void EndOne();

  mutable std::mutex m_mutex;
  std::uint64_t m_sent = 0;
  std::uint64_t m_open = 0;  // 0 or 1
  std::uint64_t m_completions = 0;
  std::uint64_t m_run = 0;
};

}  // namespace corvane::host
