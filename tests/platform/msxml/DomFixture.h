// A DOMDocument60 made through COM as the module makes it, and UTF-8 text in and out of BSTRs.
// The same tests run against Wine's MSXML 6 (Windows build) and against the platform's own
// implementation (Linux build).
#pragma once

#include <string>
#include <string_view>

#include "../../../platform/common/UniqueBstr.h"
#include "../ComTestSupport.h"

namespace dom_test {

#ifdef _WIN32
inline constexpr bool kWine = true;
#else
inline constexpr bool kWine = false;
#endif

// What a test expects on this platform, where Wine's MSXML and ours differ.
template <class T>
constexpr T PlatformExpectation(T linux, T wine) {
  return kWine ? wine : linux;
}

// A BSTR of UTF-16 units as they are (lone surrogates included), or of UTF-8 text.
inline platform::UniqueBstr Bstr(std::u16string_view units) {
  return platform::UniqueBstr(
      SysAllocStringLen(Ole(units).c_str(), static_cast<UINT>(units.size())));
}
inline platform::UniqueBstr Bstr(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  std::basic_string<OLECHAR> units(utf8.size(), 0);
  units.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, units.data(), size)));
  return platform::UniqueBstr(SysAllocStringLen(units.c_str(), static_cast<UINT>(units.size())));
}

inline std::string Utf8(BSTR text) {
  const int units = static_cast<int>(SysStringLen(text));
  std::string utf8(static_cast<std::size_t>(units) * 3, '\0');
  utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(
      CP_UTF8, 0, text, units, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

inline std::string Text(IXMLDOMNode* node) {
  ATL::CComBSTR text;
  EXPECT_EQ(node->get_text(&text), S_OK);
  return Utf8(text);
}

inline std::string Xml(IXMLDOMNode* node) {
  ATL::CComBSTR xml;
  EXPECT_EQ(node->get_xml(&xml), S_OK);
  return Utf8(xml);
}

inline IXMLDOMNodePtr SelectOne(IXMLDOMNode* context, std::string_view query,
                                HRESULT expected = S_OK) {
  IXMLDOMNodePtr node;
  EXPECT_EQ(context->selectSingleNode(Bstr(query).get(), &node), expected) << query;
  EXPECT_EQ(static_cast<bool>(node), expected == S_OK) << query;
  return node;
}

// A fresh DOMDocument60 per test, in a COM apartment of the test's thread.
class DomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IXMLDOMDocument2, reinterpret_cast<void**>(&m_document)),
              S_OK);
    ASSERT_EQ(m_document->put_async(VARIANT_FALSE), S_OK);
  }
  void TearDown() override {
    m_document = nullptr;
    CoUninitialize();
  }

  // loadXML's HRESULT; the out-flag must agree with it.
  template <class Text>
  HRESULT Load(Text text) {
    VARIANT_BOOL loaded = VARIANT_TRUE;
    const HRESULT hr = m_document->loadXML(Bstr(text).get(), &loaded);
    EXPECT_EQ(loaded, hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE);
    return hr;
  }
  // Loads text that must be well-formed and returns its root element.
  IXMLDOMElementPtr LoadRoot(std::string_view utf8) {
    EXPECT_EQ(Load(utf8), S_OK) << utf8;
    IXMLDOMElementPtr root;
    EXPECT_EQ(m_document->get_documentElement(&root), S_OK);
    return root;
  }

  IXMLDOMDocument2Ptr m_document;
};

}  // namespace dom_test
