// The first half of an activation, as the host runs it: the handshake on the worker, the
// condition evaluator and the connection check in front of the request.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ExpectLog.h"
#include "ModuleFixture.h"
#include "PlacementConfiguration.h"

namespace corvane_test {
namespace {

using EvaluatorKind = hostsim::EvaluatorKind;

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

}  // namespace
}  // namespace corvane_test
