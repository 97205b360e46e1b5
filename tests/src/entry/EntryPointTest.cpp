// The module as a host sees it: the gate in front of an activation, the handshake on the
// worker (the condition evaluator and the connection check in front of the request), and the
// notification handler's registration over the module's load and unload. The log is checked
// record by record: text, level and event type, and the source file, function and signature
// of the member that wrote it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ModuleFixture.h"
#include "PlacementConfiguration.h"
#include "host/Ui.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using EvaluatorKind = hostsim::EvaluatorKind;

// A `void f(void)` member of the module, as its log records name it.
struct LogSite {
  const char* file;
  const char* function;
};

constexpr const char* kConfigurationSource =
    "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration";
constexpr LogSite kGateSite{"Features\\MarketingSupport\\Corvane\\src\\webtsmmanager",
                            "WebTSMManager::OnFirstTimeSetup"};
constexpr LogSite kDriverSite{kConfigurationSource,
                              "CorvaneConfiguration::LoadURLAndSendWebRequest"};
constexpr LogSite kHandShakeSite{kConfigurationSource, "CorvaneConfiguration::TSMFirstHandShake"};

enum class Severity { Progress, Error };  // level 0 and event type 6; level 3 and event type 5

struct ExpectedRecord {
  std::string text;
  Severity severity;
  LogSite site;
};

// The whole log, record by record.
void ExpectLog(const std::vector<ExpectedRecord>& expected) {
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), expected.size()) << ::testing::PrintToString(hostsim::LogTexts());
  for (std::size_t index = 0; index < records.size(); ++index) {
    const hostsim::LogRecord& record = records[index];
    const ExpectedRecord& wanted = expected[index];
    const bool progress = wanted.severity == Severity::Progress;
    EXPECT_EQ(record.text, wanted.text);
    EXPECT_EQ(std::make_pair(record.level, record.eventType),
              progress ? std::make_pair(0, 6) : std::make_pair(3, 5));
    EXPECT_EQ(record.file, wanted.site.file);
    EXPECT_GT(record.line, 0);
    EXPECT_EQ(record.function, wanted.site.function);
    EXPECT_EQ(record.signature, "void __cdecl " + std::string(wanted.site.function) + "(void)");
  }
}

std::size_t RegisteredHandlers() {
  return hostsim::RegisteredNotificationCount(CNotifyKXGoingBackground::kKind);
}

// ---- the gate -----------------------------------------------------------------------------

enum class Entry { InvokeWebTsm, OnFirstTimeSetup };

struct GateCase {
  const char* name;
  bool approved;
  bool iniNamed;
  std::optional<std::string> iniText;  // nullopt: no INI file on disk
  bool starts;                         // a SendWebRequest is queued
};

void PrintTo(const GateCase& gateCase, std::ostream* out) { *out << gateCase.name; }

class GateTest : public ModuleTest,
                 public ::testing::WithParamInterface<std::tuple<GateCase, Entry>> {};

TEST_P(GateTest, StartsAnActivationOnlyWhenApprovedAndSwitchedOn) {
  const auto& [gateCase, entry] = GetParam();
  hostsim::SetLaunchApproval(gateCase.approved);
  if (!gateCase.iniNamed) hostsim::SetDataIniFileName(std::nullopt);
  if (gateCase.iniText) WriteBytes(m_profile.iniFile, *gateCase.iniText);

  if (entry == Entry::InvokeWebTsm) {
    m_module.InvokeWebTsm();
  } else {
    m_module.OnFirstTimeSetup();
  }

  const auto approvals = hostsim::ApprovalRequests();
  ASSERT_EQ(approvals.size(), 1u);
  EXPECT_EQ(std::tie(approvals[0].feature, approvals[0].action, approvals[0].interactive),
            std::make_tuple(1077, 0, false));
  const bool switchRead = gateCase.approved && gateCase.iniNamed;
  EXPECT_EQ(hostsim::ProfileRequests().size(), switchRead ? 1u : 0u);

  EXPECT_EQ(hostsim::MessagesExecuted(), 0u) << "the entry points only queue work";
  if (gateCase.starts) {
    EXPECT_THAT(hostsim::PendingMessageTypes(), ElementsAre("SendWebRequest"));
  } else {
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
  }
  if (gateCase.starts || !gateCase.approved) {
    ExpectLog({});
  } else {
    ExpectLog({{"Web TSM is disabled for using ini switch for this user", Severity::Progress,
                kGateSite}});
  }
}

// The switch is on when its value begins with '1'; a missing key or file reads as on.
const GateCase kGateCases[] = {
    {"NotApproved", false, true, "[WEBTSM]\nWEBTSMON=1\n", false},
    {"NoIniFileNamed", true, false, std::nullopt, false},
    {"SwitchOne", true, true, "[WEBTSM]\nWEBTSMON=1\n", true},
    {"SwitchZero", true, true, "[WEBTSM]\nWEBTSMON=0\n", false},
    {"SwitchLeadingBlank", true, true, "[WEBTSM]\nWEBTSMON=\" 1\"\n", false},
    {"SwitchEmpty", true, true, "[WEBTSM]\nWEBTSMON=\n", false},
    {"SwitchInAnotherSection", true, true, "[OTHER]\nWEBTSMON=0\n", true},
    {"IniFileMissing", true, true, std::nullopt, true},
    {"LongValueCutStillOn", true, true, "[WEBTSM]\nWEBTSMON=1000000000000000000000\n", true},
};

