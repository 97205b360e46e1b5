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
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "Answers.h"
#include "LocalHttpServer.h"
#include "LoopbackSocket.h"
#include "ModuleFixture.h"
#include "PlacementConfiguration.h"
#include "StoreExpectations.h"
#ifndef _WIN32
#include "ProcessResources.h"
#include "platform/linux/PlatformTestSupport.h"
#endif

namespace corvane_test {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
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
// Old message files: the recorded checksum's, and the one a stored answer replaces.
constexpr const char* kOldFile = "previousWebTSMFile.xmf";
constexpr const char* kReplacedFile = "1234WebTSMFile.xmf";
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

  bool RunUntilLogLines(std::size_t lines) {
    return hostsim::RunMessagesUntil([lines] { return hostsim::LogTexts().size() >= lines; },
                                     kExchangeLimit);
  }

  // Runs the host's messages for a while longer: late completions of closed exchanges.
  static void Settle(std::chrono::milliseconds time = 500ms) {
    hostsim::RunMessagesUntil([] { return false; }, time);
  }

  std::string MessageFile(const std::string& checksum) const {
    return ReadBytes(m_profile.messagesFolder / (checksum + "WebTSMFile.xmf")).value_or("");
  }

  void WriteOldFiles() const {
    for (const char* name : {kOldFile, kReplacedFile}) {
      WriteBytes(m_profile.messagesFolder / name, kOldBytes);
    }
  }

  // What holds after every exchange, whatever went wrong: no exception reached the host, no
  // temporary file is left, the old message files are whole and the recorded checksum as it
  // was unless a complete new pair (checksum 1234, its file holding `storedText`) replaced
  // them, and nothing else.
  void ExpectIntact(const std::optional<std::string>& checksumBefore,
                    const std::optional<std::string>& storedText) const {
    EXPECT_EQ(hostsim::MessagesFailed(), 0u);
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(m_profile.base, error)) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
    if (fs::is_directory(m_profile.messagesFolder)) {
      EXPECT_EQ(ReadBytes(m_profile.messagesFolder / kOldFile), kOldBytes);
      EXPECT_EQ(FilesIn(m_profile.messagesFolder), (std::set<std::string>{kOldFile, kReplacedFile}))
          << "a partial or second message file";
      EXPECT_EQ(MessageText(MessageFile("1234")), storedText.value_or("old"));
    }
    EXPECT_EQ(m_profile.RecordedCheckSum(), storedText ? "1234" : checksumBefore);
  }

  LocalHttpServer m_server;
};

HttpAnswer Plain(std::size_t size, int status = 200) {
  return {.status = status, .body = AnswerOfSize("1234", size)};
}

HttpAnswer Trickled(std::size_t size, bool chunked, std::chrono::milliseconds pause = 15ms) {
  return {.body = AnswerOfSize("1234", size),
          .chunked = chunked,
          .trickleBytes = 700,
          .tricklePause = pause};
}

std::string ServiceAnswer(const std::string& checksum, const std::string& content) {
  return "<WebControlMessage Userpref_CheckSum=\"" + checksum + "\">" + content +
         "</WebControlMessage>";
}

// Bytes written as they are, on the raw port; `reset` ends the connection with a reset.
HttpAnswer Raw(std::string bytes, bool reset = false) {
  return {.body = std::move(bytes), .raw = true, .reset = reset};
}

std::string Head(const char* statusLine, const std::string& headers) {
  return std::string("HTTP/1.1 ") + statusLine + "\r\n" + headers + "Connection: close\r\n\r\n";
}

std::string Length(std::size_t size) { return "Content-Length: " + std::to_string(size) + "\r\n"; }

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

enum class Via { Server, RawPort, Refused, Unresolvable, NeverAccepts, RedirectToServer, Https };
enum class Profile { Sound, FileForMessagesFolder, NoBaseDirectory, FullDisk };

