// Tells whether an HTTP exchange of the module is still in flight, from what the host sees:
// its log lines and the app messages it runs.
//
// An exchange starts with the log line "Sending the TSM request" and ends with a WinINet
// failure line, with the run of a DelayedWebRequest (the module's completion message), or
// when the host goes to the background (the module closes its handles then). Several
// DelayedWebRequests for one exchange (reads that WinINet completes later) are covered by
// the runner's quiet period, not here.
//
// Which message ran is known without hooks into the host: observed on the host thread after
// every message, the queue's content is what runs next, in order; a message that runs
// while the queue looked empty arrived from another thread, and only the module's WinINet
// callback creates messages on other threads.
#pragma once

#include <hostsim/HostSim.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::host {

class ExchangeTracker {
public:
  ExchangeTracker();

  // Any thread: one module log line.
  void OnLog(const std::string& text);
  // Host thread: catches up with the messages run since the last call; true when any ran.
  bool Observe();
  // Host thread: the host went to the background.
  void OnBackground();

  bool InFlight() const;
  std::uint64_t Sent() const;
  std::uint64_t Completions() const;
  std::uint64_t MessagesRun() const { return m_seen; }

private:
  void EndOne();

  mutable std::mutex m_mutex;
  std::uint64_t m_sent = 0;
  std::uint64_t m_open = 0;
  std::uint64_t m_completions = 0;
  std::uint64_t m_seen = 0;  // host thread only
  std::vector<std::string> m_nextTypes;
};

// Counts messages run, whether Execute returned or raised.
std::uint64_t MessagesRunByHost();

}  // namespace corvane::host
