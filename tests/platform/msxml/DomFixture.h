// A DOMDocument60 made through COM as the module makes it, and UTF-8 text in and out of BSTRs.
// The same tests run against Wine's MSXML 6 (Windows build) and against the platform's own
// implementation (Linux build).
#pragma once

#include <string>
#include <string_view>

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

// One BSTR, from UTF-8 or from UTF-16 units as they are (lone surrogates included).
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) {
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    m_text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, m_text, length);
  }
  explicit Bstr(std::u16string_view units)
      : m_text(SysAllocStringLen(Ole(units).c_str(), static_cast<UINT>(units.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(m_text); }

  BSTR get() const { return m_text; }
  // For out-parameters: frees what is held first.
  BSTR* out() {
    SysFreeString(m_text);
    m_text = nullptr;
    return &m_text;
  }
  std::string Utf8() const {
    const int units = static_cast<int>(SysStringLen(m_text));
    if (units == 0) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, m_text, units, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, m_text, units, text.data(), bytes, nullptr, nullptr);
    return text;
  }

 private:
  BSTR m_text = nullptr;
};

inline std::string Text(IXMLDOMNode* node) {
  Bstr text;
  EXPECT_EQ(node->get_text(text.out()), S_OK);
  return text.Utf8();
}

inline std::string Xml(IXMLDOMNode* node) {
  Bstr xml;
  EXPECT_EQ(node->get_xml(xml.out()), S_OK);
  return xml.Utf8();
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
