// Copy-on-write, the three ways a write is prepared, and the string operations, including
// writes whose source lies in the string's own block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TStringTestSupport.h"

namespace {

using tstring_test::Capacity;
using tstring_test::LiveBlocks;
using tstring_test::Text;

class TStringOperations : public ::testing::Test {
protected:
  void SetUp() override {
    hostsim::Reset();
    m_liveBlocks = LiveBlocks();
  }
  void TearDown() override { EXPECT_EQ(LiveBlocks(), m_liveBlocks) << "blocks leaked"; }

private:
  std::uint64_t m_liveBlocks = 0;
};

TEST_F(TStringOperations, CopiesShareOneCountedBlock) {
  const Util::TString original("shared");
  {
    const Util::TString copy(original);
    Util::TString assigned;
    assigned = copy;
    EXPECT_EQ(copy.Header(), original.Header());
    EXPECT_EQ(assigned.Header(), original.Header());
    EXPECT_EQ(original.Header()->refCount, 3);
  }
  EXPECT_EQ(original.Header()->refCount, 1);
}

TEST_F(TStringOperations, SelfAssignmentChangesNothing) {
  Util::TString s("same");
  const Util::TString& alias = s;
  s = alias;
  s = static_cast<const char*>(s);
  EXPECT_EQ(Text(s), "same");
  EXPECT_EQ(s.Header()->refCount, 1);
}

TEST_F(TStringOperations, AppendingToACopyLeavesTheOriginal) {
  const Util::TString original("base");
  Util::TString copy(original);
  copy += "+more";
  EXPECT_EQ(Text(original), "base");
  EXPECT_EQ(Text(copy), "base+more");
  EXPECT_NE(copy.Header(), original.Header());
  EXPECT_EQ(original.Header()->refCount, 1);
  EXPECT_EQ(copy.Header()->refCount, 1);
}

TEST_F(TStringOperations, SharedWriteCopiesIntoBlockNoSmallerThanTheOld) {
  const std::string longText(200, 'L');
  Util::TString original(longText.c_str());  // block of 238
  Util::TString copy(original);
  copy += Util::TString("!");  // needs 202: 256 of capacity, 292 of block
  EXPECT_EQ(copy.Header()->allocSize, 292u);
  EXPECT_EQ(copy.Header()->refCount, 1);
  EXPECT_EQ(copy.Header()->flags & Util::TString::kFlagStatic, 0);
  EXPECT_EQ(tstring_test::WordAt(copy, copy.Header()->allocSize - 4), Util::TString::kGuard);
  EXPECT_EQ(Text(copy), longText + "!");
  EXPECT_EQ(Text(original), longText);
}

TEST_F(TStringOperations, AssigningToASharedStringTakesAFreshExactBlock) {
  const Util::TString original("first value");
  Util::TString copy(original);
  copy = "abc";
  EXPECT_EQ(copy.Header()->allocSize, 40u);  // (3 + 38) made even
  EXPECT_EQ(Text(copy), "abc");
  EXPECT_EQ(Text(original), "first value");
  EXPECT_EQ(original.Header()->refCount, 1);
}

TEST_F(TStringOperations, AppendingToTheEmptyStringAllocatesExactly) {
  Util::TString s;
  s += "hello";
  EXPECT_EQ(s.Header()->allocSize, 42u);  // (5 + 1 + 37) made even
  EXPECT_EQ(Text(s), "hello");
}

TEST_F(TStringOperations, AppendingNothingChangesNothing) {
  Util::TString s("keep");
  const auto* before = s.Header();
  s += "";
  s += static_cast<const char*>(nullptr);
  s += Util::TString();
  EXPECT_EQ(s.Header(), before);
  EXPECT_EQ(Text(s), "keep");
}

TEST_F(TStringOperations, AppendingAStringToTheEmptyStringShares) {
  const Util::TString source("text");
  Util::TString s;
  s += source;
  EXPECT_EQ(s.Header(), source.Header());
}

TEST_F(TStringOperations, AppendingItselfSurvivesTheBlockMoving) {
  Util::TString s("0123456789012345678901234567890");  // 31 characters: capacity 32
  s += s;  // sole owner: grows, and the source is the moved block
  EXPECT_EQ(Text(s), std::string("0123456789012345678901234567890") +
                         "0123456789012345678901234567890");
  Util::TString t("abcdefghijklmnopqrstuvwxyz01234");  // sole owner, capacity 32
  t += static_cast<const char*>(t) + 10;               // grows: the source moves with it
  EXPECT_EQ(Text(t), "abcdefghijklmnopqrstuvwxyz01234klmnopqrstuvwxyz01234");
}

TEST_F(TStringOperations, AssigningASuffixOfItselfKeepsTheText) {
  Util::TString s("prefix:value");
  s = static_cast<const char*>(s) + 7;
  EXPECT_EQ(Text(s), "value");
  EXPECT_EQ(s.Header()->length, 6u);
}

TEST_F(TStringOperations, AssigningNullOrEmptyGivesTheSharedEmptyString) {
  Util::TString s("x");
  s = "";
  EXPECT_EQ(s.Header(), Util::TString::SharedEmptyHeader());
  s = "y";
  s = static_cast<const char*>(nullptr);
  EXPECT_EQ(s.Header(), Util::TString::SharedEmptyHeader());
}

TEST_F(TStringOperations, FormatWritesTheFormattedText) {
  Util::TString s("old");
  s.Format("%s-%d-%05.1f", "id", -42, 2.5);
  EXPECT_EQ(Text(s), "id--42-002.5");
}

TEST_F(TStringOperations, FormatWithoutAResultLeavesTheString) {
  Util::TString s("unchanged");
  hostsim::SetFormatterFails(true);
  s.Format("%d", 1);
  hostsim::SetFormatterFails(false);
  EXPECT_EQ(Text(s), "unchanged");
}

TEST_F(TStringOperations, GetBufferMakesTheBlockPrivateAndMarked) {
  const Util::TString original("shared text");
  Util::TString s(original);
  char* buffer = s.GetBuffer();
  EXPECT_NE(s.Header(), original.Header());
  EXPECT_NE(s.Header()->flags & Util::TString::kFlagBufferHandedOut, 0);
  EXPECT_EQ(s.GetBuffer(), buffer);  // a second call hands out the same buffer
  std::strcpy(buffer, "edit");
  s.ReleaseBuffer();
  EXPECT_EQ(s.Header()->flags & Util::TString::kFlagBufferHandedOut, 0);
  EXPECT_EQ(s.Header()->length, 5u);
  EXPECT_EQ(Text(s), "edit");
  EXPECT_EQ(Text(original), "shared text");
}

TEST_F(TStringOperations, GetBufferOnTheEmptyStringGivesAFreshBlock) {
  Util::TString s;
  char* buffer = s.GetBuffer();
  EXPECT_NE(s.Header(), Util::TString::SharedEmptyHeader());
  EXPECT_EQ(s.Header()->allocSize, 38u);
  buffer[0] = 'z';
  buffer[1] = '\0';
  s.ReleaseBuffer();
  EXPECT_EQ(Text(s), "z");
}

TEST_F(TStringOperations, ReleaseBufferStopsAtTheBufferEnd) {
  Util::TString s("abc");  // capacity 4
  char* buffer = s.GetBuffer();
  std::memset(buffer, 'w', Capacity(s));  // no terminator anywhere in the buffer
  s.ReleaseBuffer();
  EXPECT_EQ(Text(s), "www");
  EXPECT_EQ(tstring_test::WordAt(s, s.Header()->allocSize - 4), Util::TString::kGuard);
}

TEST_F(TStringOperations, ACountAtItsLimitMakesCopiesInsteadOfWrapping) {
  const Util::TString original("counted");
  std::vector<Util::TString> copies;
  copies.reserve(65535);
  for (int i = 0; i < 65534; ++i) {
    copies.push_back(original);
  }
  ASSERT_EQ(original.Header()->refCount, 65535);
  copies.push_back(original);
  EXPECT_NE(copies.back().Header(), original.Header());
  EXPECT_EQ(Text(copies.back()), "counted");
  EXPECT_EQ(original.Header()->refCount, 65535);
  copies.clear();
  EXPECT_EQ(original.Header()->refCount, 1);
}

TEST_F(TStringOperations, ManyOperationsGiveBackEveryBlock) {
  for (int round = 0; round < 200; ++round) {
    Util::TString a("round");
    Util::TString b(a);
    b += std::to_string(round).c_str();
    a = b;
    a += a;
    b.Format("%s/%d", static_cast<const char*>(a), round);
    Util::TString c;
    c = b;
    c.GetBuffer();
    c.ReleaseBuffer();
  }
}

}  // namespace
