// Whole activations through the loaded module, over the platform's WinINet on Linux and
// Wine's on Windows, against a scripted HTTP server on 127.0.0.1. The fault matrix runs every
// way an exchange can go wrong and checks the same things after each.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "Answers.h"
#include "LocalHttpServer.h"
#include "LoopbackSocket.h"
#include "ModuleFixture.h"
#include "PlacementConfiguration.h"
#include "StoreExpectations.h"
#ifndef _WIN32
#include <thread>

#include "ProcessResources.h"
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
constexpr const char* kParseLine = "XSD parsing error";
#ifdef _WIN32
// Wine's WinINet reads a body after a 204 or 304 that comes with a length, and reports a reset
// connection with the socket's error rather than WinINet's own.
constexpr bool kWine = true;
constexpr const char* kReadFailedLine = "InternetReadFileEx failed, error --> 10054";
#else
constexpr bool kWine = false;
constexpr const char* kReadFailedLine = "InternetReadFileEx failed, error --> 12031";
#endif
constexpr auto kExchangeLimit = 20s;
constexpr const char* kOldFile = "previousWebTSMFile.xmf";
constexpr const char* kOldBytes = "<?xml version=\"1.0\"?><Messages><M>old</M></Messages>";

class EndToEndTest : public ModuleTest {
 protected:
  void SetUp() override {
    ASSERT_NE(m_server.Port(), 0) << "no HTTP server to talk to";
    Configure(m_server.Url("/tsm/get"));
    hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
    hostsim::SetCondition("Browser.IsConnectionActive", true);
    Util::Variant version;
    version.SetInteger(Util::Variant::TagInt32, 27);
    hostsim::SetVariable("Product.Version", version);
  }

  // An exchange the test left open is closed while its server still runs, so that the
  // server need not wait for the connection to time out.
  void TearDown() override { hostsim::DeliverGoingBackground(); }

  void Configure(const std::string& url) const {
    m_profile.WritePlacementConfiguration(PlacementConfiguration(url, {{"Product.Version", "v"}}));
  }

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

  // Runs the host's messages for a while longer: late completions of closed exchanges.
  static void Settle(std::chrono::milliseconds time = 500ms) {
    hostsim::RunMessagesUntil([] { return false; }, time);
  }

  std::string MessageFile(const std::string& checksum) const {
    return ReadBytes(m_profile.messagesFolder / (checksum + "WebTSMFile.xmf")).value_or("");
  }

  // What holds after every exchange, whatever went wrong: no exception reached the host, no
  // temporary file is left, and the old message file and recorded checksum are as they were
  // unless a complete new pair (file and checksum `stored`) replaced them.
  void ExpectIntact(const std::optional<std::string>& checksumBefore, const char* stored = nullptr,
                    const std::string& storedText = {}) const {
    EXPECT_EQ(hostsim::MessagesFailed(), 0u);
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(m_profile.base, error)) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
    if (fs::is_directory(m_profile.messagesFolder)) {
      EXPECT_EQ(ReadBytes(m_profile.messagesFolder / kOldFile), kOldBytes);
    }
    if (stored == nullptr) {
      EXPECT_EQ(m_profile.RecordedCheckSum(), checksumBefore);
      return;
    }
    EXPECT_EQ(m_profile.RecordedCheckSum(), stored);
    EXPECT_EQ(MessageText(MessageFile(stored)), storedText);
  }

  LocalHttpServer m_server;
};

HttpAnswer Plain(std::size_t size, int status = 200) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = AnswerOfSize("1234", size);
  return answer;
}