INSTANTIATE_TEST_SUITE_P(
    Cases, GateTest,
    ::testing::Combine(::testing::ValuesIn(kGateCases),
                       ::testing::Values(Entry::InvokeWebTsm, Entry::OnFirstTimeSetup)),
    [](const auto& paramInfo) {
      return std::string(std::get<GateCase>(paramInfo.param).name) +
             (std::get<Entry>(paramInfo.param) == Entry::InvokeWebTsm ? "_Invoke" : "_Setup");
    });

// ---- the handshake -------------------------------------------------------------------------

constexpr const char* kCondition = "Browser.IsConnectionActive";
constexpr const char* kVersionVariable = "Product.Version";

const ExpectedRecord kSending{"Sending the TSM request", Severity::Progress, kDriverSite};
const ExpectedRecord kNoEvaluator{"Unable to get the evaluator. Ignoring the TSM request",
                                  Severity::Progress, kDriverSite};

struct HandshakeCase {
  const char* name;
  EvaluatorKind evaluator;
  std::optional<bool> connectionActive;  // nullopt: the check fails with `failure`
  std::optional<hostsim::Failure> failure;
  bool iniNamed;    // the data INI file is still named when the handshake runs
  bool configured;  // a placement configuration is on disk
  std::vector<ExpectedRecord> log;
  std::vector<std::string> evaluated;  // condition and variable names asked, in order
  bool checkSumRead;
  bool sends;  // an exchange is started; the refused connection then ends it quietly
};

void PrintTo(const HandshakeCase& handshakeCase, std::ostream* out) { *out << handshakeCase.name; }

class HandshakeTest : public ModuleTest, public ::testing::WithParamInterface<HandshakeCase> {};

TEST_P(HandshakeTest, DecidesWhetherTheRequestIsSent) {
  const HandshakeCase& c = GetParam();
  if (c.configured) {
    m_profile.WritePlacementConfiguration(
        PlacementConfiguration(kRefusedUrl, {{kVersionVariable, "v"}}));
  }
  Util::Variant version;
  version.SetInteger(Util::Variant::TagInt32, 27);
  hostsim::SetVariable(kVersionVariable, version);
  hostsim::SetEvaluatorKind(c.evaluator);
  hostsim::SetCondition(kCondition, c.connectionActive, c.failure);

  m_module.InvokeWebTsm();
  if (!c.iniNamed) hostsim::SetDataIniFileName(std::nullopt);
  ASSERT_EQ(hostsim::RunPendingMessages(), 1u);
  EXPECT_EQ(hostsim::MessagesFailed(), 0u);

  ExpectLog(c.log);
  EXPECT_EQ(hostsim::EvaluatorRequests(), c.evaluated);
  const auto reads = hostsim::ProfileRequests();
  EXPECT_EQ(std::count_if(reads.begin(), reads.end(),
                          [](const auto& read) { return !read.write && read.key == "CheckSum"; }),
            c.checkSumRead ? 1 : 0);
  if (!c.sends) {
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
    return;
  }
  EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                        std::chrono::seconds(20)));
  ExpectLog(c.log);  // the refused connection's completion ends the exchange without a line
}

const hostsim::Failure kRaises{-2147467259L, "no network", true};
const hostsim::Failure kFails{5, "browser unknown", false};

// One row a case; the fault matrix's activations are the active connection's.
// clang-format off
const HandshakeCase kHandshakes[] = {
    {"NoEvaluator", EvaluatorKind::None, true, {}, true, true, {kNoEvaluator}, {}, false, false},
    {"OtherObjectAsEvaluator", EvaluatorKind::OtherObject, true, {}, true, true, {kNoEvaluator},
     {}, false, false},
    {"EvaluatorRaises", EvaluatorKind::Evaluator, std::nullopt, kRaises, true, true,
     {{"Load of services file failed (no network) Code (-2147467259)", Severity::Error,
       kHandShakeSite}},
     {kCondition}, false, false},
    {"ConnectionNotActive", EvaluatorKind::Evaluator, false, {}, true, true, {}, {kCondition},
     false, false},
    {"ConnectionCheckFailsAndTheRequestGoesAhead", EvaluatorKind::Evaluator, std::nullopt, kFails,
     true, true,
     {{"Error in active connection (browser unknown) ", Severity::Error, kDriverSite}, kSending},
     {kCondition, kVersionVariable}, true, true},
    {"NoIniFileByTheHandshake", EvaluatorKind::Evaluator, true, {}, false, true, {kSending},
     {kCondition, kVersionVariable}, false, true},
    {"NoConfiguration", EvaluatorKind::Evaluator, true, {}, true, false, {}, {kCondition}, true,
     false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, HandshakeTest, ::testing::ValuesIn(kHandshakes),
                         [](const auto& testParam) { return std::string(testParam.param.name); });

// ---- the background handler ----------------------------------------------------------------

TEST(BackgroundHandler, IsRegisteredWhileTheModuleIsLoaded) {
  const std::size_t before = RegisteredHandlers();
  {
    LoadedModule module;
    ASSERT_TRUE(module.IsLoaded());
    EXPECT_EQ(RegisteredHandlers(), before + 1);
    module.Unload();
    EXPECT_EQ(RegisteredHandlers(), before);
  }
  LoadedModule again;
  EXPECT_EQ(RegisteredHandlers(), before + 1) << "a reload registers it again";
}

}  // namespace
}  // namespace corvane_test