struct FaultRow {
  const char* name;
  Via via;
  HttpAnswer answer;
  const char* line = nullptr;  // the line after the sending line (its start); nullptr: none
  std::size_t stored = 0;      // AnswerOfSize("1234", stored) replaced the old pair; 0: none
  Profile profile = Profile::Sound;
  bool background = false;  // the exchange ends when the host goes to the background
  std::function<void()> arrange = nullptr;  // runs just before the activation
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

class FaultMatrix : public EndToEndTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultMatrix, EndsCleanlyAndKeepsTheOldMessagesUnlessANewPairReplacesThem) {
  const FaultRow& row = GetParam();
#ifdef _WIN32
  if (row.profile == Profile::FullDisk) GTEST_SKIP() << "no file size limit under Wine";
#endif
  WriteOldFiles();
  m_profile.RecordCheckSum("previous");
  LoopbackSocket silent(true);  // never accepts
  // Indexed by Via; TLS to a plain HTTP server gets no answer.
  const std::string urls[] = {m_server.Url("/tsm/get"),
                              m_server.RawUrl("/tsm/get"),
                              kRefusedUrl,
                              "http://corvane-test.invalid/x",
                              "http://127.0.0.1:" + std::to_string(silent.port) + "/tsm/get",
                              m_server.RawUrl("/tsm/get"),
                              "https://127.0.0.1:" + std::to_string(m_server.Port()) + "/tsm/get"};
  Configure(urls[static_cast<int>(row.via)]);
  HttpAnswer answer = row.answer;
  answer.holdUntilReleased = row.profile == Profile::NoBaseDirectory;
  if (row.via == Via::RedirectToServer) {
    answer =
        Raw(Head("302 Found", "Location: " + m_server.Url("/sized/1234/300") + "\r\n" + Length(0)));
  }
  m_server.SetAnswer(answer);
  if (row.profile == Profile::FileForMessagesFolder) {
    fs::remove_all(m_profile.messagesFolder);
    WriteBytes(m_profile.messagesFolder, kOldBytes);
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
  if (row.arrange) row.arrange();
  m_module.InvokeWebTsm();
  hostsim::RunPendingMessages();
  if (row.profile == Profile::NoBaseDirectory) {
    // The activation returned while the server holds the answer back.
    EXPECT_TRUE(m_server.WaitForRequests(1, kExchangeLimit));
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u) << "nothing completes before the answer";
    fs::remove_all(m_profile.base);
    checksumBefore = std::nullopt;
    m_server.Release();
    EXPECT_TRUE(m_server.ReleasedInTime()) << "the handshake waited for the network";
  }
  const std::size_t lines = row.line == nullptr ? 1 : 2;
  if (row.background) {
    Settle(1s);
    hostsim::DeliverGoingBackground();
  } else if (row.line != nullptr) {
    EXPECT_TRUE(RunUntilLogLines(lines));
  } else {
    EXPECT_TRUE(
        hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
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
  std::optional<std::string> storedText;
  if (row.stored != 0) storedText = MessageText(AnswerOfSize("1234", row.stored));
  ExpectIntact(checksumBefore, storedText);
}

const std::string kBody = AnswerOfSize("1234", 3 * kChunk);
const std::string kSmallBody = AnswerOfSize("1234", 300);

// A read's text ends at its first zero byte; a read that begins with one adds nothing but
// does not end the answer. The pieces come apart, so that each read takes one.
HttpAnswer WithZeros() {
  return {
      .body = kSmallBody.substr(0, 50) + std::string(2 * kChunk - 50, '\0') + kSmallBody.substr(50),
      .trickleBytes = kChunk,
      .tricklePause = 30ms};
}

#ifndef _WIN32
// The platform layer fails one of the module's calls at once. A call left pending is no
// failure: the next one fails on the handle the pending one did not give.
FaultRow FailedCall(const char* name, PlatformInternetCall call, DWORD error, const char* line) {
  FaultRow row{name, Via::Server, Plain(300), line};
  row.arrange = [call, error] { PlatformFailNextInternetCall(call, error); };
  return row;
}

using Call = PlatformInternetCall;
// clang-format off
INSTANTIATE_TEST_SUITE_P(SessionSteps, FaultMatrix, ::testing::Values(
    FailedCall("Open", Call::Open, 8, "InternetOpen failed, error   --> 8"),
    FailedCall("Callback", Call::SetStatusCallback, 87,
               "InternetSetStatusCallback failed, error   --> 87"),
    FailedCall("Connect", Call::Connect, 12029, "InternetConnect failed, error --> 12029"),
    FailedCall("ConnectPending", Call::Connect, ERROR_IO_PENDING,
               "HttpOpenRequest failed, error --> 6"),
    FailedCall("OpenRequest", Call::OpenRequest, 12005, "HttpOpenRequest failed, error --> 12005"),
    FailedCall("OpenRequestPending", Call::OpenRequest, ERROR_IO_PENDING,
               "HttpSendRequest failed, error  --> 6"),
    FailedCall("Send", Call::SendRequest, 12007, "HttpSendRequest failed, error  --> 12007")),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });
// clang-format on
#endif

const std::string kRedirectToARefusedPort =
    Head("302 Found", "Location: " + std::string(kRefusedUrl) + "\r\n" + Length(0));
const std::string kUnaskedGzip =
    Head("200 OK", "Content-Encoding: gzip\r\n" + Length(sizeof kGzipped - 1)) +
    std::string(kGzipped, sizeof kGzipped - 1);
const std::string kBodyHead = Head("200 OK", Length(kBody.size()));
// What a 204 or 304 with a body leaves.
const char* const kSavedUnderWine = kWine ? kSavedLine : nullptr;
constexpr std::size_t kStoredUnderWine = kWine ? 300 : 0;

// A row: name, where the exchange goes, the answer, the start of the line after the sending
// line (none: nullptr), the size of the answer stored in place of the old pair (none: 0), a
// fault of the host profile, and whether the host's going to the background ends the exchange.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::Values(
    FaultRow{"Refused", Via::Refused, {}},
    FaultRow{"Unresolvable", Via::Unresolvable, {}},
    FaultRow{"NeverAccepted", Via::NeverAccepts, {}, nullptr, 0, Profile::Sound, true},
    FaultRow{"StallEndedByBackground", Via::Server, Trickled(8 * kChunk, true, 300ms), nullptr, 0,
             Profile::Sound, true},
    FaultRow{"Https", Via::Https, Plain(300)},
    FaultRow{"SlowTrickle", Via::Server, Trickled(6 * kChunk, false), kSavedLine, 6 * kChunk},
    FaultRow{"SlowTrickleChunked", Via::Server, Trickled(6 * kChunk, true), kSavedLine, 6 * kChunk},
    FaultRow{"Empty", Via::Server, Plain(0)},
    FaultRow{"OneByte", Via::Server, Plain(1), kParseLine},
    FaultRow{"ZeroBytes", Via::Server, WithZeros(), kSavedLine, 300},
    FaultRow{"OneRead", Via::Server, Plain(kChunk), kSavedLine, kChunk},
    FaultRow{"TwoReads", Via::Server, Plain(kChunk + 1), kSavedLine, kChunk + 1},
    FaultRow{"TwentyFourReads", Via::Server, Plain(24 * kChunk), kSavedLine, 24 * kChunk},
    FaultRow{"TwentyFiveReads", Via::Server, Plain(25 * kChunk), kHugeLine},
    // Short reads over many passes: the limit counts the reads of every pass.
    FaultRow{"TwentyFiveReadsTrickled", Via::Server, Trickled(25 * kChunk, false), kHugeLine},
    FaultRow{"Status500", Via::Server, Plain(3 * kChunk, 500), kSavedLine, 3 * kChunk},
    FaultRow{"Status500Empty", Via::Server, Plain(0, 500)},
    FaultRow{"Status404", Via::RawPort, StatusAnswer("404 Not Found", true), kSavedLine, 300},
    FaultRow{"Status404Empty", Via::RawPort, StatusAnswer("404 Not Found", false)},
    FaultRow{"Status204", Via::RawPort, StatusAnswer("204 No Content", true), kSavedUnderWine,
             kStoredUnderWine},
    FaultRow{"Status204Empty", Via::RawPort, StatusAnswer("204 No Content", false)},
    FaultRow{"Status304", Via::RawPort, StatusAnswer("304 Not Modified", true), kSavedUnderWine,
             kStoredUnderWine},
    FaultRow{"Status304Empty", Via::RawPort, StatusAnswer("304 Not Modified", false)},
    FaultRow{"ResetBeforeStatusLine", Via::RawPort, Raw("", true)},
    FaultRow{"ResetAfterHeaders", Via::RawPort, Raw(kBodyHead, true), kReadFailedLine},
    FaultRow{"ResetMidBody", Via::RawPort, Raw(kBodyHead + kBody.substr(0, kBody.size() / 2), true),
             kReadFailedLine},
    FaultRow{"MalformedChunks", Via::RawPort,
             Raw(Head("200 OK", "Transfer-Encoding: chunked\r\n") + "zz\r\n" + kBody)},
    FaultRow{"UnaskedGzip", Via::RawPort, Raw(kUnaskedGzip), kParseLine},
    FaultRow{"RedirectToTheSameHost", Via::RedirectToServer, {}, kSavedLine, 300},
    FaultRow{"RedirectToARefusedPort", Via::RawPort, Raw(kRedirectToARefusedPort)},
    FaultRow{"FileForMessagesFolder", Via::Server, Plain(500), nullptr, 0,
             Profile::FileForMessagesFolder},
    FaultRow{"NoBaseDirectory", Via::Server, Plain(500), nullptr, 0, Profile::NoBaseDirectory},
    FaultRow{"FullDisk", Via::Server, Plain(3 * kChunk), nullptr, 0, Profile::FullDisk}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });
