// The evaluator's tagged values as request text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "HostProfile.h"

namespace {

using corvane_test::Worker;
using Tag = Util::Variant::Tag;

std::string TextOf(const Util::Variant& value) {
  return std::string(static_cast<const char*>(Worker().VariantToString(value)));
}

struct IntegerCase {
  std::uint32_t tag;
  std::int64_t value;
  std::string expected;
};

class IntegerTagTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerTagTest, GivesDecimalOfLow32BitsAsSigned) {
  Util::Variant value;
  value.SetInteger(GetParam().tag, GetParam().value);
  EXPECT_EQ(TextOf(value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryIntegerTag, IntegerTagTest,
    ::testing::Values(IntegerCase{Tag::TagInt8, -5, "-5"}, IntegerCase{Tag::TagInt16, 42, "42"},
                      IntegerCase{Tag::TagInt32, 0, "0"},
                      IntegerCase{Tag::TagInt64, 0x100000005LL, "5"},
                      IntegerCase{Tag::TagLong, std::numeric_limits<std::int32_t>::min(), "-2147483648"},
                      IntegerCase{Tag::TagUInt8, 255, "255"},
                      IntegerCase{Tag::TagUInt16, 65535, "65535"},
                      IntegerCase{Tag::TagUInt32, 0xFFFFFFFFLL, "-1"},
                      IntegerCase{Tag::TagUInt64, 0x7FFFFFFFFFFFFFFFLL, "-1"},
                      IntegerCase{Tag::TagULong, 2147483647, "2147483647"}));

struct DoubleCase {
  double value;
  std::string expected;
};

class DoubleTagTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleTagTest, TruncatesTowardZeroWithinInt32) {
  Util::Variant value;
  value.SetDouble(GetParam().value);
  EXPECT_EQ(TextOf(value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Doubles, DoubleTagTest,
    ::testing::Values(DoubleCase{2.9, "2"}, DoubleCase{-2.9, "-2"}, DoubleCase{-0.5, "0"},
                      DoubleCase{2147483647.9, "2147483647"},
                      DoubleCase{-2147483648.9, "-2147483648"},
                      DoubleCase{2147483648.0, "-2147483648"},
                      DoubleCase{-3e10, "-2147483648"},
                      DoubleCase{std::numeric_limits<double>::infinity(), "-2147483648"},
                      DoubleCase{std::numeric_limits<double>::quiet_NaN(), "-2147483648"}));

TEST(VariantTextTest, EmptyAndNullTagsGiveEmptyText) {
  Util::Variant empty;
  EXPECT_EQ(TextOf(empty), "");
  Util::Variant null;
  null.SetRaw(Tag::TagNull, 77);
  EXPECT_EQ(TextOf(null), "");
}

TEST(VariantTextTest, BooleanLooksAtItsOneByte) {
  Util::Variant yes;
  yes.SetBool(true);
  EXPECT_EQ(TextOf(yes), "true");
  Util::Variant no;
  no.SetBool(false);
  EXPECT_EQ(TextOf(no), "false");
  Util::Variant two;
  two.SetRaw(Tag::TagBool, 2);
  EXPECT_EQ(TextOf(two), "true");
  Util::Variant highBitsOnly;
  highBitsOnly.SetRaw(Tag::TagBool, 0x100);
  EXPECT_EQ(TextOf(highBitsOnly), "false");
}

TEST(VariantTextTest, NarrowStringsAreCopied) {
  Util::Variant text;
  text.SetString("A&B Ltd");
  EXPECT_EQ(TextOf(text), "A&B Ltd");
  Util::Variant empty;
  empty.SetString("");
  EXPECT_EQ(TextOf(empty), "");
  Util::Variant null;
  null.SetString(nullptr);
  EXPECT_EQ(TextOf(null), "");
}

TEST(VariantTextTest, WideStringsAreConvertedToTheAnsiCodePage) {
  const WCHAR ascii[] = {'x', 'y', 'z', 0};
  Util::Variant text;
  text.SetWideString(ascii);
  EXPECT_EQ(TextOf(text), "xyz");
  const WCHAR empty[] = {0};
  Util::Variant none;
  none.SetWideString(empty);
  EXPECT_EQ(TextOf(none), "");
  Util::Variant null;
  null.SetWideString(nullptr);
  EXPECT_EQ(TextOf(null), "");
}

TEST(VariantTextTest, UnknownTagsGiveValueNotFound) {
  for (const std::uint32_t tag : {0x0002u, 0x0100u, 0x0106u, 0x0402u, 0x0802u, 0x2003u, 0xFFFFFFFFu}) {
    Util::Variant value;
    value.SetRaw(tag, 1);
    EXPECT_EQ(TextOf(value), "value not found") << std::hex << tag;
  }
}

}  // namespace
