// The host string's block layout, sizes, growth and the shared empty string: what the
// host's libraries rely on when strings cross between them and the module.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "TStringTestSupport.h"

namespace {

using tstring_test::Capacity;
using tstring_test::Text;
using tstring_test::WordAt;

struct SizeCase {
  std::size_t characters;
  std::uint64_t blockSize;
};

class NewStringBlockSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(NewStringBlockSize, IsHeaderTextNulAndTailGuardMadeEven) {
  const std::string text(GetParam().characters, 'q');
  const Util::TString s(text.c_str());
  EXPECT_EQ(s.Header()->allocSize, GetParam().blockSize);
  EXPECT_EQ(s.GetLength(), GetParam().characters);
  EXPECT_EQ(Text(s), text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NewStringBlockSize,
                         ::testing::Values(SizeCase{0, 38}, SizeCase{1, 38}, SizeCase{2, 40},
                                           SizeCase{3, 40}, SizeCase{4, 42}, SizeCase{31, 68},
                                           SizeCase{1000, 1038}));

TEST(TStringBlock, FreshBlockCarriesHeaderWordLengthAndBothGuards) {
  const Util::TString s("abc");
  EXPECT_EQ(WordAt(s, 0), Util::TString::kFreshHeaderWord);
  EXPECT_EQ(s.Header()->length, 4u);
  EXPECT_EQ(s.Header()->overhead, 36);
  EXPECT_EQ(WordAt(s, 24), Util::TString::kGuard);
  EXPECT_EQ(WordAt(s, s.Header()->allocSize - 4), Util::TString::kGuard);
  EXPECT_EQ(static_cast<const char*>(s), reinterpret_cast<const char*>(s.Header()) + 32);
}

TEST(TStringBlock, SharedEmptyStringIsOneStaticBlock) {
  const Util::TString a;
  const Util::TString b("");
  const Util::TString c(static_cast<const char*>(nullptr));
  const Util::TString::BlockHeader* empty = Util::TString::SharedEmptyHeader();
  EXPECT_EQ(a.Header(), empty);
  EXPECT_EQ(b.Header(), empty);
  EXPECT_EQ(c.Header(), empty);
  EXPECT_EQ(empty->length, 1u);
  EXPECT_EQ(empty->allocSize, 38u);
  EXPECT_NE(empty->flags & Util::TString::kFlagStatic, 0);
  EXPECT_STREQ(static_cast<const char*>(a), "");
}

TEST(TStringBlock, CountingNeverChangesTheSharedEmptyString) {
  std::array<unsigned char, 38> before{};
  std::memcpy(before.data(), Util::TString::SharedEmptyHeader(), before.size());
  {
    std::vector<Util::TString> copies(100);
    Util::TString s("x");
    s.Empty();
    s = copies.front();
    s += "";
    s += Util::TString();
    copies.push_back(s);
  }
  EXPECT_EQ(std::memcmp(before.data(), Util::TString::SharedEmptyHeader(), before.size()), 0);
}

struct GrowthCase {
  std::size_t totalLength;  // characters after appending to a sole-owned "x"
  std::size_t capacity;     // characters including the NUL that the block then holds
};

class SoleOwnerGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(SoleOwnerGrowth, FollowsPowersOfTwoThenWholePages) {
  Util::TString s("x");
  const std::string tail(GetParam().totalLength - 1, 'y');
  s += tail.c_str();
  EXPECT_EQ(Capacity(s), GetParam().capacity);
  EXPECT_EQ(s.Header()->allocSize, GetParam().capacity + 36);
  EXPECT_EQ(s.GetLength(), GetParam().totalLength);
  EXPECT_EQ(WordAt(s, s.Header()->allocSize - 4), Util::TString::kGuard);
  EXPECT_EQ(Text(s), "x" + tail);
}

INSTANTIATE_TEST_SUITE_P(Needs, SoleOwnerGrowth,
                         ::testing::Values(GrowthCase{2, 32}, GrowthCase{31, 32},
                                           GrowthCase{32, 64}, GrowthCase{63, 64},
                                           GrowthCase{64, 128}, GrowthCase{4095, 4096},
                                           GrowthCase{4096, 8192}, GrowthCase{8191, 12288},
                                           GrowthCase{8192, 12288}));

TEST(TStringBlock, SoleOwnerWithinCapacityKeepsItsBlock) {
  Util::TString s("x");
  s += "yy";  // grows to 32
  const char* before = s;
  s += "zzzz";
  EXPECT_EQ(static_cast<const char*>(s), before);
  EXPECT_EQ(Text(s), "xyyzzzz");
}

TEST(TStringBlock, FromUtf16SizesTheBlockByTheConvertedLength) {
  const Util::TString s(tstring_test::Wide("abc").c_str());
  EXPECT_EQ(Text(s), "abc");
  EXPECT_EQ(s.Header()->length, 4u);
  EXPECT_EQ(s.Header()->allocSize, 42u);  // 4 bytes with the NUL, (4 + 38) made even
  const std::basic_string<WCHAR> none;
  EXPECT_EQ(Util::TString(none.c_str()).Header(), Util::TString::SharedEmptyHeader());
  EXPECT_EQ(Util::TString(static_cast<const WCHAR*>(nullptr)).Header(),
            Util::TString::SharedEmptyHeader());
}

}  // namespace
