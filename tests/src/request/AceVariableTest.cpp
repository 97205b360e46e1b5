// Which source answers an Ace variable name, and what each source gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HostProfile.h"
#include "WorkerPriming.h"

namespace {

using corvane_test::HostProfile;
using corvane_test::Worker;

std::string ValueOf(const char* name) {
  return std::string(static_cast<const char*>(Worker().GetAceVariableValueForNode(name)));
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

Util::Variant NarrowVariant(const char* text) {
  Util::Variant value;
  value.SetString(text);
  return value;
}

class AceVariableTest : public ::testing::Test {
protected:
  void SetUp() override { corvane_test::PrimeWorker(profile, "cs-77"); }
  HostProfile profile;
};

enum class Source { CheckSum, Preference, Evaluator };

struct NameCase {
  const char* name;
  Source source;
};

class AceVariableNameTest : public AceVariableTest,
                            public ::testing::WithParamInterface<NameCase> {};

TEST_P(AceVariableNameTest, NameChoosesTheSource) {
  const std::string name = GetParam().name;
  hostsim::SetPreference(name, "from-preferences");
  hostsim::SetVariable(name, NarrowVariant("from-evaluator"));
  const auto evaluatorAsked = hostsim::EvaluatorRequests().size();

  const std::string value = ValueOf(name.c_str());

  const std::vector<std::string> allRequests = hostsim::EvaluatorRequests();
  const std::vector<std::string> evaluatorRequests(
      allRequests.begin() + static_cast<std::ptrdiff_t>(evaluatorAsked), allRequests.end());
  switch (GetParam().source) {
    case Source::CheckSum:
      EXPECT_EQ(value, "cs-77");
      EXPECT_TRUE(hostsim::PreferenceRequests().empty());
      EXPECT_TRUE(evaluatorRequests.empty());
      break;
    case Source::Preference:
      EXPECT_EQ(value, "from-preferences");
      EXPECT_EQ(hostsim::PreferenceRequests(), std::vector<std::string>{name});
      EXPECT_TRUE(evaluatorRequests.empty());
      break;
    case Source::Evaluator:
      EXPECT_EQ(value, "from-evaluator");
      EXPECT_TRUE(hostsim::PreferenceRequests().empty());
      EXPECT_TRUE(Contains(evaluatorRequests, name));
      break;
  }
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, AceVariableNameTest,
    ::testing::Values(NameCase{"CheckSum", Source::CheckSum}, NameCase{"checksum", Source::CheckSum},
                      NameCase{"CHECKSUM", Source::CheckSum},
                      NameCase{"CheckSumX", Source::Evaluator},
                      NameCase{"XCheckSum", Source::Evaluator},
                      NameCase{"UserprefCountry", Source::Preference},
                      NameCase{"Userpref", Source::Preference},
                      NameCase{"Userpref_CheckSum", Source::Preference},
                      NameCase{"userprefCountry", Source::Evaluator},
                      NameCase{"UserPrefCountry", Source::Evaluator},
                      NameCase{"Userpre", Source::Evaluator},
                      NameCase{"", Source::Evaluator}),
    [](const ::testing::TestParamInfo<NameCase>& testParam) {
      const std::string name = testParam.param.name;
      return name.empty() ? std::string("EmptyName") : name;
    });

TEST_F(AceVariableTest, PreferenceWithoutUserOrStoreIsEmpty) {
  hostsim::SetPreference("UserprefRegion", "north");
  hostsim::SetCurrentUserPresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  hostsim::SetCurrentUserPresent(true);
  hostsim::SetPreferenceStorePresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  hostsim::SetPreferenceStorePresent(true);
  EXPECT_EQ(ValueOf("UserprefRegion"), "north");
}

TEST_F(AceVariableTest, PreferenceTheStoreDoesNotKnowIsEmpty) {
  EXPECT_EQ(ValueOf("UserprefUnknown"), "");
  EXPECT_EQ(hostsim::PreferenceRequests(), std::vector<std::string>{"UserprefUnknown"});
}

TEST_F(AceVariableTest, PreferenceAnsweredWithAnotherTypeThanStringIsEmpty) {
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 5;
  hostsim::SetPreferenceVariant("UserprefCount", number);
  EXPECT_EQ(ValueOf("UserprefCount"), "");
}

TEST_F(AceVariableTest, PreferenceStringIsCutAtItsFirstNul) {
  VARIANT text;
  VariantInit(&text);
  const OLECHAR withNul[] = {'a', 'b', 0, 'c', 'd'};
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocStringLen(withNul, 5);
  hostsim::SetPreferenceVariant("UserprefCut", text);
  VariantClear(&text);
  EXPECT_EQ(ValueOf("UserprefCut"), "ab");
}

TEST_F(AceVariableTest, FailedEvaluationIsInvalidVariableWhateverTheValue) {
  hostsim::SetVariable("Some.Flag", NarrowVariant("set anyway"),
                       hostsim::Failure{static_cast<long>(E_FAIL), "no such variable", false});
  EXPECT_EQ(ValueOf("Some.Flag"), "invalid variable");
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

TEST_F(AceVariableTest, UnknownTagIsValueNotFound) {
  Util::Variant odd;
  odd.SetRaw(0x4242, 1);
  hostsim::SetVariable("Odd.Value", odd);
  EXPECT_EQ(ValueOf("Odd.Value"), "value not found");
}

class MissingEvaluatorTest : public AceVariableTest,
                             public ::testing::WithParamInterface<hostsim::EvaluatorKind> {};

TEST_P(MissingEvaluatorTest, GivesInvalidVariableAndTwoLogLines) {
  hostsim::SetEvaluatorKind(GetParam());
  // A name that would be a format directive is logged as plain text.
  const char* name = "App.%s%n.Version";
  EXPECT_EQ(ValueOf(name), "invalid variable");
  const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text,
            "Unable to get the evaluator. Ignoring the GetAceVariableValueForNode request");
  EXPECT_EQ(records[1].text, name);
  for (const hostsim::LogRecord& record : records) {
    EXPECT_EQ(record.level, 0);
    EXPECT_EQ(record.eventType, 6);
    EXPECT_EQ(record.function, "CorvaneConfiguration::GetAceVariableValueForNode");
    EXPECT_EQ(record.file, "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration");
  }
  EXPECT_GT(records[1].line, records[0].line);
  // The checksum and preferences do not need the evaluator.
  EXPECT_EQ(ValueOf("CheckSum"), "cs-77");
  EXPECT_EQ(hostsim::LogRecords().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MissingEvaluatorTest,
                         ::testing::Values(hostsim::EvaluatorKind::None,
                                           hostsim::EvaluatorKind::OtherObject));

TEST_F(AceVariableTest, LongStoredCheckSumComesBackCutTo100Characters) {
  corvane_test::PrimeWorker(profile, std::string(150, 'k'));
  EXPECT_EQ(ValueOf("CheckSum"), std::string(100, 'k'));
}

}  // namespace
