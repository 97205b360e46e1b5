// The worker's HTTP exchange over a scripted WinINet (FakeWinInet.h), for what a real server
// cannot bring about at will: each failed step of the session, queued reads completed one by
// one, and completions of exchanges closed since. Whole exchanges over the network are
// EndToEndTest's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Answers.h"
#include "FakeWinInet.h"
#include "HostProfile.h"
#include "HttpExchange.h"
#include "StoreExpectations.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::size_t kChunk = 2047;
constexpr DWORD kExchangeFlags = 0x84400300;
constexpr const char* kHugeLine = "TBD: huge response";

// The answer cut into reads of at most 2047 bytes, then the empty read that ends the body.
std::deque<fake_wininet::ReadStep> AsReads(const std::string& body) {
  std::deque<fake_wininet::ReadStep> reads;
  for (std::size_t at = 0; at < body.size(); at += kChunk) {
    reads.push_back(fake_wininet::Bytes(body.substr(at, kChunk)));
  }
  reads.push_back(fake_wininet::Bytes(""));
  return reads;
}

// The worker is the process's one instance: each test starts and ends with its exchange
// closed.
class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() {
    Worker().CloseInternetHandles();  // whatever an earlier test left, on the fake
    fake_wininet::Reset();
    hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  }
  ~WorkerTest() override {
    hostsim::DiscardPendingMessages();
    Worker().CloseInternetHandles();
    EXPECT_TRUE(fake_wininet::Calls().badCloses.empty()) << "a handle was closed twice";
  }

  // Sends a request and lets the send complete: one DelayedWebRequest queued.
  void StartExchange(const char* url = "http://service.test:8080/tsm/get?cs=0") {
    Worker().SendRequestAndGetResponse(url);
    ASSERT_EQ(hostsim::PendingMessageCount(), 0u) << "nothing is read before the send completes";
    fake_wininet::CompleteSend();
    ASSERT_EQ(hostsim::PendingMessageTypes(), std::vector<std::string>{"DelayedWebRequest"});
  }
  static std::size_t RunHost() { return hostsim::RunPendingMessages(); }

  std::string MessageFile(const std::string& checksum) const {
    return ReadBytes(m_profile.messagesFolder / (checksum + "WebTSMFile.xmf")).value_or("");
  }
  std::size_t MessageFileCount() const { return FilesIn(m_profile.messagesFolder).size(); }

  HostProfile m_profile;
};

fake_wininet::Script Failing(std::optional<DWORD> fake_wininet::Script::*step, DWORD error) {
  fake_wininet::Script script;
  script.*step = error;
  return script;
}

fake_wininet::Script SendingAtOnce() {
  fake_wininet::Script script;
  script.sendSucceedsAtOnce = true;
  return script;
}

struct FailureCase {
  const char* name;
  fake_wininet::Script script;
  const char* line;   // nullptr: no line
  std::size_t calls;  // how many of the five session steps were called
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class FailureTest : public WorkerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, EachFailedStepLogsItsLineAndStops) {
  fake_wininet::SetScript(GetParam().script);
  Worker().SendRequestAndGetResponse("http://service.test/x");
  const std::vector<std::string> steps = {"InternetOpenA", "InternetSetStatusCallback",
                                          "InternetConnectA", "HttpOpenRequestA",
                                          "HttpSendRequestA"};
  EXPECT_EQ(fake_wininet::Calls().calls,
            std::vector<std::string>(
                steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(GetParam().calls)));
  const auto records = hostsim::LogRecords();
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  if (GetParam().line == nullptr) {
    EXPECT_THAT(records, IsEmpty()) << "a pending step is no failure";
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, GetParam().line);
  EXPECT_EQ(records[0].level, 0);
  EXPECT_EQ(records[0].eventType, 6);
  EXPECT_EQ(records[0].file, "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailureTest,
    ::testing::Values(FailureCase{"Session", Failing(&fake_wininet::Script::openFails, 8),
                                  "InternetOpen failed, error   --> 8", 1},
                      FailureCase{"Callback", Failing(&fake_wininet::Script::setCallbackFails, 87),
                                  "InternetSetStatusCallback failed, error   --> 87", 2},
                      FailureCase{"Connection", Failing(&fake_wininet::Script::connectFails, 12029),
                                  "InternetConnect failed, error --> 12029", 3},
                      FailureCase{"ConnectionPending",
                                  Failing(&fake_wininet::Script::connectFails, 997), nullptr, 5},
                      FailureCase{"Request",
                                  Failing(&fake_wininet::Script::openRequestFails, 12005),
                                  "HttpOpenRequest failed, error --> 12005", 4},
                      FailureCase{"RequestPending",
                                  Failing(&fake_wininet::Script::openRequestFails, 997), nullptr,
                                  5},
                      FailureCase{"Send", Failing(&fake_wininet::Script::sendFails, 12007),
                                  "HttpSendRequest failed, error  --> 12007", 5},
                      FailureCase{"SendAtOnce", SendingAtOnce(), nullptr, 5}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(WorkerTest, HttpsAloneIsSecuredAndEachExchangeHasItsOwnContext) {
  Worker().SendRequestAndGetResponse("http://service.test:81/x");
  Worker().SendRequestAndGetResponse("https://service.test/y");
  const auto& requests = fake_wininet::Calls().requests;
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].object, "/x");
  EXPECT_EQ(requests[0].flags, kExchangeFlags);
  EXPECT_EQ(requests[1].flags, kExchangeFlags | INTERNET_FLAG_SECURE);
  EXPECT_TRUE(corvane::IsRequestContext(requests[0].context));
  EXPECT_EQ(requests[1].context, requests[0].context + 2);
  EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u) << "the first exchange was closed";
}

