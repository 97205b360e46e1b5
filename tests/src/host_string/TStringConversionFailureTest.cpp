// Construction from UTF-16 when the conversion fails: the string is the shared empty string
// and no block is left behind. This executable's WideCharToMultiByte replaces the platform's
// (the dynamic linker binds the string code's calls to the executable's definition).
#include <gtest/gtest.h>

#include "TStringTestSupport.h"

namespace {

enum class Conversion { Works, SizeQueryFails, ConversionFails };
Conversion g_conversion = Conversion::Works;
int g_calls = 0;

}  // namespace

// ASCII-only stand-in with the platform's signature.
int WideCharToMultiByte(UINT, DWORD, LPCWCH wide, int, LPSTR multiByte, int multiByteCount, LPCCH,
                        LPBOOL) {
  ++g_calls;
  int length = 0;
  while (wide[length] != 0) {
    ++length;
  }
  if (multiByteCount == 0) {
    return g_conversion == Conversion::SizeQueryFails ? 0 : length + 1;
  }
  if (g_conversion == Conversion::ConversionFails) {
    multiByte[0] = 'X';  // a failing conversion may leave partial output
    return 0;
  }
  for (int i = 0; i <= length && i < multiByteCount; ++i) {
    multiByte[i] = static_cast<char>(wide[i]);
  }
  return length + 1;
}

namespace {

class Utf16Conversion : public ::testing::TestWithParam<Conversion> {
 protected:
  void SetUp() override {
    g_conversion = GetParam();
    g_calls = 0;
  }
};

TEST_P(Utf16Conversion, FailureGivesTheSharedEmptyStringWithoutALeak) {
  const std::uint64_t live = tstring_test::LiveBlocks();
  {
    const Util::TString s(tstring_test::Wide("text").c_str());
    ASSERT_GT(g_calls, 0) << "the platform's conversion was called instead of the stand-in";
    if (GetParam() == Conversion::Works) {
      EXPECT_EQ(tstring_test::Text(s), "text");
    } else {
      EXPECT_EQ(s.Header(), Util::TString::SharedEmptyHeader());
    }
  }
  EXPECT_EQ(tstring_test::LiveBlocks(), live);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, Utf16Conversion,
                         ::testing::Values(Conversion::Works, Conversion::SizeQueryFails,
                                           Conversion::ConversionFails));

}  // namespace
