// Whole activations through the loaded module, over the platform's WinINet on Linux and
// Wine's on Windows, against a scripted HTTP server on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "Answers.h"
#include "LocalHttpServer.h"
#include "ModuleFixture.h"
#include "PlacementConfiguration.h"
#include "StoreExpectations.h"
#ifndef _WIN32
#include "ProcessCounts.h"
#endif

namespace corvane_test {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::size_t kChunk = 2047;
constexpr const char* kSendingLine = "Sending the TSM request";
constexpr const char* kHugeLine = "TBD: huge response";
constexpr auto kExchangeLimit = 20s;

class EndToEndTest : public ModuleTest {
 protected:
  void SetUp() override {
    ASSERT_NE(m_server.Port(), 0) << "no HTTP server to talk to";
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

  // After Activate(): runs the host's messages until the module has processed the answer.
  // Processing parses the answer in a document of the host's factory, the only one after the
  // placement configuration's, and ends within the message that began it.
  bool RunUntilAnswerProcessed() {
    const unsigned processed = hostsim::DomDocumentsCreated() + 1;
    return hostsim::RunMessagesUntil(
        [processed] { return hostsim::DomDocumentsCreated() >= processed; }, kExchangeLimit);
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
    EXPECT_TRUE(
        hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
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
  // A refused connection may complete before the handshake's caller looks at the queue, so
  // only the completion's arrival as a message of its own is waited for; that the handshake
  // never waits for the network is shown with a held answer.
  Activate();
  EXPECT_TRUE(
      hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
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
  ASSERT_TRUE(
      hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
  hostsim::DeliverGoingBackground();
  // Late completions, if any, find no request.
  hostsim::RunMessagesUntil([] { return false; }, 500ms);
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine));
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_TRUE(NoMessageFile());
}

// A service answer: a WebControlMessage with this checksum attribute and content.
std::string ServiceAnswer(const std::string& checksum, const std::string& content) {
  return "<WebControlMessage Userpref_CheckSum=\"" + checksum + "\">" + content +
         "</WebControlMessage>";
}

HttpAnswer Answering(std::string body, int status = 200) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  return answer;
}

constexpr const char* kStoredMessages =
    "<Messages><Message id=\"1\">Line one\nLine two</Message><Message id=\"2\"/></Messages>";

struct StoringCase {
  const char* name;
  HttpAnswer answer;
  bool stored;             // 1234WebTSMFile.xmf written and 1234 recorded
  const char* secondLine;  // the line logged after the sending line; nullptr: none
};

void PrintTo(const StoringCase& storing, std::ostream* out) { *out << storing.name; }

class StoringTest : public EndToEndTest, public ::testing::WithParamInterface<StoringCase> {};

TEST_P(StoringTest, OnlyAMessageSetWithItsCheckSumIsStoredAndRecorded) {
  m_profile.RecordCheckSum("previous");
  m_server.SetAnswer(GetParam().answer);
  Activate();
  ASSERT_TRUE(RunUntilAnswerProcessed()) << ::testing::PrintToString(hostsim::LogTexts());

  const auto texts = hostsim::LogTexts();
  ASSERT_EQ(texts.size(), GetParam().secondLine == nullptr ? 1u : 2u)
      << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[0], kSendingLine);
  if (GetParam().secondLine != nullptr) {
    EXPECT_EQ(texts[1].rfind(GetParam().secondLine, 0), 0u) << texts[1];
  }
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  if (!GetParam().stored) {
    EXPECT_TRUE(FilesIn(m_profile.messagesFolder).empty());
    EXPECT_EQ(m_profile.RecordedCheckSum(), "previous");
    return;
  }
  EXPECT_EQ(FilesIn(m_profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
  EXPECT_EQ(m_profile.RecordedCheckSum(), "1234");

  // The declaration, then the Messages element's markup; the line feed in the message text
  // reaches the disk as CR LF. Wine's MSXML indents the markup with tabs and CR LF of its own,
  // so only the Linux serialisation is compared byte for byte.
  const std::string bytes = MessageFile("1234");
  const std::string markup =
      "<Messages><Message id=\"1\">Line one\r\nLine two</Message>"
      "<Message id=\"2\"/></Messages>";
  ExpectOnlyCrLfLineBreaks(bytes);
  EXPECT_EQ(bytes.rfind(std::string(kDeclaration) + "<Messages>", 0), 0u) << bytes;
  EXPECT_EQ(WithoutIndentation(bytes), kDeclaration + markup);
#ifndef _WIN32
  EXPECT_EQ(bytes, kDeclaration + markup);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StoringTest,
    ::testing::Values(
        StoringCase{"CheckSumAndMessages", Answering(ServiceAnswer("1234", kStoredMessages)), true,
                    kSavedLine},
        StoringCase{"NoOperationAndCheckSumWithoutMessages",
                    Answering(ServiceAnswer("1234", "<NoOperation/>")), false, nullptr},
        StoringCase{"XhtmlErrorPage",
                    Answering("<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/"
                              "xhtml\"><head><title>Bad Gateway</title></head><body><h1>502 "
                              "Bad Gateway</h1></body></html>\n",
                              502),
                    false, nullptr},
        StoringCase{"NamespacedRoot",
                    Answering("<WebControlMessage xmlns=\"urn:corvane:messages\" "
                              "Userpref_CheckSum=\"1234\">" +
                              std::string(kStoredMessages) + "</WebControlMessage>"),
                    false, nullptr},
        StoringCase{"MalformedBody",
                    Answering("<WebControlMessage Userpref_CheckSum=\"1234\"><Messages><M>x"
                              "</Messages></WebControlMessage>"),
                    false, "XSD parsing error in "}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(EndToEndTest, EachStoredSetIsFiledByItsCheckSumWhichTheNextRequestSendsBack) {
  m_profile.WritePlacementConfiguration(PlacementConfiguration(
      m_server.Url("/tsm/get"), {{"Product.Version", "v"}, {"CheckSum", "cs"}}));
  struct Step {
    const char* checksum;
    const char* message;
    const char* sentBack;  // the checksum the request carries
  };
  // The same checksum again overwrites its file; another one adds a file beside it.
  const Step steps[] = {{"1234", "first", "0"},
                        {"1234", "second", "1234"},
                        {"1235", "third", "1234"},
                        {"1235", "fourth", "1235"}};
  std::size_t exchanges = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.message);
    hostsim::ClearLog();
    m_server.SetAnswer(Answering(ServiceAnswer(
        step.checksum, std::string("<Messages><M>") + step.message + "</M></Messages>")));
    Activate();
    ASSERT_TRUE(RunUntilAnswerProcessed()) << ::testing::PrintToString(hostsim::LogTexts());
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine, kSavedLine));
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), ++exchanges);
    EXPECT_EQ(requests.back().target, std::string("/tsm/get?v=27&cs=") + step.sentBack);
    EXPECT_EQ(m_profile.RecordedCheckSum(), step.checksum);
    EXPECT_EQ(MessageText(MessageFile(step.checksum)), step.message);
  }
  EXPECT_EQ(FilesIn(m_profile.messagesFolder),
            (std::set<std::string>{"1234WebTSMFile.xmf", "1235WebTSMFile.xmf"}));
  EXPECT_EQ(MessageText(MessageFile("1234")), "second");
}

