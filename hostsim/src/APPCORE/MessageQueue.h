// The host's message sequence: app messages arrive from any thread and run on the host
// thread, one at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/AppCore.h"

namespace hostsim::detail {

class MessageQueue {
 public:
  void Post(SequencedAppMsg* message);
  std::size_t PendingCount();
  std::vector<std::string> PendingTypes();
  std::size_t RunPending();
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  bool WaitForMessage(std::chrono::milliseconds timeout);
  void DiscardPending();
  void Forget(const SequencedAppMsg* message);  // drops it if still queued
  std::uint64_t Executed() const;
  std::uint64_t Failed() const;
  void ResetCounters();

 private:
  struct Entry {
    SequencedAppMsg* message;
    const void* baseVtable;  // the object's vtable while only its host base was constructed
  };

  SequencedAppMsg* TakeNext();  // null when none is queued
  void Run(const Entry& entry);
  static void WaitUntilConstructed(const Entry& entry);

  mutable std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::deque<Entry> m_entries;
  std::uint64_t m_executed = 0;
  std::uint64_t m_failed = 0;
};

MessageQueue& TheMessageQueue();

}  // namespace hostsim::detail