TEST_F(WorkerTest, OnlyTheRequestsCompletionPostsARead) {
  struct Notification {
    DWORD_PTR context;
    DWORD status;
    DWORD error;
    std::size_t posted;
  };
  const Notification notifications[] = {
      {1, INTERNET_STATUS_REQUEST_COMPLETE, 0, 0}, {1, INTERNET_STATUS_HANDLE_CREATED, 0, 0},
      {2, INTERNET_STATUS_HANDLE_CREATED, 0, 0},   {2, INTERNET_STATUS_RESPONSE_RECEIVED, 0, 0},
      {2, INTERNET_STATUS_HANDLE_CLOSING, 0, 0},   {3, INTERNET_STATUS_REQUEST_COMPLETE, 0, 0},
      {2, INTERNET_STATUS_REQUEST_COMPLETE, 0, 1}, {2, INTERNET_STATUS_REQUEST_COMPLETE, 12029, 1},
  };
  for (const auto& notification : notifications) {
    hostsim::DiscardPendingMessages();
    INTERNET_ASYNC_RESULT result{0, notification.error};
    WebRequestStatusCallback(nullptr, notification.context, notification.status, &result,
                             sizeof result);
    EXPECT_EQ(hostsim::PendingMessageCount(), notification.posted)
        << "context " << notification.context << " status " << notification.status;
  }
}

TEST_F(WorkerTest, ClosingClosesRequestConnectionThenSessionAfterRemovingTheCallback) {
  Worker().SendRequestAndGetResponse("http://service.test/x");
  const std::size_t before = fake_wininet::Calls().calls.size();
  Worker().CloseInternetHandles();
  Worker().CloseInternetHandles();  // a second close does nothing
  const auto& calls = fake_wininet::Calls().calls;
  EXPECT_THAT(
      std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end()),
      ElementsAre("InternetCloseHandle", "InternetCloseHandle", "InternetSetStatusCallback(null)",
                  "InternetCloseHandle"));
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  EXPECT_EQ(fake_wininet::Calls().closed.front(), fake_wininet::LastRequest());
  EXPECT_EQ(fake_wininet::Calls().closed.back(), fake_wininet::LastSession());
}

TEST_F(WorkerTest, TextStopsAtAZeroByteAndALeadingZeroAddsNothing) {
  const std::string body = AnswerOfSize("zero", 200);
  fake_wininet::QueueReads({fake_wininet::Bytes(body.substr(0, 50) + std::string("\0junk", 5)),
                            fake_wininet::Bytes(std::string("\0ignored", 8)),
                            fake_wininet::Bytes(body.substr(50)), fake_wininet::Bytes("")});
  StartExchange();
  RunHost();
  EXPECT_EQ(fake_wininet::Calls().reads.size(), 4u) << "a zero first byte does not end the body";
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  EXPECT_EQ(MessageText(MessageFile("zero")).size(), MessageText(body).size());
}