// Activations that overlap: each one closes the exchange before it, whose completions
// (already posted, or still coming from WinINet) must not be taken for the last exchange's.
// Only the last exchange's answer is stored, once.
struct OverlapCase {
  const char* name;
  std::size_t callsAtOnce;  // calls before the host runs anything
  bool againWhileReading;   // one more call once the answer's reading has begun
};

void PrintTo(const OverlapCase& overlap, std::ostream* out) { *out << overlap.name; }

class OverlapTest : public EndToEndTest, public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlapTest, OnlyTheLastExchangesAnswerIsStored) {
  const OverlapCase& overlap = GetParam();
  HttpAnswer answer = Trickled(6 * kChunk, true);
  answer.body = AnswerOfSize("1234", 6 * kChunk);
  answer.tricklePause = overlap.againWhileReading ? 40ms : 1ms;
  m_server.SetAnswer(answer);
  for (std::size_t call = 0; call < overlap.callsAtOnce; ++call) m_module.InvokeWebTsm();
  ASSERT_EQ(hostsim::RunPendingMessages(), overlap.callsAtOnce);
  std::size_t sendings = overlap.callsAtOnce;
  if (overlap.againWhileReading) {
    ASSERT_TRUE(
        hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
    m_module.InvokeWebTsm();
    ++sendings;
  }
  ASSERT_TRUE(RunUntilLogLines(sendings + 1)) << ::testing::PrintToString(hostsim::LogTexts());
  hostsim::RunMessagesUntil([] { return false; }, 300ms);  // late completions of closed ones

  std::vector<std::string> expected(sendings, kSendingLine);
  expected.emplace_back(kSavedLine);
  EXPECT_EQ(hostsim::LogTexts(), expected);
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_EQ(FilesIn(m_profile.messagesFolder), std::set<std::string>{"1234WebTSMFile.xmf"});
  EXPECT_EQ(MessageText(MessageFile("1234")).size(), MessageText(answer.body).size());
  EXPECT_EQ(m_profile.RecordedCheckSum(), "1234");
}

INSTANTIATE_TEST_SUITE_P(Calls, OverlapTest,
                         ::testing::Values(OverlapCase{"TwoAtOnce", 2, false},
                                           OverlapCase{"ThreeAtOnce", 3, false},
                                           OverlapCase{"OneWhileReading", 1, true}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// What crosses the host/module boundary as C++ objects: exceptions both ways (the module's
// leaving Execute into the host's runner, the host's raised by its thrower when its factory
// makes no document) and the blocks of the host's strings.
TEST_F(EndToEndTest, AnExceptionOnTheAnswerLeavesExecuteToTheHostsRunner) {
  m_server.SetAnswer(Answering(ServiceAnswer("1234", kStoredMessages)));
  Activate();
  hostsim::SetDomFactoryResult(E_OUTOFMEMORY);  // the answer's document cannot be made
  ASSERT_TRUE(
      hostsim::RunMessagesUntil([] { return hostsim::MessagesFailed() >= 1; }, kExchangeLimit));
  EXPECT_THAT(hostsim::LogTexts(), Contains(StartsWith("Message DelayedWebRequest left Execute")));
  EXPECT_TRUE(NoMessageFile());
  EXPECT_EQ(m_profile.RecordedCheckSum(), std::nullopt);
}

TEST_F(EndToEndTest, TheHostsExceptionWhileBuildingTheRequestIsDroppedAndNothingIsSent) {
  hostsim::SetDomFactoryResult(E_OUTOFMEMORY);
  Activate();
  hostsim::RunMessagesUntil([] { return false; }, 300ms);
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  EXPECT_TRUE(m_server.Requests().empty());
  EXPECT_THAT(hostsim::LogTexts(), Not(Contains(kSendingLine)));
}

TEST_F(EndToEndTest, TheHostStringsOfAnActivationGoBackToTheHostAllocatorWhole) {
  m_server.SetAnswer(Answering(ServiceAnswer("1234", kStoredMessages)));
  const auto store = [this] {
    Activate();
    return RunUntilAnswerProcessed();
  };
  ASSERT_TRUE(store());  // from here on the worker keeps its strings
  const hostsim::MemoryStats before = hostsim::GetMemoryStats();
  ASSERT_TRUE(store());
  const hostsim::MemoryStats after = hostsim::GetMemoryStats();
  EXPECT_GT(after.allocations, before.allocations);
  EXPECT_EQ(after.releases - before.releases, after.allocations - before.allocations);
  EXPECT_EQ(after.liveBytes, before.liveBytes);
}

#ifndef _WIN32
// Linux only: descriptors and threads are counted through /proc, and a thousand exchanges
// take too long under Wine.
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
#endif

}  // namespace
}  // namespace corvane_test
