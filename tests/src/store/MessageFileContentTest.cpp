// The message file's text and the checks on a response checksum before it names a file and is
// recorded in the data INI file.
#include <gtest/gtest.h>

#include <string>

#include "MessageFileContent.h"

namespace {

TEST(MessageFileContentTest, EveryLineBreakBecomesOneCrLf) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},           {"a\nb", "a\r\nb"},         {"a\r\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"}, {"a\r\r\nb", "a\r\n\r\nb"}, {"a\n\rb", "a\r\n\r\nb"},
      {"\r", "\r\n"},     {"end\r\n", "end\r\n"}};
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(corvane::WithCrLfLineBreaks(input), expected) << input;
  }
}

struct CheckSumCase {
  std::string checksum;
  bool namesAFile;  // cannot leave the messages folder or break the file name
  bool recordable;  // the INI file gives it back unchanged
};

class CheckSumTest : public ::testing::TestWithParam<CheckSumCase> {};

TEST_P(CheckSumTest, IsRefusedWhereItCouldEscapeOrChange) {
  EXPECT_EQ(corvane::IsUsableFileNamePrefix(GetParam().checksum), GetParam().namesAFile);
  EXPECT_EQ(corvane::IsRecordableCheckSum(GetParam().checksum), GetParam().recordable);
}

INSTANTIATE_TEST_SUITE_P(
    CheckSums, CheckSumTest,
    ::testing::Values(CheckSumCase{"", true, true}, CheckSumCase{"9f86d081 a.b-c_d~e", true, true},
                      CheckSumCase{"caf\xE9", true, true}, CheckSumCase{"...", true, true},
                      CheckSumCase{".", false, true}, CheckSumCase{"..", false, true},
                      CheckSumCase{"..\\x", false, true}, CheckSumCase{"c:d", false, true},
                      CheckSumCase{std::string("nul\0x", 5), false, true},
                      CheckSumCase{"del\x7F", false, true}, CheckSumCase{"'a", true, true},
                      CheckSumCase{"'a\"", false, true}, CheckSumCase{" 12", true, false},
                      CheckSumCase{"12 ", true, false}, CheckSumCase{"\t12", false, false},
                      CheckSumCase{"'12'", true, false}, CheckSumCase{"\"12\"", false, false}));

}  // namespace
