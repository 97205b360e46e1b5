// The ATL/MFC subset: text to BSTR in the thread's code page, AtlThrow's exception mapping,
// the variant wrapper and CStringA.
#include <string>

#include "../../../platform/common/UniqueBstr.h"
#include "../ComTestSupport.h"

namespace {

TEST(CComBSTR, NarrowTextConvertsWithTheThreadCodePage) {
  for (const char* narrow : {"", "caf\xC3\xA9", "x\xFFy"}) {
    SCOPED_TRACE(narrow);
    ATL::CComBSTR text(narrow);
    ASSERT_NE(text.m_str, nullptr);
    const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, -1, nullptr, 0);
    std::basic_string<OLECHAR> wide(static_cast<std::size_t>(size), OLECHAR{0});
    MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, -1, wide.data(), size);
    EXPECT_EQ(std::basic_string<OLECHAR>(text.m_str, text.Length() + 1), wide);  // with the NUL
  }
  EXPECT_EQ(ATL::CComBSTR(static_cast<LPCSTR>(nullptr)).m_str, nullptr);
  // A code page the system cannot convert from yields no BSTR, which CComBSTR turns into the
  // memory exception.
  EXPECT_FALSE(platform::NarrowToBstr("abc", 12345));
  EXPECT_FALSE(platform::NarrowToBstr(nullptr, CP_UTF8));
}

TEST(CComBSTR, CopiesOwnTheirTextAndAddressOfFreesItForTheOutParameter) {
  ATL::CComBSTR original("abc");
  ATL::CComBSTR copy(original);
  EXPECT_NE(copy.m_str, original.m_str);
  EXPECT_EQ(FromBstr(copy), u"abc");
  ATL::CComBSTR moved(std::move(copy));
  EXPECT_EQ(copy.m_str, nullptr);
  EXPECT_EQ(FromBstr(moved), u"abc");
  BSTR* slot = &moved;
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(OLESTR("new"));
  EXPECT_EQ(FromBstr(moved), u"new");
}

// The HRESULT an MFC exception raised for `code` carries, and whether it is the memory one.
void ExpectMfcException(HRESULT code, bool memory, void (*raise)()) {
  try {
    raise();
    ADD_FAILURE() << "no exception";
  } catch (CException* raw) {
    MfcExceptionPtr exception(raw);
    EXPECT_EQ(dynamic_cast<CMemoryException*>(raw) != nullptr, memory);
    EXPECT_EQ(COleException::Process(raw), code);
    char message[64] = {};
    EXPECT_TRUE(raw->GetErrorMessage(message, sizeof message));
    EXPECT_NE(message[0], '\0');
  }
}

TEST(AtlThrow, RaisesTheMatchingMfcException) {
  ExpectMfcException(E_OUTOFMEMORY, true, [] { ATL::AtlThrow(E_OUTOFMEMORY); });
  ExpectMfcException(E_FAIL, false, [] { ATL::AtlThrow(E_FAIL); });
  ExpectMfcException(E_INVALIDARG, false, [] { ATL::CComBSTR text(-1, OLESTR("x")); });
}

// The memory exception is one shared object that Delete leaves alive.
TEST(AtlThrow, MemoryExceptionIsSharedAndSurvivesDelete) {
  CException* raised[2] = {};
  for (CException*& slot : raised) {
    try {
      AfxThrowMemoryException();
    } catch (CException* e) {
      slot = e;
      e->Delete();
    }
  }
  EXPECT_EQ(raised[0], raised[1]);
}

TEST(CComVariant, OwnsItsTextAndDetachHandsItOver) {
  ATL::CComVariant value("XPath");
  ASSERT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(FromBstr(value.bstrVal), u"XPath");
  ATL::CComVariant copy(value);
  EXPECT_NE(copy.bstrVal, value.bstrVal);
  EXPECT_EQ(copy.Clear(), S_OK);
  EXPECT_EQ(copy.vt, VT_EMPTY);
  EXPECT_EQ(ATL::CComVariant(42).vt, VT_I4);
  EXPECT_EQ(ATL::CComVariant(true).boolVal, VARIANT_TRUE);
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(value.Detach(&out), S_OK);
  EXPECT_EQ(value.vt, VT_EMPTY);
  EXPECT_EQ(out.vt, VT_BSTR);
  VariantClear(&out);
}

TEST(CStringA, BasicsAndClamping) {
  CStringA text("http://host/path");
  EXPECT_STREQ(text.Left(4), "http");
  EXPECT_STREQ(text.Left(99), "http://host/path");
  EXPECT_STREQ(text.Left(-1), "");
  EXPECT_STREQ(text.Mid(7, 4), "host");
  EXPECT_STREQ(text.Mid(99), "");
  text = static_cast<LPCSTR>(nullptr);
  EXPECT_TRUE(text.IsEmpty());
  text += "a";
  text += 'b';
  EXPECT_TRUE(text == "ab");
  text.Empty();
  EXPECT_STREQ(text.GetString(), "");
}

}  // namespace
