// The first half of an activation, as the host runs it: the handshake on the worker, the
// condition evaluator and the connection check in front of the request.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "PlacementConfiguration.h"

namespace corvane_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCondition = "Browser.IsConnectionActive";
constexpr const char* kVersionVariable = "Product.Version";
constexpr const char* kEvaluatorMissingLine =
    "Unable to get the evaluator. Ignoring the TSM request";

class HandshakeTest : public ModuleTest {
 protected:
  void SetUp() override {
    m_profile.WritePlacementConfiguration(
        PlacementConfiguration(kRefusedUrl, {{kVersionVariable, "v"}}));
    Util::Variant version;
    version.SetInteger(Util::Variant::TagInt32, 27);
    hostsim::SetVariable(kVersionVariable, version);
  }

  // Queues one activation and runs it, as the host's message loop would.
  void RunHandshake() {
    m_module.InvokeWebTsm();
    ASSERT_EQ(hostsim::RunPendingMessages(), 1u);
    EXPECT_EQ(hostsim::MessagesFailed(), 0u);
  }

  static std::vector<hostsim::ProfileRequest> CheckSumReads() {
    std::vector<hostsim::ProfileRequest> reads;
    for (const auto& request : hostsim::ProfileRequests()) {
      if (!request.write && request.key == "CheckSum") {
        reads.push_back(request);
      }
    }
    return reads;
  }

  // The refused connection completes; its DelayedWebRequest ends the exchange quietly.
  void WaitForTheExchangeToEnd() {
    EXPECT_TRUE(hostsim::RunMessagesUntil([] { return hostsim::MessagesExecuted() >= 2; },
                                          std::chrono::seconds(20)));
  }
};

// No evaluator, or an object of another type where the evaluator should be: nothing else happens.
TEST_F(HandshakeTest, WithoutAnEvaluatorNothingElseHappens) {
  for (const auto kind : {hostsim::EvaluatorKind::None, hostsim::EvaluatorKind::OtherObject}) {
    hostsim::ClearLog();
    hostsim::SetEvaluatorKind(kind);
    RunHandshake();
    const auto records = hostsim::LogRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, kEvaluatorMissingLine);
    EXPECT_EQ(records[0].level, 0);
    EXPECT_EQ(records[0].eventType, 6);
    EXPECT_EQ(records[0].file, "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration");
    EXPECT_EQ(records[0].function, "CorvaneConfiguration::LoadURLAndSendWebRequest");
    EXPECT_EQ(records[0].signature,
              "void __cdecl CorvaneConfiguration::LoadURLAndSendWebRequest(void)");
    EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
    EXPECT_THAT(CheckSumReads(), IsEmpty());
  }
}

TEST_F(HandshakeTest, AnEvaluatorThatRaisesIsLoggedAndTheRunEnds) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, std::nullopt,
                        hostsim::Failure{-2147467259L, "no network", true});
  RunHandshake();
  const auto records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "Load of services file failed (no network) Code (-2147467259)");
  EXPECT_EQ(records[0].level, 3);
  EXPECT_EQ(records[0].eventType, 5);
  EXPECT_EQ(records[0].function, "CorvaneConfiguration::TSMFirstHandShake");
  EXPECT_EQ(records[0].signature, "void __cdecl CorvaneConfiguration::TSMFirstHandShake(void)");
  EXPECT_THAT(hostsim::EvaluatorRequests(), ElementsAre(kCondition));
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

TEST_F(HandshakeTest, ConnectionNotActiveEndsTheRunSilently) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, false);
  RunHandshake();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_THAT(hostsim::EvaluatorRequests(), ElementsAre(kCondition)) << "no URL was built";
  EXPECT_THAT(CheckSumReads(), IsEmpty());
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

TEST_F(HandshakeTest, AFailedConnectionCheckIsLoggedAndTheRequestGoesAhead) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, std::nullopt, hostsim::Failure{5, "browser unknown", false});
  RunHandshake();
  const auto records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "Error in active connection (browser unknown) ");
  EXPECT_EQ(records[0].level, 3);
  EXPECT_EQ(records[0].eventType, 5);
  EXPECT_EQ(records[1].text, "Sending the TSM request");
  EXPECT_EQ(records[1].level, 0);
  EXPECT_EQ(records[1].eventType, 6);
  EXPECT_THAT(hostsim::EvaluatorRequests(), ElementsAre(kCondition, kVersionVariable));
  const auto reads = CheckSumReads();
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].value, "0");
  EXPECT_EQ(reads[0].bufferSize, 101u);
  EXPECT_EQ(reads[0].section, "WEBTSM");
  EXPECT_EQ(reads[0].sourceFile, "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration");
  WaitForTheExchangeToEnd();
}

TEST_F(HandshakeTest, AnActiveConnectionSendsTheRequest) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, true);
  RunHandshake();
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre("Sending the TSM request"));
  WaitForTheExchangeToEnd();
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre("Sending the TSM request"))
      << "a refused connection ends the exchange without processing";
}

TEST_F(HandshakeTest, WithoutAnIniFileTheRequestIsStillSent) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, true);
  m_module.InvokeWebTsm();
  hostsim::SetDataIniFileName(std::nullopt);  // gone by the time the handshake runs
  ASSERT_EQ(hostsim::RunPendingMessages(), 1u);
  EXPECT_THAT(CheckSumReads(), IsEmpty());
  EXPECT_THAT(hostsim::LogTexts(), ElementsAre("Sending the TSM request"));
  WaitForTheExchangeToEnd();
}

TEST_F(HandshakeTest, WithoutAConfigurationNothingIsSent) {
  std::filesystem::remove(m_profile.placementFolder / "TSMCnfg.XML");
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  hostsim::SetCondition(kCondition, true);
  RunHandshake();
  EXPECT_THAT(hostsim::LogTexts(), IsEmpty());
  EXPECT_EQ(hostsim::PendingMessageCount(), 0u);
}

}  // namespace
}  // namespace corvane_test
