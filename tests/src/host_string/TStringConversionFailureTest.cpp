// Construction from UTF-16 when the conversion fails: the string is the shared empty string
// and no block is left behind. This executable's WideCharToMultiByte replaces the platform's
// (the dynamic linker binds the string code's calls to the executable's definition).
#include <gtest/gtest.h>

#include <string>

#include "TString.h"
#include "hostsim/HostSim.h"

namespace {

enum class Conversion { Works, SizeQueryFails, ConversionFails };
Conversion g_conversion = Conversion::Works;
int g_calls = 0;

}  // namespace

// ASCII-only stand-in with the platform's signature.
int WideCharToMultiByte(UINT, DWORD, LPCWCH wide, int, LPSTR multiByte, int multiByteCount, LPCCH,
                        LPBOOL) {
  ++g_calls;
  const int length = static_cast<int>(std::char_traits<char16_t>::length(wide));
  if (multiByteCount == 0) return g_conversion == Conversion::SizeQueryFails ? 0 : length + 1;
  if (g_conversion == Conversion::ConversionFails) {
    multiByte[0] = 'X';  // a failing conversion may leave partial output
    return 0;
  }
  for (int i = 0; i <= length && i < multiByteCount; ++i) multiByte[i] = static_cast<char>(wide[i]);
  return length + 1;
}

namespace {

TEST(Utf16Conversion, FailureGivesTheSharedEmptyStringWithoutALeak) {
  for (const Conversion conversion :
       {Conversion::Works, Conversion::SizeQueryFails, Conversion::ConversionFails}) {
    SCOPED_TRACE(static_cast<int>(conversion));
    g_conversion = conversion;
    g_calls = 0;
    const auto live = hostsim::GetMemoryStats().liveBlocks;
    {
      const Util::TString s(u"text");
      ASSERT_GT(g_calls, 0) << "the platform's conversion was called instead of the stand-in";
      if (conversion == Conversion::Works) {
        EXPECT_STREQ(static_cast<const char*>(s), "text");
      } else {
        EXPECT_EQ(s.Header(), Util::TString::SharedEmptyHeader());
      }
    }
    EXPECT_EQ(hostsim::GetMemoryStats().liveBlocks, live);
  }
}

}  // namespace
