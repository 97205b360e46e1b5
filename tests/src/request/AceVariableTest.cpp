// Ace variables where the request fuzzer cannot reach: a preference without a user or a store,
// or of another type than a string; no evaluator; and the evaluator's tagged values as text.
#include <gtest/gtest.h>

#include <bit>
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

class AceVariableTest : public ::testing::Test {
 protected:
  void SetUp() override { corvane_test::PrimeWorker(profile, "cs-77"); }
  HostProfile profile;
};

TEST_F(AceVariableTest, PreferenceIsEmptyWithoutUserStoreOrStringAndCutAtItsFirstNul) {
  hostsim::SetPreference("UserprefRegion", "north");
  hostsim::SetCurrentUserPresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  hostsim::SetCurrentUserPresent(true);
  hostsim::SetPreferenceStorePresent(false);
  EXPECT_EQ(ValueOf("UserprefRegion"), "");
  EXPECT_TRUE(hostsim::PreferenceRequests().empty()) << "no store to ask";
  hostsim::SetPreferenceStorePresent(true);
  EXPECT_EQ(ValueOf("UserprefRegion"), "north");
  EXPECT_EQ(ValueOf("UserprefUnknown"), "");  // the store refuses a name it lacks
  EXPECT_EQ(hostsim::PreferenceRequests(),
            (std::vector<std::string>{"UserprefRegion", "UserprefUnknown"}));

  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 5;
  hostsim::SetPreferenceVariant("UserprefCount", value);
  EXPECT_EQ(ValueOf("UserprefCount"), "");
  const OLECHAR withNul[] = {'a', 'b', 0, 'c', 'd'};
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(withNul, 5);
  hostsim::SetPreferenceVariant("UserprefCut", value);
  VariantClear(&value);
  EXPECT_EQ(ValueOf("UserprefCut"), "ab");
}

// Without an evaluator (the other kind of missing one goes the same lookup, see the handshake
// tests) a name gives "invalid variable" and two log lines; the name is logged as plain text.
TEST_F(AceVariableTest, WithoutAnEvaluatorGivesInvalidVariableAndTwoLogLines) {
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::None);
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

// Integers give the decimal of their low 32 bits as signed, doubles truncate toward zero
// within the 32-bit range, booleans look at one byte; null strings and no value give nothing.
TEST(VariantTextTest, EachTagGivesItsText) {
  const auto bits = [](double number) { return std::bit_cast<std::int64_t>(number); };
  const std::tuple<std::uint32_t, std::int64_t, const char*> cases[] = {
      {Tag::TagInt8, -5, "-5"},
      {Tag::TagInt64, 0x100000005LL, "5"},
      {Tag::TagUInt32, 0xFFFFFFFFLL, "-1"},
      {Tag::TagULong, 2147483647, "2147483647"},
      {Tag::TagDouble, bits(-2.9), "-2"},
      {Tag::TagDouble, bits(2147483648.0), "-2147483648"},
      {Tag::TagDouble, bits(-3e10), "-2147483648"},
      {Tag::TagDouble, bits(std::numeric_limits<double>::quiet_NaN()), "-2147483648"},
      {Tag::TagBool, 2, "true"},
      {Tag::TagBool, 0x100, "false"},
      {Tag::TagString, 0, ""},
      {Tag::TagWideString, 0, ""},
      {Tag::TagNull, 77, ""},
      {Tag::TagEmpty, 0, ""},
      {0x2003, 1, "value not found"}};
  for (const auto& [tag, valueBits, expected] : cases) {
    Util::Variant value;
    value.SetRaw(tag, valueBits);
    EXPECT_STREQ(static_cast<const char*>(Worker().VariantToString(value)), expected)
        << std::hex << tag << " " << valueBits;
  }
}

}  // namespace
