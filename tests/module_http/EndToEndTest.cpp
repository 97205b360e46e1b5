// Whole activations through the loaded module, over the platform's WinINet, against an HTTP
// server of the test's own on 127.0.0.1.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Answers.h"
#include "LocalHttpServer.h"
#include "ModuleFixture.h"
#include "PlacementConfiguration.h"
#include "ProcessCounts.h"

namespace corvane_test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::size_t kChunk = 2047;
constexpr const char* kSendingLine = "Sending the TSM request";
constexpr const char* kSavedLine = "Received the response and saved";
constexpr const char* kHugeLine = "TBD: huge response";
constexpr auto kExchangeLimit = 20s;

class EndToEndTest : public ModuleTest {
protected:
  void SetUp() override {
    m_profile.WritePlacementConfiguration(
        PlacementConfiguration(m_server.Url("/tsm/get"), {{"Product.Version", "v"}}));
    hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
    hostsim::SetCondition("Browser.IsConnectionActive", true);
    Util::Variant version;
    version.SetInteger(Util::Variant::TagInt32, 27);
    hostsim::SetVariable("Product.Version", version);
  }

  // An exchange the test left open is closed while its server still runs, so that the
  // server need not wait for the connection to time out.
  void TearDown() override { hostsim::DeliverGoingBackground(); }

  // The host calls the module and runs the handshake; the request is on its way.
  void Activate() {
    m_module.InvokeWebTsm();
    ASSERT_EQ(hostsim::RunPendingMessages(), 1u);
  }

  // Runs the host's messages until the log shows `lines` lines.
  bool RunUntilLogLines(std::size_t lines) {
    return hostsim::RunMessagesUntil([lines] { return hostsim::LogTexts().size() >= lines; },
                                     kExchangeLimit);
  }

  std::string MessageFile(const std::string& checksum) const {
    return ReadBytes(m_profile.messagesFolder / (checksum + "WebTSMFile.xmf")).value_or("");
  }

  bool NoMessageFile() const { return std::filesystem::is_empty(m_profile.messagesFolder); }

  LocalHttpServer m_server;
};

struct BodyCase {
  const char* name;
  HttpAnswer answer;
  const char* lastLine;  // nullptr: only the sending line
};

void PrintTo(const BodyCase& body, std::ostream* out) { *out << body.name; }

class BodyTest : public EndToEndTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(BodyTest, TheWholeBodyIsReadAndHandedOn) {
  const HttpAnswer& answer = GetParam().answer;
  m_server.SetAnswer(answer);
  Activate();
  // The whole answer is on this machine before the host reads it, so every read but the
  // last fills its 2047 bytes and the read count is the body's own.
  ASSERT_TRUE(m_server.WaitForAnswersSent(1, kExchangeLimit));
  std::this_thread::sleep_for(50ms);

  if (GetParam().lastLine == nullptr) {
    EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                          kExchangeLimit));
    hostsim::RunMessagesUntil([] { return false; }, 200ms);
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine));
    EXPECT_TRUE(NoMessageFile());
    return;
  }
  ASSERT_TRUE(RunUntilLogLines(2)) << ::testing::PrintToString(hostsim::LogTexts());
  const auto texts = hostsim::LogTexts();
  EXPECT_EQ(texts[0], kSendingLine);
  EXPECT_THAT(texts[1], HasSubstr(GetParam().lastLine));
  if (std::string(GetParam().lastLine) == kSavedLine) {
    EXPECT_EQ(MessageText(MessageFile("body")).size(), MessageText(answer.body).size());
  } else {
    EXPECT_TRUE(NoMessageFile());
  }
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
}

HttpAnswer Plain(std::size_t size, int status = 200) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = AnswerOfSize("body", size);
  return answer;
}

HttpAnswer Chunked(std::size_t size) {
  HttpAnswer answer = Plain(size);
  answer.chunked = true;
  answer.trickleBytes = 1000;
  return answer;
}

