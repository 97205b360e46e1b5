// One round of the host's work: call the entry point, then run the message sequence on this
// thread (the host thread) until nothing is queued, no exchange is in flight and the queue
// has stayed empty for the quiet period; or until the time limit passes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "ExchangeTracker.h"

namespace corvane::host {

struct RoundSettings {
  int calls = 1;  // entry-point calls, back to back, before the sequence runs
  std::optional<std::chrono::milliseconds> backgroundAfter;  // from the first call
  // Instead: at a random moment from the first call up to this long after it, drawn anew for
  // every round, so that a long run meets the module in every state of an exchange.
  std::optional<std::chrono::milliseconds> backgroundWithin;
  std::chrono::milliseconds quiet{300};
  std::chrono::milliseconds timeout{15000};
};

struct RoundOutcome {
  bool finished = false;  // false: the time limit passed
  std::uint64_t messagesRun = 0;
  std::uint64_t requestsSent = 0;
  std::uint64_t completions = 0;
  bool backgroundDelivered = false;
};

// `callEntry` calls the module's entry point once.
RoundOutcome RunRound(const std::function<void()>& callEntry, ExchangeTracker& tracker,
                      const RoundSettings& settings);

}  // namespace corvane::host
