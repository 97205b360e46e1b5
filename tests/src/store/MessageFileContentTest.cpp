#include <gtest/gtest.h>

#include <string>

#include "MessageFileContent.h"

namespace {

struct LineBreakCase {
  std::string input;
  std::string expected;
};

class CrLfTest : public ::testing::TestWithParam<LineBreakCase> {};

TEST_P(CrLfTest, EveryLineBreakBecomesOneCrLf) {
  EXPECT_EQ(corvane::WithCrLfLineBreaks(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CrLfTest,
    ::testing::Values(LineBreakCase{"", ""}, LineBreakCase{"no breaks", "no breaks"},
                      LineBreakCase{"a\nb", "a\r\nb"}, LineBreakCase{"a\r\nb", "a\r\nb"},
                      LineBreakCase{"a\rb", "a\r\nb"}, LineBreakCase{"a\r\r\nb", "a\r\n\r\nb"},
                      LineBreakCase{"a\n\rb", "a\r\n\r\nb"}, LineBreakCase{"\n", "\r\n"},
                      LineBreakCase{"\r", "\r\n"}, LineBreakCase{"end\r\n", "end\r\n"},
                      LineBreakCase{"\t<a>\r\n\t\t<b/>\r\n</a>", "\t<a>\r\n\t\t<b/>\r\n</a>"}));

TEST(MessageFileDeclarationTest, IsThe39ByteUtf8Declaration) {
  EXPECT_EQ(corvane::kMessageFileDeclaration.size(), 39u);
  EXPECT_EQ(corvane::kMessageFileDeclaration, "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");
}

struct PrefixCase {
  std::string checksum;
  bool usable;
};

class FileNamePrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(FileNamePrefixTest, RefusesWhatCouldLeaveTheFolderOrBreakTheName) {
  EXPECT_EQ(corvane::IsUsableFileNamePrefix(GetParam().checksum), GetParam().usable)
      << GetParam().checksum;
}

INSTANTIATE_TEST_SUITE_P(
    Checksums, FileNamePrefixTest,
    ::testing::Values(PrefixCase{"", true}, PrefixCase{"1234", true},
                      PrefixCase{"9f86d081884c7d65", true}, PrefixCase{"a.b-c_d~e f", true},
                      PrefixCase{"caf\xE9", true}, PrefixCase{"...", true},
                      PrefixCase{".", false}, PrefixCase{"..", false}, PrefixCase{"../x", false},
                      PrefixCase{"..\\x", false}, PrefixCase{"a/b", false},
                      PrefixCase{"a\\b", false}, PrefixCase{"c:d", false},
                      PrefixCase{"x?", false}, PrefixCase{"x*", false}, PrefixCase{"<x", false},
                      PrefixCase{"x>", false}, PrefixCase{"x|y", false},
                      PrefixCase{"\"q\"", false}, PrefixCase{"tab\there", false},
                      PrefixCase{"line\nbreak", false}, PrefixCase{std::string("nul\0x", 5), false},
                      PrefixCase{"del\x7F", false}));

class RecordableCheckSumTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(RecordableCheckSumTest, RefusesWhatTheIniFileWouldNotGiveBackUnchanged) {
  EXPECT_EQ(corvane::IsRecordableCheckSum(GetParam().checksum), GetParam().usable)
      << GetParam().checksum;
}

INSTANTIATE_TEST_SUITE_P(Checksums, RecordableCheckSumTest,
                         ::testing::Values(PrefixCase{"", true}, PrefixCase{"1234", true},
                                           PrefixCase{"a b", true}, PrefixCase{"'", true},
                                           PrefixCase{"'a", true}, PrefixCase{"a'", true},
                                           PrefixCase{"'a\"", true}, PrefixCase{" 12", false},
                                           PrefixCase{"12 ", false}, PrefixCase{" ", false},
                                           PrefixCase{"\t12", false}, PrefixCase{"''", false},
                                           PrefixCase{"'12'", false}, PrefixCase{"\"12\"", false}));

}  // namespace
