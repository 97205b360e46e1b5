// BSTR layout and allocation, the same on Linux and on Windows' oleaut32.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "WideText.h"

namespace {

struct BstrFree {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

std::uint32_t PrefixOf(BSTR text) {
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof prefix, sizeof prefix);
  return prefix;
}

TEST(Bstr, ByteLengthPrecedesCharactersAndNulFollows) {
  Bstr text(SysAllocString(OLESTR("h\u00e9llo")));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringLen(text.get()), 5u);
  EXPECT_EQ(SysStringByteLen(text.get()), 10u);
  EXPECT_EQ(PrefixOf(text.get()), 10u);
  EXPECT_EQ(text.get()[5], 0);
}

TEST(Bstr, LengthCountsEmbeddedNuls) {
  const OLECHAR source[] = {'a', 0, 'b'};
  Bstr text(SysAllocStringLen(source, 3));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringLen(text.get()), 3u);
  EXPECT_EQ(FromBstr(text.get()), Units({'a', 0, 'b'}));
  EXPECT_EQ(text.get()[3], 0);
}

TEST(Bstr, ByteLengthMayBeOdd) {
  Bstr text(SysAllocStringByteLen("abc", 3));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringByteLen(text.get()), 3u);
  EXPECT_EQ(SysStringLen(text.get()), 1u);
  EXPECT_EQ(std::memcmp(text.get(), "abc", 3), 0);
  EXPECT_EQ(reinterpret_cast<const char*>(text.get())[3], '\0');
}

TEST(Bstr, NullAndEmptyAreDistinct) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  Bstr empty(SysAllocString(OLESTR("")));
  ASSERT_TRUE(empty);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
  EXPECT_EQ(empty.get()[0], 0);
}

TEST(Bstr, LengthBeyondAByteCountOf32BitsFails) {
  EXPECT_EQ(SysAllocStringLen(nullptr, UINT_MAX), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, UINT_MAX / 2 + 1), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT_MAX), nullptr);
}

TEST(Bstr, ReallocationMayReadItsOwnText) {
  BSTR text = SysAllocString(OLESTR("abcdef"));
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(SysReAllocStringLen(&text, text + 2, 3));
  Bstr owned(text);
  EXPECT_EQ(FromBstr(owned.get()), Units({'c', 'd', 'e'}));
}

}  // namespace
