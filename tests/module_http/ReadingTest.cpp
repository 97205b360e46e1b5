// Reading the answer over the scripted WinINet: chunking, the read limit, queued reads
// carried into the next pass, and the end of an exchange.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "HttpExchange.h"
#include "WorkerFixture.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kSavedLine = "Received the response and saved";
constexpr const char* kHugeLine = "TBD: huge response";

class ReadingTest : public WorkerTest {};

struct SizeCase {
  std::size_t size;
  std::size_t reads;  // including the empty read that ends the body
};

class BodySizeTest : public WorkerTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(BodySizeTest, ABodyThatEndsWithinTwentyFiveReadsIsProcessedWhole) {
  const std::string body = AnswerOfSize("sized", GetParam().size);
  fake_wininet::QueueReads(AsReads(body));
  StartExchange();
  EXPECT_EQ(RunHost(), 1u);
  EXPECT_EQ(fake_wininet::Calls().reads.size(), GetParam().reads);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  EXPECT_EQ(MessageText(MessageFile("sized")).size(), MessageText(body).size());
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  for (const auto& read : fake_wininet::Calls().reads) {
    EXPECT_TRUE(read.recordWasFresh);
    EXPECT_EQ(read.asked, 2047u);
    EXPECT_EQ(read.flags, 0u);
    EXPECT_EQ(read.context, fake_wininet::Calls().requests.back().context);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BodySizeTest,
                         ::testing::Values(SizeCase{100, 2}, SizeCase{kChunk, 2},
                                           SizeCase{kChunk + 1, 3}, SizeCase{24 * kChunk, 25}));

TEST_F(ReadingTest, ATwentySixthReadAbandonsTheAnswerAndLeavesTheExchangeOpen) {
  fake_wininet::QueueReads(AsReads(AnswerOfSize("huge", 25 * kChunk)));
  StartExchange();
  RunHost();
  EXPECT_EQ(fake_wininet::Calls().reads.size(), 26u);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kHugeLine));
  EXPECT_EQ(MessageFileCount(), 0u);
  EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u);
}

TEST_F(ReadingTest, AnEmptyBodyClosesTheExchangeAndProcessesNothing) {
  fake_wininet::QueueReads({fake_wininet::Bytes("")});
  StartExchange();
  RunHost();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
}

TEST_F(ReadingTest, ABodyThatIsNoDocumentIsStillHandedOn) {
  fake_wininet::QueueReads({fake_wininet::Bytes("x"), fake_wininet::Bytes("")});
  StartExchange();
  RunHost();
  const auto texts = hostsim::LogTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_THAT(texts[0], HasSubstr("XSD parsing error"));
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
}

TEST_F(ReadingTest, TextStopsAtAZeroByteAndALeadingZeroAddsNothing) {
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

TEST_F(ReadingTest, AQueuedReadIsCarriedIntoTheNextPass) {
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

  EXPECT_EQ(fake_wininet::Calls().reads.size(), 4u) << "a completed read is not asked again";
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  EXPECT_EQ(MessageText(MessageFile("slow")).size(), MessageText(body).size());
  const auto& allReads = fake_wininet::Calls().reads;
  for (const auto& read : allReads) {
    EXPECT_EQ(read.buffer, allReads[0].buffer) << "one buffer, owned by the worker";
  }
}

TEST_F(ReadingTest, TheReadLimitCountsTheReadsOfEveryPass) {
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

TEST_F(ReadingTest, AFailedReadEndsThePassAndKeepsTheExchange) {
  const std::string body = AnswerOfSize("broken", 3 * kChunk);
  auto reads = AsReads(body);
  reads[1] = fake_wininet::Fails(ERROR_INTERNET_CONNECTION_RESET);
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_EQ(MessageFileCount(), 0u);
  EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u);
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

TEST_F(ReadingTest, ASecondExchangeReadsItsWholeAnswer) {
  const std::string first = AnswerOfSize("first", 2 * kChunk);
  fake_wininet::QueueReads(AsReads(first));
  StartExchange();
  RunHost();
  const std::string second = AnswerOfSize("second", 3 * kChunk);
  fake_wininet::QueueReads(AsReads(second));
  StartExchange();
  RunHost();
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine, kSavedLine));
  EXPECT_EQ(MessageText(MessageFile("second")).size(), MessageText(second).size());
}

TEST_F(ReadingTest, AQueuedReadThatFailsEndsTheExchangeWithItsError) {
  auto reads = AsReads(AnswerOfSize("cut", 3 * kChunk));
  reads[1].kind = fake_wininet::ReadStep::Kind::Queued;
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  ASSERT_TRUE(fake_wininet::CompleteQueuedRead(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_EQ(RunHost(), 1u);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre("InternetReadFileEx failed, error --> 12031"));
  EXPECT_EQ(MessageFileCount(), 0u) << "the text read before the failure is not processed";
  EXPECT_THAT(fake_wininet::OpenHandles(), IsEmpty());
  EXPECT_EQ(fake_wininet::Calls().reads.size(), 2u);
}

// A completion of an exchange that has been closed since, posted before or after the close,
// changes nothing, whatever happened in between; a later exchange reads its own answer.
struct StaleCase {
  const char* name;
  bool background;    // the host went to the background
  bool nextExchange;  // another exchange started and is waiting for its send
};

class StaleCompletionTest : public WorkerTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleCompletionTest, IsIgnored) {
  auto reads = AsReads(AnswerOfSize("first", 2 * kChunk));
  reads[1].kind = fake_wininet::ReadStep::Kind::Queued;
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  const DWORD_PTR first = fake_wininet::Calls().requests.back().context;
  if (GetParam().background) hostsim::DeliverGoingBackground();
  if (GetParam().nextExchange) {
    fake_wininet::QueueReads(AsReads(AnswerOfSize("second", 2 * kChunk)));
    Worker().SendRequestAndGetResponse("http://service.test/second");
    EXPECT_NE(fake_wininet::Calls().requests.back().context, first);
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
  if (GetParam().nextExchange) {
    EXPECT_EQ(fake_wininet::OpenHandles().size(), 3u) << "the next exchange stays open";
    fake_wininet::CompleteSend();
    RunHost();
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSavedLine));
  }
  EXPECT_EQ(MessageFile("first"), "");
}

INSTANTIATE_TEST_SUITE_P(Between, StaleCompletionTest,
                         ::testing::Values(StaleCase{"Background", true, false},
                                           StaleCase{"NextExchange", false, true}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
}  // namespace corvane_test
