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
    const std::basic_string<OLECHAR> withNul(text.m_str, SysStringLen(text) + 1);
    EXPECT_EQ(withNul, wide);
  }
  EXPECT_EQ(ATL::CComBSTR(static_cast<LPCSTR>(nullptr)).m_str, nullptr);
  // A code page the system cannot convert from yields no BSTR, which CComBSTR turns into the
  // memory exception.
  EXPECT_FALSE(platform::NarrowToBstr("abc", 12345));
  EXPECT_FALSE(platform::NarrowToBstr(nullptr, CP_UTF8));
}

TEST(CComBSTR, MovesHandOverTheTextAndAddressOfFreesItForTheOutParameter) {
  ATL::CComBSTR original("abc");
  ATL::CComBSTR moved(std::move(original));
  EXPECT_EQ(original.m_str, nullptr);
  EXPECT_EQ(FromBstr(moved), u"abc");
  BSTR* slot = &moved;
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(OLESTR("new"));
  EXPECT_EQ(FromBstr(moved), u"new");
}

// The MFC exception raised for `code`: the shared memory exception, or an OLE exception
// carrying the code, which the catcher frees.
void ExpectMfcException(HRESULT code, bool memory, void (*raise)()) {
  try {
    raise();
    ADD_FAILURE() << "no exception";
  } catch (CException* raw) {
    MfcExceptionPtr exception(raw);
    EXPECT_EQ(dynamic_cast<CMemoryException*>(raw) != nullptr, memory);
    if (const auto* ole = dynamic_cast<COleException*>(raw)) {
      EXPECT_EQ(ole->m_sc, code);
    }
  }
}

TEST(AtlThrow, RaisesTheMatchingMfcException) {
  ExpectMfcException(E_OUTOFMEMORY, true, [] { ATL::AtlThrow(E_OUTOFMEMORY); });
  ExpectMfcException(E_FAIL, false, [] { ATL::AtlThrow(E_FAIL); });
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

TEST(CComVariant, OwnsACopyOfItsTextUntilCleared) {
  const ATL::CComBSTR text("XPath");
  ATL::CComVariant value(text.m_str);
  ASSERT_EQ(value.vt, VT_BSTR);
  EXPECT_NE(value.bstrVal, text.m_str);
  EXPECT_EQ(FromBstr(value.bstrVal), u"XPath");
  EXPECT_EQ(value.Clear(), S_OK);
  EXPECT_EQ(value.vt, VT_EMPTY);
  EXPECT_EQ(ATL::CComVariant(static_cast<LPCOLESTR>(nullptr)).bstrVal, nullptr);
}

// Out-of-range lengths give empty text; null assigns as empty text.
TEST(CStringA, TakesTextAndClampsLengths) {
  EXPECT_STREQ(CStringA("host/path", 4), "host");
  EXPECT_STREQ(CStringA("host", -1), "");
  EXPECT_STREQ(CStringA(nullptr, 3), "");
  CStringA text;
  text = static_cast<LPCSTR>(nullptr);
  EXPECT_STREQ(text, "");
  text = "abc";
  EXPECT_STREQ(text, "abc");
  text.Empty();
  EXPECT_STREQ(text, "");
}

}  // namespace
