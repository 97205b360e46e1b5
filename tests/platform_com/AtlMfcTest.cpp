// The ATL/MFC subset: text to BSTR in the thread's code page, AtlThrow's exception mapping,
// the variant wrapper and CStringA.
#include <gtest/gtest.h>

#include <string>

#include "../../platform/common/UniqueBstr.h"
#include "WideText.h"

namespace {

WideString ThreadAnsiToWide(const char* text) {
  const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  WideString wide(static_cast<std::size_t>(size), OLECHAR{0});
  MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), size);
  wide.pop_back();  // the NUL
  return wide;
}

class CComBSTRFromNarrow : public testing::TestWithParam<const char*> {};

TEST_P(CComBSTRFromNarrow, ConvertsWithTheThreadCodePage) {
  ATL::CComBSTR text(GetParam());
  ASSERT_NE(text.m_str, nullptr);
  EXPECT_EQ(FromBstr(text), ThreadAnsiToWide(GetParam()));
  EXPECT_EQ(text.m_str[text.Length()], 0);
}

INSTANTIATE_TEST_SUITE_P(Texts, CComBSTRFromNarrow,
                         testing::Values("", "<a/>", "caf\xC3\xA9", "\xE9t\xE9", "x\xFFy"));

TEST(CComBSTR, NullTextGivesNullBstr) {
  ATL::CComBSTR text(static_cast<LPCSTR>(nullptr));
  EXPECT_EQ(text.m_str, nullptr);
  EXPECT_TRUE(!text);
}

TEST(CComBSTR, CopiesOwnTheirText) {
  ATL::CComBSTR original("abc");
  ATL::CComBSTR copy(original);
  EXPECT_NE(copy.m_str, original.m_str);
  EXPECT_EQ(FromBstr(copy), FromBstr(original));
  ATL::CComBSTR moved(std::move(copy));
  EXPECT_EQ(copy.m_str, nullptr);
  EXPECT_EQ(FromBstr(moved), FromBstr(original));
}

TEST(CComBSTR, AddressOfFreesTheOldTextForTheOutParameter) {
  ATL::CComBSTR text("old");
  BSTR* slot = &text;
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(OLESTR("new"));
  EXPECT_EQ(text.Length(), 3u);
}

TEST(CComBSTR, NegativeLengthRaisesOleExceptionWithInvalidArg) {
  try {
    ATL::CComBSTR text(-1, OLESTR("x"));
    FAIL() << "no exception";
  } catch (CException* raw) {
    MfcExceptionPtr exception(raw);
    auto* ole = dynamic_cast<COleException*>(exception.get());
    ASSERT_NE(ole, nullptr);
    EXPECT_EQ(ole->m_sc, E_INVALIDARG);
  }
}

// The conversion step alone: a code page the system cannot convert from yields no BSTR, which
// CComBSTR turns into the memory exception.
TEST(NarrowToBstr, FailedSizeQueryGivesNoBstr) {
  EXPECT_FALSE(platform::NarrowToBstr("abc", 12345));
  EXPECT_FALSE(platform::NarrowToBstr(nullptr, CP_UTF8));
  platform::UniqueBstr converted = platform::NarrowToBstr("abc", CP_UTF8);
  ASSERT_TRUE(converted);
  EXPECT_EQ(SysStringLen(converted.get()), 3u);
}

struct ThrowCase {
  const char* name;
  HRESULT code;
  bool memory;
};
void PrintTo(const ThrowCase& c, std::ostream* os) { *os << c.name; }

class AtlThrowMapping : public testing::TestWithParam<ThrowCase> {};

TEST_P(AtlThrowMapping, RaisesTheMatchingMfcException) {
  const ThrowCase& c = GetParam();
  try {
    ATL::AtlThrow(c.code);
  } catch (CException* raw) {
    MfcExceptionPtr exception(raw);
    EXPECT_EQ(dynamic_cast<CMemoryException*>(raw) != nullptr, c.memory);
    EXPECT_EQ(COleException::Process(raw), c.code);
    char message[64] = {};
    EXPECT_TRUE(raw->GetErrorMessage(message, sizeof message));
    EXPECT_NE(message[0], '\0');
    return;
  }
  FAIL() << "no exception";
}

INSTANTIATE_TEST_SUITE_P(Codes, AtlThrowMapping,
                         testing::Values(ThrowCase{"OutOfMemory", E_OUTOFMEMORY, true},
                                         ThrowCase{"Fail", E_FAIL, false},
                                         ThrowCase{"InvalidArg", E_INVALIDARG, false},
                                         ThrowCase{"Pointer", E_POINTER, false}),
                         CaseName());

TEST(MfcExceptions, MemoryExceptionIsSharedAndSurvivesDelete) {
  CException* first = nullptr;
  CException* second = nullptr;
  try {
    AfxThrowMemoryException();
  } catch (CException* e) {
    first = e;
    e->Delete();
  }
  try {
    AfxThrowMemoryException();
  } catch (CException* e) {
    second = e;
    MfcExceptionPtr owned(e);
  }
  EXPECT_EQ(first, second);
}

TEST(CComVariant, NarrowTextBecomesAnOwnedBstr) {
  ATL::CComVariant value("XPath");
  ASSERT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(FromBstr(value.bstrVal), Units({'X', 'P', 'a', 't', 'h'}));
  ATL::CComVariant copy(value);
  EXPECT_NE(copy.bstrVal, value.bstrVal);
  EXPECT_EQ(copy.Clear(), S_OK);
  EXPECT_EQ(copy.vt, VT_EMPTY);
  ATL::CComVariant empty("");
  ASSERT_EQ(empty.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(empty.bstrVal), 0u);
}

TEST(CComVariant, ScalarsAndDetach) {
  ATL::CComVariant number(42);
  EXPECT_EQ(number.vt, VT_I4);
  EXPECT_EQ(number.lVal, 42);
  ATL::CComVariant flag(true);
  EXPECT_EQ(flag.vt, VT_BOOL);
  EXPECT_EQ(flag.boolVal, VARIANT_TRUE);
  ATL::CComVariant text(OLESTR("moved"));
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(text.Detach(&out), S_OK);
  EXPECT_EQ(text.vt, VT_EMPTY);
  EXPECT_EQ(out.vt, VT_BSTR);
  VariantClear(&out);
}

TEST(CStringA, BasicsAndClamping) {
  CStringA text("http://host/path");
  EXPECT_EQ(text.GetLength(), 16);
  EXPECT_STREQ(text.Left(4), "http");
  EXPECT_STREQ(text.Left(99), "http://host/path");
  EXPECT_STREQ(text.Mid(7, 4), "host");
  EXPECT_STREQ(text.Mid(11), "/path");
  EXPECT_STREQ(text.Mid(99), "");
  EXPECT_STREQ(text.Left(-1), "");
  text = static_cast<LPCSTR>(nullptr);
  EXPECT_TRUE(text.IsEmpty());
  text += "a";
  text += 'b';
  EXPECT_TRUE(text == "ab");
  text.Empty();
  EXPECT_STREQ(text.GetString(), "");
}

}  // namespace
