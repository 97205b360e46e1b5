// The process ANSI code page on Linux: UTF-8 unless CORVANE_ACP names another at start-up.
// CTest runs this program with CORVANE_ACP unset, set to 1252 and set to garbage.
#include <cstdlib>
#include <cstring>
#include <string>

#include "../ComTestSupport.h"
#include "platform/linux/PlatformTestSupport.h"

namespace {

// Restores the code page in force when the test started.
class AnsiCodePage : public testing::Test {
 protected:
  void TearDown() override { PlatformSetAnsiCodePage(m_saved); }
  UINT m_saved = GetACP();
};

TEST_F(AnsiCodePage, StartsFromTheEnvironmentAndRefusesUnsupportedPages) {
  const char* value = std::getenv("CORVANE_ACP");
  EXPECT_EQ(m_saved, value != nullptr && std::string(value) == "1252" ? 1252u : UINT{CP_UTF8});
  for (UINT page : {0u, 3u, 932u, 12345u}) EXPECT_FALSE(PlatformSetAnsiCodePage(page)) << page;
  EXPECT_EQ(GetACP(), m_saved);
}

// Narrow text is read (by CComBSTR) and written in the process code page, and what that page
// cannot hold becomes a question mark.
TEST_F(AnsiCodePage, NarrowTextFollowsTheProcessCodePage) {
  const struct {
    UINT codePage;
    std::u16string wide;     // of "caf\xC3\xA9"
    const char* unmappable;  // U+4E2D between 'a' and U+00E9, written back
  } cases[] = {{CP_UTF8, u"caf\xE9", "a\xE4\xB8\xAD\xC3\xA9"}, {1252, u"caf\xC3\xA9", "a?\xE9"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    ASSERT_TRUE(PlatformSetAnsiCodePage(c.codePage));
    ATL::CComBSTR text("caf\xC3\xA9");
    EXPECT_EQ(FromBstr(text), c.wide);
    char out[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, Ole(u"a\x4E2D\xE9").c_str(), -1, out, sizeof out,
                                  nullptr, nullptr),
              static_cast<int>(std::strlen(c.unmappable)) + 1);
    EXPECT_STREQ(out, c.unmappable);
  }
}

}  // namespace
