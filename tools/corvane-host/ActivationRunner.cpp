#include "ActivationRunner.h"

#include <hostsim/HostSim.h>

#include <algorithm>

namespace corvane::host {

RoundOutcome RunRound(const std::function<void()>& callEntry, ExchangeTracker& tracker,
                      const RoundSettings& settings) {
  using Clock = std::chrono::steady_clock;
  const std::uint64_t runBefore = tracker.MessagesRun();
  const std::uint64_t sentBefore = tracker.Sent();
  const std::uint64_t completionsBefore = tracker.Completions();

  const Clock::time_point start = Clock::now();
  for (int call = 0; call < settings.calls; ++call) callEntry();
  const Clock::time_point deadline = start + settings.timeout;
  std::optional<Clock::time_point> background;
  if (settings.backgroundAfter) background = start + *settings.backgroundAfter;

  RoundOutcome outcome;
  Clock::time_point lastActivity = Clock::now();
  const auto done = [&] {
    if (tracker.Observe()) lastActivity = Clock::now();
    return !background && hostsim::PendingMessageCount() == 0 && !tracker.InFlight() &&
           Clock::now() - lastActivity >= settings.quiet;
  };
  while (true) {
    if (background && Clock::now() >= *background) {
      hostsim::DeliverGoingBackground();
      tracker.OnBackground();
      background.reset();
      outcome.backgroundDelivered = true;
      lastActivity = Clock::now();
    }
    if (done()) {
      outcome.finished = true;
      break;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) break;
    Clock::time_point sliceEnd = std::min(deadline, now + settings.quiet);
    if (background) sliceEnd = std::min(sliceEnd, *background);
    const auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(sliceEnd - now);
    hostsim::RunMessagesUntil(done, std::max(slice, std::chrono::milliseconds(1)));
  }
  tracker.Observe();
  outcome.messagesRun = tracker.MessagesRun() - runBefore;
  outcome.requestsSent = tracker.Sent() - sentBefore;
  outcome.completions = tracker.Completions() - completionsBefore;
  return outcome;
}

}  // namespace corvane::host
