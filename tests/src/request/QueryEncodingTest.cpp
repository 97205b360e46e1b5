#include <gtest/gtest.h>

#include "QueryEncoding.h"

namespace {

struct EncodingCase {
  std::string input;
  std::string expected;
};

class PercentEncodeTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(PercentEncodeTest, KeepsUnreservedAndEncodesEveryOtherByte) {
  EXPECT_EQ(corvane::PercentEncode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PercentEncodeTest,
    ::testing::Values(
        EncodingCase{"", ""},
        EncodingCase{"AZaz09-._~", "AZaz09-._~"},
        EncodingCase{"A&B Ltd", "A%26B%20Ltd"},
        EncodingCase{"=?#/%+:@!$'()*,;[]", "%3D%3F%23%2F%25%2B%3A%40%21%24%27%28%29%2A%2C%3B%5B%5D"},
        EncodingCase{"\x01\x1F\x7F", "%01%1F%7F"},
        EncodingCase{"caf\xE9", "caf%E9"},
        EncodingCase{"caf\xC3\xA9", "caf%C3%A9"},
        EncodingCase{"\xFF", "%FF"},
        EncodingCase{std::string("a\0b", 3), "a%00b"}));

}  // namespace