HttpAnswer Trickled(std::size_t size, bool chunked, std::chrono::milliseconds pause = 15ms) {
  HttpAnswer answer = Plain(size);
  answer.chunked = chunked;
  answer.trickleBytes = 700;
  answer.tricklePause = pause;
  return answer;
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

// Bytes written as they are, on the raw port; `reset` ends the connection with a reset.
HttpAnswer Raw(std::string bytes, bool reset = false) {
  HttpAnswer answer;
  answer.raw = true;
  answer.reset = reset;
  answer.body = std::move(bytes);
  return answer;
}

std::string Head(const char* statusLine, const std::string& headers) {
  return std::string("HTTP/1.1 ") + statusLine + "\r\n" + headers + "Connection: close\r\n\r\n";
}

std::string Length(std::size_t size) { return "Content-Length: " + std::to_string(size) + "\r\n"; }

// A status with a message set as its body, or with none.
HttpAnswer StatusAnswer(const char* statusLine, bool withBody) {
  const std::string body = withBody ? AnswerOfSize("1234", 300) : "";
  return Raw(Head(statusLine, Length(body.size())) + body);
}

// The message set "gz", gzip-compressed.
constexpr char kGzipped[] =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x09\x4f\x4d\x72\xce\xcf\x2b\x29\xca\xcf\xf1"
    "\x4d\x2d\x2e\x4e\x4c\x4f\x55\x08\x2d\x4e\x2d\x2a\x28\x4a\x4d\x8b\x77\xce\x48\x4d\xce\x0e"
    "\x2e\xcd\xb5\x55\x32\x34\x32\x36\x51\xb2\xb3\x81\xaa\x28\x06\xb2\xec\xd2\xab\x6c\xf4\x7d"
    "\xed\x80\x18\x2e\xa6\x8f\x61\x94\x1d\x00\x80\x6a\xd7\x07\x5e\x00\x00\x00";

// Where the exchange goes.
enum class Via { Server, RawPort, Refused, Unresolvable, NeverAccepts, RedirectToServer };
// What is wrong with the host profile.
enum class Profile {
  Sound,
  NoMessagesFolder,
  FileForMessagesFolder,
  IniNotWritable,
  NoBaseDirectory,
  FullDisk
};
// How the test knows the exchange is over.
enum class End { Line, Completion, Background };

struct FaultRow {
  const char* name;
  Via via;
  HttpAnswer answer;
  const char* line = nullptr;  // the line after the sending line (its start); nullptr: none
  bool stored = false;         // the answer's message set and checksum 1234 replaced the old
  End end = End::Completion;
  Profile profile = Profile::Sound;
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

class FaultMatrix : public EndToEndTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultMatrix, EndsCleanlyAndKeepsTheOldMessagesUnlessANewPairReplacesThem) {
  const FaultRow& row = GetParam();
#ifdef _WIN32
  if (row.profile == Profile::FullDisk) GTEST_SKIP() << "no file size limit under Wine";
#endif
  WriteBytes(m_profile.messagesFolder / kOldFile, kOldBytes);
  m_profile.RecordCheckSum("previous");
  LoopbackSocket silent(true);  // never accepts
  switch (row.via) {
    case Via::Server:
      break;
    case Via::RawPort:
      Configure(m_server.RawUrl("/tsm/get"));
      break;
    case Via::Refused:
      Configure(kRefusedUrl);
      break;
    case Via::Unresolvable:
      Configure("http://corvane-test.invalid/x");
      break;
    case Via::NeverAccepts:
      Configure("http://127.0.0.1:" + std::to_string(silent.port) + "/tsm/get");
      break;
    case Via::RedirectToServer:
      Configure(m_server.RawUrl("/tsm/get"));
      break;
  }
  HttpAnswer answer = row.answer;
  answer.holdUntilReleased = row.profile == Profile::NoBaseDirectory;
  if (row.via == Via::RedirectToServer) {
    answer =
        Raw(Head("302 Found", "Location: " + m_server.Url("/sized/1234/300") + "\r\n" + Length(0)));
  }
  m_server.SetAnswer(answer);
  switch (row.profile) {
    case Profile::Sound:
    case Profile::FullDisk:
      break;
    case Profile::NoMessagesFolder:
      fs::remove_all(m_profile.messagesFolder);
      break;
    case Profile::FileForMessagesFolder:
      fs::remove_all(m_profile.messagesFolder);
      WriteBytes(m_profile.messagesFolder, kOldBytes);
      break;
    case Profile::IniNotWritable:  // a folder in its place: tests run as root, so no mode helps
      fs::remove(m_profile.iniFile);
      fs::create_directory(m_profile.iniFile);
      break;
    case Profile::NoBaseDirectory:
      break;  // removed once the request is on its way
  }
  auto checksumBefore = m_profile.RecordedCheckSum();

#ifndef _WIN32
  rlimit original{};
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  if (row.profile == Profile::FullDisk) {
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
#endif
  m_module.InvokeWebTsm();
  hostsim::RunPendingMessages();
  if (row.profile == Profile::NoBaseDirectory) {
    EXPECT_TRUE(m_server.WaitForRequests(1, kExchangeLimit));
    fs::remove_all(m_profile.base);
    checksumBefore = std::nullopt;
    m_server.Release();
  }
  const std::size_t lines = row.line == nullptr ? 1 : 2;
  switch (row.end) {
    case End::Line:
      EXPECT_TRUE(RunUntilLogLines(lines));
      break;
    case End::Completion:
      EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                            kExchangeLimit));
      break;
    case End::Background:
      Settle(1s);
      hostsim::DeliverGoingBackground();
      break;
  }
  Settle();
#ifndef _WIN32
  if (row.profile == Profile::FullDisk) setrlimit(RLIMIT_FSIZE, &original);
  signal(SIGXFSZ, oldHandler);
#endif

  const auto texts = hostsim::LogTexts();
  ASSERT_EQ(texts.size(), lines) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[0], kSendingLine);
  if (row.line != nullptr) {
    EXPECT_THAT(texts[1], StartsWith(row.line));
  }
  ExpectIntact(checksumBefore, row.stored ? "1234" : nullptr,
               row.stored ? MessageText(row.answer.raw || row.via == Via::RedirectToServer
                                            ? AnswerOfSize("1234", 300)
                                            : row.answer.body)
                          : "");
}

