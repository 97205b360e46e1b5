// When corvane-host considers an exchange of the module in flight.
#include <gtest/gtest.h>

#include <functional>

#include "ExchangeTracker.h"
#include "ParamName.h"

using corvane::host::ExchangeTracker;

namespace {

const std::string kSend = "SendWebRequest";
const std::string kCompletion = "DelayedWebRequest";

using Step = std::function<void(ExchangeTracker&)>;

Step Log(const std::string& text) {
  return [text](ExchangeTracker& t) { t.OnLog(text); };
}
Step Ran(std::vector<std::string> queued, std::size_t ran) {
  return [queued, ran](ExchangeTracker& t) { t.OnMessagesRun(queued, ran); };
}
const Step kBackground = [](ExchangeTracker& t) { t.OnBackground(); };

const Step kSending = Log("Sending the TSM request");

struct TrackerCase {
  const char* name;
  std::vector<Step> steps;
  bool inFlight;
  std::uint64_t completions;
};

class ExchangeTrackerTest : public ::testing::TestWithParam<TrackerCase> {};

}  // namespace

TEST_P(ExchangeTrackerTest, FollowsLogLinesAndMessages) {
  ExchangeTracker tracker;
  for (const Step& step : GetParam().steps) step(tracker);
  EXPECT_EQ(tracker.InFlight(), GetParam().inFlight);
  EXPECT_EQ(tracker.Completions(), GetParam().completions);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ExchangeTrackerTest,
    ::testing::Values(
        TrackerCase{"RequestRunNothingSent", {Ran({kSend}, 1)}, false, 0},
        TrackerCase{"SentAndCompleted", {kSending, Ran({kCompletion}, 1)}, false, 1},
        TrackerCase{"CompletionArrivedWhileQueueLookedEmpty", {kSending, Ran({}, 1)}, false, 1},
        TrackerCase{
            "CompletionStillUnderConstruction", {kSending, Ran({"SequencedAppMsg"}, 1)}, false, 1},
        TrackerCase{"CompletionBehindQueuedRequests", {kSending, Ran({kSend, kSend}, 3)}, false, 1},
        TrackerCase{
            "ASecondSendingEndsTheFirst", {kSending, kSending, Ran({kCompletion}, 1)}, false, 1},
        TrackerCase{"ConnectionFailure",
                    {kSending, Log("InternetConnect failed, error --> 12029")},
                    false,
                    0},
        TrackerCase{
            "OtherLineKeepsItOpen", {kSending, Log("Received the response and saved")}, true, 0},
        TrackerCase{"BackgroundClosesAll", {kSending, kSending, kBackground}, false, 0},
        TrackerCase{"LateCompletionDoesNotCloseTheNextExchange",
                    {kSending, Ran({kCompletion}, 1), Ran({kCompletion}, 1), kSending},
                    true,
                    2},
        TrackerCase{"SentAfterBackground", {kSending, kBackground, kSending}, true, 0}),
    ParamName());
