// The process ANSI code page on Linux: UTF-8 unless CORVANE_ACP names another at start-up.
// CTest runs this program with CORVANE_ACP unset, set to 1252 and set to garbage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "WideText.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

UINT ExpectedFromEnvironment() {
  const char* value = std::getenv("CORVANE_ACP");
  if (value == nullptr) return CP_UTF8;
  const std::string text(value);
  if (text == "1252") return 1252;
  return CP_UTF8;  // the runs with other values use ones that are not code pages
}

// Restores the code page in force when the test started.
class AnsiCodePage : public testing::Test {
 protected:
  void TearDown() override { PlatformSetAnsiCodePage(m_saved); }
  UINT m_saved = GetACP();
};

TEST_F(AnsiCodePage, StartsFromTheEnvironment) { EXPECT_EQ(m_saved, ExpectedFromEnvironment()); }

struct AcpCase {
  UINT codePage;
  const char* narrow;
  WideString wide;
};

TEST_F(AnsiCodePage, NarrowTextIsReadInTheProcessCodePage) {
  const AcpCase cases[] = {
      {CP_UTF8, "caf\xC3\xA9", Units({'c', 'a', 'f', 0xE9})},
      {1252, "caf\xC3\xA9", Units({'c', 'a', 'f', 0xC3, 0xA9})},
      {1252, "\x80", Units({0x20AC})},
      {1251, "\xC0", Units({0x410})},
  };
  for (const AcpCase& c : cases) {
    SCOPED_TRACE(c.codePage);
    ASSERT_TRUE(PlatformSetAnsiCodePage(c.codePage));
    EXPECT_EQ(GetACP(), c.codePage);
    for (UINT page : {CP_ACP, CP_THREAD_ACP}) {
      ATL::CComBSTR text(c.narrow);
      EXPECT_EQ(FromBstr(text), c.wide);
      _bstr_t back(text.m_str, true);
      EXPECT_EQ(std::string(static_cast<const char*>(back)), c.narrow) << page;
    }
  }
}

TEST_F(AnsiCodePage, UnmappableCharactersBecomeQuestionMarksOutsideUtf8) {
  ASSERT_TRUE(PlatformSetAnsiCodePage(1252));
  const WideString text = Units({'a', 0x4E2D, 0xE9});
  char out[8] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr), 4);
  EXPECT_STREQ(out, "a?\xE9");
  ASSERT_TRUE(PlatformSetAnsiCodePage(CP_UTF8));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr), 7);
  EXPECT_STREQ(out, "a\xE4\xB8\xAD\xC3\xA9");
}

TEST_F(AnsiCodePage, UnsupportedCodePagesAreRefused) {
  for (UINT page : {0u, 3u, 932u, 12345u}) {
    EXPECT_FALSE(PlatformSetAnsiCodePage(page)) << page;
  }
  EXPECT_EQ(GetACP(), m_saved);
}

}  // namespace
