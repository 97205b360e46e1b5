// The system-object registrar and the configurable condition evaluator.
#include <gtest/gtest.h>

#include "host/ConditionEvaluator.h"
#include "hostsim/HostSim.h"

namespace {

AppFW::IConditionEvaluator* LookUpEvaluator() {
  return dynamic_cast<AppFW::IConditionEvaluator*>(
      Util::SystemObjectRegistrar::instance().GetSystemObject("AppFW::IConditionEvaluator"));
}

class Evaluator : public ::testing::Test {
protected:
  void SetUp() override { hostsim::Reset(); }
};

TEST_F(Evaluator, RegistrationKindDecidesWhatTheLookUpFinds) {
  EXPECT_EQ(Util::SystemObjectRegistrar::instance().GetSystemObject("AppFW::IConditionEvaluator"),
            nullptr);
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::OtherObject);
  EXPECT_NE(Util::SystemObjectRegistrar::instance().GetSystemObject("AppFW::IConditionEvaluator"),
            nullptr);
  EXPECT_EQ(LookUpEvaluator(), nullptr);
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  EXPECT_NE(LookUpEvaluator(), nullptr);
  EXPECT_EQ(Util::SystemObjectRegistrar::instance().GetSystemObject("Other::Name"), nullptr);
}

TEST_F(Evaluator, ConditionsGiveResultsFailuresOrExceptions) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  AppFW::IConditionEvaluator* evaluator = LookUpEvaluator();
  ASSERT_NE(evaluator, nullptr);

  bool result = true;
  EXPECT_TRUE(evaluator->EvaluateCondition("Never.Set", result).Succeeded());
  EXPECT_TRUE(result);

  hostsim::SetCondition("Browser.IsConnectionActive", false);
  EXPECT_TRUE(evaluator->EvaluateCondition("Browser.IsConnectionActive", result).Succeeded());
  EXPECT_FALSE(result);

  result = true;
  hostsim::SetCondition("Failing", std::nullopt, hostsim::Failure{0, "no browser", false});
  const Util::Status failed = evaluator->EvaluateCondition("Failing", result);
  EXPECT_TRUE(failed.Failed());
  EXPECT_EQ(failed.GetStatusCode(), -1);
  EXPECT_STREQ(failed.GetStatusMessage(), "no browser");
  EXPECT_TRUE(result);

  hostsim::SetCondition("Throwing", true, hostsim::Failure{77, "raised", true});
  try {
    evaluator->EvaluateCondition("Throwing", result);
    FAIL() << "nothing thrown";
  } catch (const Util::Exception& exception) {
    EXPECT_EQ(exception.GetStatus().GetStatusCode(), 77);
  }
  EXPECT_EQ(hostsim::EvaluatorRequests(),
            (std::vector<std::string>{"Never.Set", "Browser.IsConnectionActive", "Failing",
                                      "Throwing"}));
}

TEST_F(Evaluator, VariablesGiveTheirValueOrFail) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  AppFW::IConditionEvaluator* evaluator = LookUpEvaluator();
  Util::Variant configured;
  configured.SetString("en-US");
  hostsim::SetVariable("App.Locale", configured);

  Util::Variant value;
  EXPECT_TRUE(evaluator->GetVariableValue("App.Locale", value).Succeeded());
  EXPECT_EQ(value.GetType(), Util::Variant::TagString);
  EXPECT_STREQ(value.GetValue().string, "en-US");

  Util::Variant untouched;
  EXPECT_TRUE(evaluator->GetVariableValue("Unknown", untouched).Failed());
  EXPECT_EQ(untouched.GetType(), Util::Variant::TagEmpty);

  Util::Variant seven;
  seven.SetInteger(Util::Variant::TagInt32, 7);
  hostsim::SetVariable("Failing", seven, hostsim::Failure{3, "broken", false});
  Util::Variant filled;
  EXPECT_TRUE(evaluator->GetVariableValue("Failing", filled).Failed());
  EXPECT_EQ(filled.GetValue().integer, 7);  // a failing evaluator may still fill the value

  hostsim::SetVariable("Throwing", seven, hostsim::Failure{4, "raised", true});
  EXPECT_THROW(evaluator->GetVariableValue("Throwing", filled), Util::Exception);

  hostsim::ClearEvaluator();
  EXPECT_TRUE(evaluator->GetVariableValue("App.Locale", value).Failed());
  EXPECT_EQ(hostsim::EvaluatorRequests(), std::vector<std::string>{"App.Locale"});
}

}  // namespace