TEST_F(WorkerTest, AQueuedReadIsCarriedIntoTheNextPass) {
  const std::string body = AnswerOfSize("slow", 3 * kChunk);
  auto reads = AsReads(body);
  reads[0].kind = fake_wininet::ReadStep::Kind::Queued;  // the first read waits for data
  reads[2].kind = fake_wininet::ReadStep::Kind::Queued;  // and so does the third
  fake_wininet::QueueReads(reads);
  StartExchange();

  EXPECT_EQ(RunHost(), 1u);
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  ASSERT_TRUE(fake_wininet::CompleteQueuedRead());
  EXPECT_EQ(RunHost(), 1u);
  ASSERT_TRUE(fake_wininet::CompleteQueuedRead());
  EXPECT_EQ(RunHost(), 1u);

  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  EXPECT_EQ(MessageText(MessageFile("slow")).size(), MessageText(body).size());
  const auto& allReads = fake_wininet::Calls().reads;
  EXPECT_EQ(allReads.size(), 4u) << "a completed read is not asked again";
  for (const auto& read : allReads) {
    EXPECT_TRUE(read.recordWasFresh);
    EXPECT_EQ(read.asked, 2047u);
    EXPECT_EQ(read.buffer, allReads[0].buffer) << "one buffer, owned by the worker";
    EXPECT_EQ(read.context, fake_wininet::Calls().requests.back().context);
  }
}

TEST_F(WorkerTest, TheReadLimitCountsTheReadsOfEveryPass) {
  auto reads = AsReads(AnswerOfSize("split", 25 * kChunk));
  reads[10].kind = fake_wininet::ReadStep::Kind::Queued;
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  ASSERT_TRUE(fake_wininet::CompleteQueuedRead());
  RunHost();
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kHugeLine));
  EXPECT_EQ(MessageFileCount(), 0u);
}

// A read that fails at once ends the pass and keeps the exchange open; a queued one that
// fails ends the exchange with its error, and what was read before is not processed.
TEST_F(WorkerTest, AFailedReadEndsThePassAQueuedOneTheExchange) {
  for (const bool queued : {false, true}) {
    SCOPED_TRACE(queued ? "queued" : "at once");
    hostsim::ClearLog();
    auto reads = AsReads(AnswerOfSize("cut", 3 * kChunk));
    if (queued) {
      reads[1].kind = fake_wininet::ReadStep::Kind::Queued;
    } else {
      reads[1] = fake_wininet::Fails(ERROR_INTERNET_CONNECTION_RESET);
    }
    fake_wininet::QueueReads(reads);
    StartExchange();
    RunHost();
    if (queued) {
      ASSERT_TRUE(fake_wininet::CompleteQueuedRead(ERROR_INTERNET_CONNECTION_RESET));
      EXPECT_EQ(RunHost(), 1u);
      EXPECT_THAT(hostsim::LogTexts(), ElementsAre("InternetReadFileEx failed, error --> 12031"));
      EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
    } else {
      EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
      EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u);
    }
    EXPECT_EQ(MessageFileCount(), 0u);
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  }
}

// A completion of an exchange that has been closed since, posted before or after the close,
// changes nothing, whatever happened in between; a later exchange reads its own answer.
class StaleCompletionTest : public WorkerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StaleCompletionTest, IsIgnored) {
  const bool nextExchange = GetParam();  // otherwise the host went to the background
  auto reads = AsReads(AnswerOfSize("first", 2 * kChunk));
  reads[1].kind = fake_wininet::ReadStep::Kind::Queued;
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  const DWORD_PTR first = fake_wininet::Calls().requests.back().context;
  if (nextExchange) {
    fake_wininet::QueueReads(AsReads(AnswerOfSize("second", 2 * kChunk)));
    Worker().SendRequestAndGetResponse("http://service.test/second");
  } else {
    hostsim::DeliverGoingBackground();
    EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  }
  const std::size_t readsBefore = fake_wininet::Calls().reads.size();
  for (const DWORD error : {DWORD{0}, DWORD{ERROR_INTERNET_OPERATION_CANCELLED}}) {
    INTERNET_ASYNC_RESULT result{error == 0 ? 1u : 0u, error};
    WebRequestStatusCallback(nullptr, first, INTERNET_STATUS_REQUEST_COMPLETE, &result,
                             sizeof result);
  }
  EXPECT_EQ(RunHost(), 2u);
  EXPECT_EQ(fake_wininet::Calls().reads.size(), readsBefore) << "nothing read for a closed one";
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  if (nextExchange) {
    EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u) << "the next exchange stays open";
    fake_wininet::CompleteSend();
    RunHost();
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  }
  EXPECT_EQ(MessageFile("first"), "");
}

INSTANTIATE_TEST_SUITE_P(Between, StaleCompletionTest, ::testing::Values(false, true),
                         [](const auto& test) {
                           return test.param ? "NextExchange" : "Background";
                         });

}  // namespace
}  // namespace corvane_test