const std::string kBody = AnswerOfSize("1234", 3 * kChunk);

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Values(
        FaultRow{"Refused", Via::Refused, {}}, FaultRow{"Unresolvable", Via::Unresolvable, {}},
        FaultRow{"NeverAccepted", Via::NeverAccepts, {}, nullptr, false, End::Background},
        FaultRow{"StallEndedByBackground", Via::Server, Trickled(8 * kChunk, true, 300ms), nullptr,
                 false, End::Background},
        FaultRow{"SlowTrickle", Via::Server, Trickled(6 * kChunk, false), kSavedLine, true,
                 End::Line},
        FaultRow{"SlowTrickleChunked", Via::Server, Trickled(6 * kChunk, true), kSavedLine, true,
                 End::Line},
        FaultRow{"Empty", Via::Server, Plain(0)},
        FaultRow{"OneByte", Via::Server, Plain(1), kParseLine, false, End::Line},
        FaultRow{"OneRead", Via::Server, Plain(kChunk), kSavedLine, true, End::Line},
        FaultRow{"TwoReads", Via::Server, Plain(kChunk + 1), kSavedLine, true, End::Line},
        FaultRow{"TwentyFourReads", Via::Server, Plain(24 * kChunk), kSavedLine, true, End::Line},
        FaultRow{"TwentyFiveReads", Via::Server, Plain(25 * kChunk), kHugeLine, false, End::Line},
        FaultRow{"ManyMoreReads", Via::Server, Plain(60 * kChunk), kHugeLine, false, End::Line},
        FaultRow{"Status500", Via::Server, Plain(3 * kChunk, 500), kSavedLine, true, End::Line},
        FaultRow{"Status500Empty", Via::Server, Plain(0, 500)},
        FaultRow{"Status404", Via::RawPort, StatusAnswer("404 Not Found", true), kSavedLine, true,
                 End::Line},
        FaultRow{"Status404Empty", Via::RawPort, StatusAnswer("404 Not Found", false)},
        FaultRow{"Status204", Via::RawPort, StatusAnswer("204 No Content", true),
                 kWine ? kSavedLine : nullptr, kWine},
        FaultRow{"Status204Empty", Via::RawPort, StatusAnswer("204 No Content", false)},
        FaultRow{"Status304", Via::RawPort, StatusAnswer("304 Not Modified", true),
                 kWine ? kSavedLine : nullptr, kWine},
        FaultRow{"Status304Empty", Via::RawPort, StatusAnswer("304 Not Modified", false)},
        FaultRow{"ResetBeforeStatusLine", Via::RawPort, Raw("", true)},
        FaultRow{"ResetAfterHeaders", Via::RawPort, Raw(Head("200 OK", Length(kBody.size())), true),
                 kReadFailedLine, false, End::Line},
        FaultRow{
            "ResetMidBody", Via::RawPort,
            Raw(Head("200 OK", Length(kBody.size())) + kBody.substr(0, kBody.size() / 2), true),
            kReadFailedLine, false, End::Line},
        FaultRow{"MalformedChunks", Via::RawPort,
                 Raw(Head("200 OK", "Transfer-Encoding: chunked\r\n") + "zz\r\n" + kBody)},
        FaultRow{"UnaskedGzip", Via::RawPort,
                 Raw(Head("200 OK", "Content-Encoding: gzip\r\n" + Length(sizeof kGzipped - 1)) +
                     std::string(kGzipped, sizeof kGzipped - 1)),
                 kParseLine, false, End::Line},
        FaultRow{"NoOperationAndCheckSumWithoutMessages", Via::Server,
                 Answering(ServiceAnswer("1234", "<NoOperation/>"))},
        FaultRow{"XhtmlErrorPage", Via::Server,
                 Answering("<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/"
                           "xhtml\"><head><title>Bad Gateway</title></head><body><h1>502 "
                           "Bad Gateway</h1></body></html>\n",
                           502)},
        FaultRow{"NamespacedRoot", Via::Server,
                 Answering("<WebControlMessage xmlns=\"urn:corvane:messages\" "
                           "Userpref_CheckSum=\"1234\">" +
                           std::string(kStoredMessages) + "</WebControlMessage>")},
        FaultRow{"MalformedBody", Via::Server,
                 Answering("<WebControlMessage Userpref_CheckSum=\"1234\"><Messages><M>x"
                           "</Messages></WebControlMessage>"),
                 "XSD parsing error in ", false, End::Line},
        FaultRow{"RedirectToTheSameHost", Via::RedirectToServer, {}, kSavedLine, true, End::Line},
        FaultRow{
            "RedirectToARefusedPort", Via::RawPort,
            Raw(Head("302 Found", "Location: " + std::string(kRefusedUrl) + "\r\n" + Length(0)))},
        FaultRow{"NoMessagesFolder", Via::Server, Plain(500), nullptr, false, End::Completion,
                 Profile::NoMessagesFolder},
        FaultRow{"FileForMessagesFolder", Via::Server, Plain(500), nullptr, false, End::Completion,
                 Profile::FileForMessagesFolder},
        FaultRow{"IniNotWritable", Via::Server, Plain(500), nullptr, false, End::Completion,
                 Profile::IniNotWritable},
        FaultRow{"NoBaseDirectory", Via::Server, Plain(500), nullptr, false, End::Completion,
                 Profile::NoBaseDirectory},
        FaultRow{"FullDisk", Via::Server, Plain(3 * kChunk), nullptr, false, End::Completion,
                 Profile::FullDisk}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

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

// The declaration, then the Messages element's markup; the line feed in the message text
// reaches the disk as CR LF. Wine's MSXML indents the markup with tabs and CR LF of its own,
// so only the Linux serialisation is compared byte for byte.
TEST_F(EndToEndTest, TheMessagesElementIsStoredWithItsDeclaration) {
  m_server.SetAnswer(Answering(ServiceAnswer("1234", kStoredMessages)));
  Activate();
  ASSERT_TRUE(RunUntilLogLines(2)) << ::testing::PrintToString(hostsim::LogTexts());
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine, kSavedLine));
  EXPECT_EQ(m_profile.RecordedCheckSum(), "1234");
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