// clang-format on

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
  // The file holds the first message set alone, after the declaration, in the ANSI code page
  // (the body reaches the parser through it; é is written in it) with CR LF line breaks and no
  // final break.
  const std::string eAcute = GetACP() == 65001 ? "\xC3\xA9" : "\xE9";
  const auto stored = [&eAcute](const char* message) {
    return std::string(message) + "\r\nline " + eAcute;
  };
  std::size_t exchanges = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.message);
    hostsim::ClearLog();
    m_server.SetAnswer(HttpAnswer{
        .body = ServiceAnswer(
            step.checksum, "\r\n<Messages>\r\n\t<M>" + std::string(step.message) + "\nline " +
                               eAcute + "</M>\r\n</Messages><Messages><M>2</M></Messages>\r\n")});
    Activate();
    ASSERT_TRUE(RunUntilLogLines(2)) << ::testing::PrintToString(hostsim::LogTexts());
    EXPECT_THAT(hostsim::LogTexts(), ElementsAre(kSendingLine, kSavedLine));
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), ++exchanges);
    EXPECT_EQ(requests.back().method, "GET");
    EXPECT_EQ(requests.back().target, std::string("/tsm/get?v=27&cs=") + step.sentBack);
    EXPECT_EQ(requests.back().body, "");
    EXPECT_TRUE(requests.back().contentLength.empty() || requests.back().contentLength == "0");
    EXPECT_EQ(m_profile.RecordedCheckSum(), step.checksum);
    const std::string bytes = MessageFile(step.checksum);
    ExpectOnlyCrLfLineBreaks(bytes);
    EXPECT_EQ(WithoutIndentation(bytes),
              kDeclaration + ("<Messages><M>" + stored(step.message) + "</M></Messages>"));
