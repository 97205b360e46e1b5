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
    EXPECT_EQ(read.context, 2u);
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

TEST_F(ReadingTest, AQueuedReadOfAClosedExchangeIsForgotten) {
  auto reads = AsReads(AnswerOfSize("closed", 2 * kChunk));
  reads[1].kind = fake_wininet::ReadStep::Kind::Queued;
  fake_wininet::QueueReads(reads);
  StartExchange();
  RunHost();
  hostsim::DeliverGoingBackground();
  ASSERT_TRUE(fake_wininet::CompleteQueuedRead()) << "a late completion after the close";
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u) << "the callback was removed with the session";
  // Even a completion posted before the close finds no request.
  WebRequestStatusCallback(nullptr, 2, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, 0);
  RunHost();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_EQ(MessageFileCount(), 0u);
}

}  // namespace
}  // namespace corvane_test
