// What the host's libraries rely on when strings cross between them and the module, and what
// the operation fuzzer (fuzz/host_string) cannot see: exact block sizes and growth steps, the
// fresh block's words, the shared empty string, a reference count at its limit, a formatter
// without a result and a buffer filled without a terminator.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TString.h"
#include "hostsim/HostSim.h"

namespace {

using Util::TString;

std::size_t Capacity(const TString& s) { return s.Header()->allocSize - s.Header()->overhead; }
std::string Text(const TString& s) { return static_cast<const char*>(s); }

// A word of the block as the host's libraries read it.
std::uint32_t WordAt(const TString& s, std::size_t offset) {
  std::uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const unsigned char*>(s.Header()) + offset, sizeof word);
  return word;
}

// Every test gives back each block it took from the host's allocator.
class TStringBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    m_live = hostsim::GetMemoryStats().liveBlocks;
  }
  void TearDown() override {
    EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, m_live) << "blocks leaked";
  }

 private:
  std::uint64_t m_live = 0;
};

TEST_F(TStringBlocks, NewBlockIsHeaderTextNulAndTailGuardMadeEven) {
  for (const auto& [characters, blockSize] :
       {std::pair<std::size_t, std::uint64_t>{1, 38}, {2, 40}, {3, 40}, {1000, 1038}}) {
    const TString s(std::string(characters, 'q').c_str());
    EXPECT_EQ(s.Header()->allocSize, blockSize) << characters;
  }
  const TString s("abc");
  EXPECT_EQ(WordAt(s, 0), TString::kFreshHeaderWord);
  EXPECT_EQ(s.Header()->overhead, 36);
  EXPECT_EQ(static_cast<const char*>(s), reinterpret_cast<const char*>(s.Header()) + 32);
  const WCHAR wideText[] = {'a', 'b', 'c', 0};
  EXPECT_EQ(TString(wideText).Header()->allocSize, 42u);  // sized by the converted text
}

TEST_F(TStringBlocks, EveryEmptyStringIsTheOneStaticBlock) {
  const TString::BlockHeader* empty = TString::SharedEmptyHeader();
  EXPECT_EQ(empty->allocSize, 38u);
  EXPECT_NE(empty->flags & TString::kFlagStatic, 0);
  const std::basic_string<WCHAR> none;
  TString s("x");
  s = "";
  for (const TString& made :
       {TString(), TString(""), TString(static_cast<const char*>(nullptr)), TString(none.c_str()),
        TString(static_cast<const WCHAR*>(nullptr)), s}) {
    EXPECT_EQ(made.Header(), empty);
  }
}

TEST_F(TStringBlocks, SoleOwnerGrowsByPowersOfTwoThenWholePages) {
  const std::pair<std::size_t, std::size_t> steps[] = {
      {2, 32}, {32, 64}, {4095, 4096}, {4096, 8192}, {8192, 12288}};
  for (const auto& [length, capacity] : steps) {
    TString s("x");
    s += std::string(length - 1, 'y').c_str();
    EXPECT_EQ(Capacity(s), capacity) << length;
    EXPECT_EQ(s.Header()->allocSize, capacity + 36);
  }
}

// The block a write to a copy of a 200-character string (a block of 238) leaves: a shared
// block is copied into one no smaller than the old, a discarding write or one leaving the
// empty string takes a fresh block of exact size.
TEST_F(TStringBlocks, WritesTakeBlocksOfTheRightSize) {
  const std::string longText(200, 'L');
  const struct {
    const char* name;
    std::function<void(TString& s)> write;
    std::string text;
    std::uint64_t blockSize;
  } cases[] = {
      {"append to a shared string", [](TString& s) { s += TString("!"); }, longText + "!", 292},
      {"assign to a shared string", [](TString& s) { s = "abc"; }, "abc", 40},
      {"format a shared string", [](TString& s) { s.Format("%s-%d-%05.1f", "id", -42, 2.5); },
       "id--42-002.5", 50},
      {"append to the empty string", [](TString& s) { (s = TString()) += "hello"; }, "hello", 42},
      {"buffer of the empty string",
       [](TString& s) {
         s = TString();
         std::strcpy(s.GetBuffer(), "z");
         s.ReleaseBuffer();
       },
       "z", 38},
      {"buffer of a shared string filled without a terminator",
       [](TString& s) {
         char* buffer = s.GetBuffer();
         EXPECT_EQ(s.GetBuffer(), buffer);  // a second call hands out the same buffer
         std::memset(buffer, 'w', Capacity(s));
         s.ReleaseBuffer();
       },
       std::string(255, 'w'), 292},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TString original(longText.c_str());
    TString s(original);
    c.write(s);
    EXPECT_EQ(Text(s), c.text);
    EXPECT_EQ(s.Header()->allocSize, c.blockSize);
    EXPECT_EQ(WordAt(s, s.Header()->allocSize - 4), TString::kGuard);
  }
}

TEST_F(TStringBlocks, AssigningItsOwnTextOrAFormatWithoutAResultLeavesTheString) {
  TString s("unchanged");
  s = static_cast<const char*>(s);
  hostsim::SetFormatterFails(true);
  s.Format("%d", 1);
  hostsim::SetFormatterFails(false);
  EXPECT_EQ(Text(s), "unchanged");
}

TEST_F(TStringBlocks, ACountAtItsLimitMakesCopiesInsteadOfWrapping) {
  const TString original("counted");
  std::vector<TString> copies;
  copies.reserve(65535);  // no reallocation, which would copy the counted strings
  copies.assign(65534, original);
  ASSERT_EQ(original.Header()->refCount, 65535);
  copies.push_back(original);
  EXPECT_NE(copies.back().Header(), original.Header());
  EXPECT_EQ(Text(copies.back()), "counted");
  copies.clear();
  EXPECT_EQ(original.Header()->refCount, 1);
}

}  // namespace