#ifndef _WIN32
    EXPECT_EQ(bytes, kDeclaration +
                         ("<Messages>\r\n\t<M>" + stored(step.message) + "</M>\r\n</Messages>"));
#endif
  }
  EXPECT_EQ(FilesIn(m_profile.messagesFolder),
            (std::set<std::string>{"1234WebTSMFile.xmf", "1235WebTSMFile.xmf"}));
  EXPECT_EQ(MessageText(MessageFile("1234")), stored("second"));
}

// Activations that overlap: each one closes the exchange before it, whose completions
// (already posted, or still coming from WinINet) must not be taken for the last exchange's.
// Only the last exchange's answer is stored, once.
enum class WhileReading { Nothing, NextCall, Background };
struct OverlapCase {
  const char* name;
  std::size_t callsAtOnce;  // calls before the host runs anything
  // Once a read of the first answer is queued: a call, or the host going to the background
  // and then a call, while the read's completion is posted but not yet run.
  WhileReading whileReading;
};

void PrintTo(const OverlapCase& overlap, std::ostream* out) { *out << overlap.name; }

class OverlapTest : public EndToEndTest, public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlapTest, OnlyTheLastExchangesAnswerIsStored) {
  const OverlapCase& overlap = GetParam();
  WriteOldFiles();
  const bool stale = overlap.whileReading != WhileReading::Nothing;
  const HttpAnswer answer = Trickled(6 * kChunk, true, stale ? 300ms : 1ms);
  m_server.SetAnswer(answer);
  for (std::size_t call = 0; call < overlap.callsAtOnce; ++call) m_module.InvokeWebTsm();
  ASSERT_EQ(hostsim::RunPendingMessages(), overlap.callsAtOnce);
  std::size_t sendings = overlap.callsAtOnce;
  if (stale) {
    ASSERT_TRUE(
        hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; }, kExchangeLimit));
    m_server.SetAnswer(Plain(6 * kChunk));  // the next exchange's, at once
    if (overlap.whileReading == WhileReading::NextCall) m_module.InvokeWebTsm();
    const std::size_t posted = overlap.whileReading == WhileReading::NextCall ? 2 : 1;
    const auto limit = std::chrono::steady_clock::now() + kExchangeLimit;
    while (hostsim::PendingMessageCount() < posted && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(hostsim::PendingMessageCount(), posted) << "the queued read's completion";
    if (overlap.whileReading == WhileReading::Background) {
      hostsim::DeliverGoingBackground();
      m_module.InvokeWebTsm();
    }
    ++sendings;
  }
  ASSERT_TRUE(RunUntilLogLines(sendings + 1)) << ::testing::PrintToString(hostsim::LogTexts());
  Settle();  // late completions of closed ones

  std::vector<std::string> expected(sendings, kSendingLine);
  expected.emplace_back(kSavedLine);
  EXPECT_EQ(hostsim::LogTexts(), expected);
  ExpectIntact(std::nullopt, MessageText(answer.body));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, OverlapTest,
    ::testing::Values(OverlapCase{"TwoAtOnce", 2, WhileReading::Nothing},
                      OverlapCase{"ThreeAtOnce", 3, WhileReading::Nothing},
                      OverlapCase{"OneWhileReading", 1, WhileReading::NextCall},
                      OverlapCase{"BackgroundWhileReading", 1, WhileReading::Background}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// What crosses the host/module boundary as C++ objects: exceptions both ways (the module's
// leaving Execute into the host's runner, the host's raised by its thrower when its factory
// makes no document) and the blocks of the host's strings.
TEST_F(EndToEndTest, AnExceptionOnTheAnswerLeavesExecuteToTheHostsRunner) {
  m_server.SetAnswer(HttpAnswer{.body = ServiceAnswer("1234", "<Messages><M>x</M></Messages>")});
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

// Many exchanges leave nothing behind: every host string goes back to the host's allocator
// whole, and on Linux no descriptor or thread stays (counted through /proc; under Wine a
// thousand exchanges take too long).
TEST_F(EndToEndTest, ManyExchangesLeaveNoHostStringDescriptorOrThreadBehind) {
  m_server.SetAnswer(Plain(500));
  Activate();  // the first exchange starts what lives on (server connections, caches)
  ASSERT_TRUE(RunUntilLogLines(2));
  const hostsim::MemoryStats memoryBefore = hostsim::GetMemoryStats();
#ifndef _WIN32
  const auto before = corvane::host::CurrentProcessResources();
  ASSERT_TRUE(before);
#endif

  const std::size_t exchanges = kWine ? 20 : 1000;
  for (std::size_t i = 1; i <= exchanges; ++i) {
    hostsim::ClearLog();
    Activate();
    ASSERT_TRUE(RunUntilLogLines(2)) << "exchange " << i;
    ASSERT_EQ(hostsim::LogTexts()[1], kSavedLine) << "exchange " << i;
  }
  EXPECT_EQ(m_server.Requests().size(), exchanges + 1);
  const hostsim::MemoryStats memoryAfter = hostsim::GetMemoryStats();
  EXPECT_GT(memoryAfter.allocations, memoryBefore.allocations);
  EXPECT_EQ(memoryAfter.releases - memoryBefore.releases,
            memoryAfter.allocations - memoryBefore.allocations);
  EXPECT_EQ(memoryAfter.liveBytes, memoryBefore.liveBytes);
#ifndef _WIN32
  // Descriptors and threads may be given back a little after the exchange that held them.
  auto after = corvane::host::CurrentProcessResources();
  for (int i = 0; i < 250 && (after->descriptors > before->descriptors ||
                              after->threads > before->threads); ++i) {
    std::this_thread::sleep_for(20ms);
    after = corvane::host::CurrentProcessResources();
  }
  EXPECT_LE(after->descriptors, before->descriptors);
  EXPECT_LE(after->threads, before->threads);
#endif
}

}  // namespace
}  // namespace corvane_test
