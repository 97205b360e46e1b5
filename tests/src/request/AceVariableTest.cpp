// Which source answers an Ace variable name, and the evaluator's tagged values as request text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "HostProfile.h"
#include "WorkerPriming.h"

namespace {

using corvane_test::HostProfile;
using corvane_test::Worker;
using Tag = Util::Variant::Tag;

std::string ValueOf(const char* name) {
  return std::string(static_cast<const char*>(Worker().GetAceVariableValueForNode(name)));
}

std::string TextOf(const Util::Variant& value) {
  return std::string(static_cast<const char*>(Worker().VariantToString(value)));
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
  const std::vector<std::string> requests = hostsim::EvaluatorRequests();
  const bool evaluatorAskedForIt =
      std::find(requests.begin() + static_cast<std::ptrdiff_t>(evaluatorAsked), requests.end(),
                name) != requests.end();
  const bool preferenceAsked = hostsim::PreferenceRequests() == std::vector<std::string>{name};
  switch (GetParam().source) {
    case Source::CheckSum:
      EXPECT_EQ(value, "cs-77");
      EXPECT_TRUE(hostsim::PreferenceRequests().empty());
      break;
    case Source::Preference:
      EXPECT_EQ(value, "from-preferences");
      EXPECT_TRUE(preferenceAsked);
      break;
    case Source::Evaluator:
      EXPECT_EQ(value, "from-evaluator");
      EXPECT_TRUE(hostsim::PreferenceRequests().empty());
      break;
  }
  EXPECT_EQ(evaluatorAskedForIt, GetParam().source == Source::Evaluator);
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

INSTANTIATE_TEST_SUITE_P(Names, AceVariableNameTest,
                         ::testing::Values(NameCase{"checksum", Source::CheckSum},
                                           NameCase{"CHECKSUM", Source::CheckSum},
                                           NameCase{"CheckSumX", Source::Evaluator},
                                           NameCase{"XCheckSum", Source::Evaluator},
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

TEST_F(AceVariableTest, PreferenceIsEmptyWithoutUserStoreOrStringAndCutAtItsFirstNul) {
  hostsim::SetPreference("UserprefRegion", "north");
  hostsim::SetCurrentUserPresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  hostsim::SetCurrentUserPresent(true);
  hostsim::SetPreferenceStorePresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  hostsim::SetPreferenceStorePresent(true);
  EXPECT_EQ(ValueOf("UserprefRegion"), "north");
  EXPECT_EQ(ValueOf("UserprefUnknown"), "");

  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 5;
  hostsim::SetPreferenceVariant("UserprefCount", number);
  EXPECT_EQ(ValueOf("UserprefCount"), "");
  VARIANT text;
  VariantInit(&text);
  const OLECHAR withNul[] = {'a', 'b', 0, 'c', 'd'};
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocStringLen(withNul, 5);
  hostsim::SetPreferenceVariant("UserprefCut", text);
  VariantClear(&text);
  EXPECT_EQ(ValueOf("UserprefCut"), "ab");
}

TEST_F(AceVariableTest, FailedEvaluationIsInvalidVariableAndUnknownTagIsValueNotFound) {
  hostsim::SetVariable("Some.Flag", NarrowVariant("set anyway"),
                       hostsim::Failure{static_cast<long>(E_FAIL), "no such variable", false});
  EXPECT_EQ(ValueOf("Some.Flag"), "invalid variable");
  Util::Variant odd;
  odd.SetRaw(0x4242, 1);
  hostsim::SetVariable("Odd.Value", odd);
  EXPECT_EQ(ValueOf("Odd.Value"), "value not found");
  EXPECT_TRUE(hostsim::LogRecords().empty());
  corvane_test::PrimeWorker(profile, std::string(150, 'k'));  // cut to 100 characters
  EXPECT_EQ(ValueOf("CheckSum"), std::string(100, 'k'));
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
    EXPECT_EQ(std::tie(record.level, record.eventType, record.function, record.file),
              std::make_tuple(
                  0, 6, std::string("CorvaneConfiguration::GetAceVariableValueForNode"),
                  std::string("Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration")));
  }
  EXPECT_GT(records[1].line, records[0].line);
  // The checksum and preferences do not need the evaluator.
  EXPECT_EQ(ValueOf("CheckSum"), "cs-77");
  EXPECT_EQ(hostsim::LogRecords().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MissingEvaluatorTest,
                         ::testing::Values(hostsim::EvaluatorKind::None,
                                           hostsim::EvaluatorKind::OtherObject));

// Integers give the decimal of their low 32 bits as signed; booleans look at one byte.
struct TaggedCase {
  std::uint32_t tag;
  std::int64_t bits;
  std::string expected;
};

class TaggedValueTest : public ::testing::TestWithParam<TaggedCase> {};

TEST_P(TaggedValueTest, GivesItsText) {
  Util::Variant value;
  value.SetRaw(GetParam().tag, GetParam().bits);
  EXPECT_EQ(TextOf(value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, TaggedValueTest,
    ::testing::Values(
        TaggedCase{Tag::TagInt8, -5, "-5"}, TaggedCase{Tag::TagInt64, 0x100000005LL, "5"},
        TaggedCase{Tag::TagLong, std::numeric_limits<std::int32_t>::min(), "-2147483648"},
        TaggedCase{Tag::TagUInt32, 0xFFFFFFFFLL, "-1"},
        TaggedCase{Tag::TagUInt64, 0x7FFFFFFFFFFFFFFFLL, "-1"},
        TaggedCase{Tag::TagULong, 2147483647, "2147483647"}, TaggedCase{Tag::TagEmpty, 0, ""},
        TaggedCase{Tag::TagNull, 77, ""}, TaggedCase{Tag::TagBool, 2, "true"},
        TaggedCase{Tag::TagBool, 0x100, "false"}, TaggedCase{0x0002, 1, "value not found"},
        TaggedCase{0x2003, 1, "value not found"}, TaggedCase{0xFFFFFFFF, 1, "value not found"}));

TEST(VariantTextTest, DoublesTruncateTowardZeroWithinInt32) {
  const std::pair<double, const char*> cases[] = {
      {2.9, "2"},
      {-2.9, "-2"},
      {2147483648.0, "-2147483648"},
      {-3e10, "-2147483648"},
      {std::numeric_limits<double>::quiet_NaN(), "-2147483648"}};
  for (const auto& [number, expected] : cases) {
    Util::Variant value;
    value.SetDouble(number);
    EXPECT_EQ(TextOf(value), expected) << number;
  }
}

TEST(VariantTextTest, BooleansAndNullOrEmptyStrings) {
  Util::Variant value;
  value.SetBool(true);
  EXPECT_EQ(TextOf(value), "true");
  value.SetBool(false);
  EXPECT_EQ(TextOf(value), "false");
  value.SetString(nullptr);
  EXPECT_EQ(TextOf(value), "");
  value.SetWideString(nullptr);
  EXPECT_EQ(TextOf(value), "");
}

}  // namespace
