#include "ActivationRunner.h"

#include <hostsim/HostSim.h>

#include <algorithm>
#include <random>

namespace corvane::host {

namespace {

std::optional<std::chrono::milliseconds> BackgroundMoment(const RoundSettings& settings) {
  if (!settings.backgroundWithin) return settings.backgroundAfter;
  static std::mt19937 generator{std::random_device{}()};
  using Rep = std::chrono::milliseconds::rep;
  std::uniform_int_distribution<Rep> moment(
      0, std::max<Rep>(settings.backgroundWithin->count() - 1, 0));
  return std::chrono::milliseconds(moment(generator));
}

}  // namespace

RoundOutcome RunRound(const std::function<void()>& callEntry, ExchangeTracker& tracker,
                      const RoundSettings& settings) {
  using Clock = std::chrono::steady_clock;
  const std::uint64_t runBefore = tracker.MessagesRun();
  const std::uint64_t sentBefore = tracker.Sent();
  const std::uint64_t completionsBefore = tracker.Completions();

  const Clock::time_point start = Clock::now();
  for (int call = 0; call < settings.calls; ++call) callEntry();
  const Clock::time_point deadline = start + settings.timeout;
  const std::optional<std::chrono::milliseconds> backgroundAfter = BackgroundMoment(settings);
  bool backgroundPending = backgroundAfter.has_value();
  const Clock::time_point backgroundAt =
      backgroundPending ? start + *backgroundAfter : Clock::time_point::max();

  RoundOutcome outcome;
  Clock::time_point lastActivity = Clock::now();
  while (true) {
    if (backgroundPending && Clock::now() >= backgroundAt) {
      hostsim::DeliverGoingBackground();
      tracker.OnBackground();
      backgroundPending = false;
      outcome.backgroundDelivered = true;
      lastActivity = Clock::now();
    }
    const std::vector<std::string> queued = hostsim::PendingMessageTypes();
    const std::size_t ran = hostsim::RunPendingMessages();
    tracker.OnMessagesRun(queued, ran);
    const Clock::time_point now = Clock::now();
    if (ran > 0) {
      lastActivity = now;
      continue;
    }
    if (!backgroundPending && !tracker.InFlight() && now - lastActivity >= settings.quiet) {
      outcome.finished = true;
      break;
    }
    if (now >= deadline) break;
    Clock::time_point waitEnd = std::min(deadline, lastActivity + settings.quiet);
    if (tracker.InFlight()) waitEnd = deadline;
    waitEnd = std::min(waitEnd, backgroundAt);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(waitEnd - now);
    hostsim::WaitForMessage(std::max(wait, std::chrono::milliseconds(1)));
  }
  outcome.messagesRun = tracker.MessagesRun() - runBefore;
  outcome.requestsSent = tracker.Sent() - sentBefore;
  outcome.completions = tracker.Completions() - completionsBefore;
  return outcome;
}

}  // namespace corvane::host
