// The process ANSI code page on Linux: UTF-8 unless CORVANE_ACP names another at start-up.
// CTest runs this program with CORVANE_ACP unset, set to 1252 and set to garbage.
#include <cstdlib>
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

}  // namespace