TEST_F(EndToEndTest, EachStoredSetIsFiledByItsCheckSumWhichTheNextGetSendsBack) {
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
    EXPECT_EQ(requests.back().method, "GET");
    EXPECT_EQ(requests.back().target, std::string("/tsm/get?v=27&cs=") + step.sentBack);
    EXPECT_EQ(requests.back().body, "");
    EXPECT_TRUE(requests.back().contentLength.empty() || requests.back().contentLength == "0");
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
  WriteBytes(m_profile.messagesFolder / kOldFile, kOldBytes);
  const HttpAnswer answer = Trickled(6 * kChunk, true, overlap.againWhileReading ? 40ms : 1ms);
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
  Settle();  // late completions of closed ones

  std::vector<std::string> expected(sendings, kSendingLine);
  expected.emplace_back(kSavedLine);
  EXPECT_EQ(hostsim::LogTexts(), expected);
  EXPECT_EQ(FilesIn(m_profile.messagesFolder),
            (std::set<std::string>{kOldFile, "1234WebTSMFile.xmf"}));
  ExpectIntact(std::nullopt, "1234", MessageText(answer.body));
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
  EXPECT_TRUE(FilesIn(m_profile.messagesFolder).empty());
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
  const auto before = corvane::host::CurrentProcessResources();
  ASSERT_TRUE(before);

  constexpr std::size_t kExchanges = 1000;
  for (std::size_t i = 1; i <= kExchanges; ++i) {
    hostsim::ClearLog();
    Activate();
    ASSERT_TRUE(RunUntilLogLines(2)) << "exchange " << i;
    ASSERT_EQ(hostsim::LogTexts()[1], kSavedLine) << "exchange " << i;
  }
  EXPECT_EQ(m_server.Requests().size(), kExchanges + 1);
  // Descriptors and threads may be given back a little after the exchange that held them.
  auto after = corvane::host::CurrentProcessResources();
  for (int i = 0; i < 250 && (after->descriptors > before->descriptors ||
                              after->threads > before->threads); ++i) {
    std::this_thread::sleep_for(20ms);
    after = corvane::host::CurrentProcessResources();
  }
  EXPECT_LE(after->descriptors, before->descriptors);
  EXPECT_LE(after->threads, before->threads);
}
#endif

}  // namespace
}  // namespace corvane_test