HttpAnswer Trickled(std::size_t size, bool chunked) {
  HttpAnswer answer = Plain(size);
  answer.chunked = chunked;
  answer.trickleBytes = 700;
  answer.tricklePause = 15ms;
  return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, BodyTest,
    ::testing::Values(BodyCase{"Empty", Plain(0), nullptr},
                      BodyCase{"OneByte", Plain(1), "XSD parsing error"},
                      BodyCase{"OneRead", Plain(kChunk), kSavedLine},
                      BodyCase{"TwoReads", Plain(kChunk + 1), kSavedLine},
                      BodyCase{"TwentyFourReads", Plain(24 * kChunk), kSavedLine},
                      BodyCase{"TwentyFiveReads", Plain(25 * kChunk), kHugeLine},
                      BodyCase{"Chunked", Chunked(5 * kChunk), kSavedLine},
                      BodyCase{"ServerError", Plain(3 * kChunk, 500), kSavedLine}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(EndToEndTest, ASlowlyTrickledBodyIsReadWhole) {
  for (const bool chunked : {false, true}) {
    SCOPED_TRACE(chunked ? "chunked" : "with length");
    hostsim::ClearLog();
    const HttpAnswer answer = Trickled(6 * kChunk, chunked);
    m_server.SetAnswer(answer);
    Activate();
    ASSERT_TRUE(RunUntilLogLines(2)) << ::testing::PrintToString(hostsim::LogTexts());
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine, kSavedLine));
    EXPECT_EQ(MessageText(MessageFile("body")).size(), MessageText(answer.body).size());
    std::filesystem::remove(m_profile.messagesFolder / "bodyWebTSMFile.xmf");
  }
}

TEST_F(EndToEndTest, TheRequestIsAGetWithoutBodyToTheParsedObject) {
  m_server.SetAnswer(Plain(200));
  Activate();
  ASSERT_TRUE(RunUntilLogLines(2));
  const auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/tsm/get?v=27");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_TRUE(requests[0].contentLength.empty() || requests[0].contentLength == "0");
}

TEST_F(EndToEndTest, TheHostThreadNeverWaitsForTheAnswer) {
  HttpAnswer answer = Plain(300);
  answer.holdUntilReleased = true;
  m_server.SetAnswer(answer);
  Activate();  // returns while the server still holds the answer back
  ASSERT_TRUE(m_server.WaitForRequests(1, kExchangeLimit));
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u) << "nothing completes before the answer";
  m_server.Release();
  ASSERT_TRUE(RunUntilLogLines(2));
  EXPECT_TRUE(m_server.ReleasedInTime()) << "the handshake waited for the network";
  EXPECT_EQ(hostsim::LogTexts()[1], kSavedLine);
}

struct UnreachableCase {
  const char* name;
  const char* url;
};

class UnreachableTest : public EndToEndTest,
                        public ::testing::WithParamInterface<UnreachableCase> {};

TEST_P(UnreachableTest, TheExchangeEndsWithoutProcessing) {
  m_profile.WritePlacementConfiguration(PlacementConfiguration(GetParam().url));
  Activate();
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u) << "the send is still under way";
  EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                        kExchangeLimit));
  hostsim::RunMessagesUntil([] { return false; }, 200ms);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine));
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_TRUE(NoMessageFile());
}

INSTANTIATE_TEST_SUITE_P(Targets, UnreachableTest,
                         ::testing::Values(UnreachableCase{"Refused", kRefusedUrl},
                                           UnreachableCase{"UnknownName",
                                                           "http://corvane-test.invalid/x"}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(EndToEndTest, GoingToTheBackgroundInTheMiddleOfATransferEndsIt) {
  HttpAnswer answer = Trickled(8 * kChunk, true);
  answer.tricklePause = 40ms;
  m_server.SetAnswer(answer);
  Activate();
  ASSERT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                        kExchangeLimit));
  hostsim::DeliverGoingBackground();
  // Late completions, if any, find no request.
  hostsim::RunMessagesUntil([] { return false; }, 500ms);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine));
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_TRUE(NoMessageFile());
}

TEST_F(EndToEndTest, AThousandExchangesLeaveNoDescriptorOrThreadBehind) {
  m_server.SetAnswer(Plain(500));
  Activate();  // the first exchange starts what lives on (server connections, caches)
  ASSERT_TRUE(RunUntilLogLines(2));
  const ProcessCounts before = CurrentProcessCounts();

  constexpr std::size_t kExchanges = 1000;
  for (std::size_t i = 1; i <= kExchanges; ++i) {
    hostsim::ClearLog();
    Activate();
    ASSERT_TRUE(RunUntilLogLines(2)) << "exchange " << i;
    ASSERT_EQ(hostsim::LogTexts()[1], kSavedLine) << "exchange " << i;
  }
  EXPECT_EQ(m_server.Requests().size(), kExchanges + 1);
  EXPECT_TRUE(WaitForProcessCounts(before, 5s))
      << "before: " << before << ", after: " << CurrentProcessCounts();
}

}  // namespace
}  // namespace corvane_test
