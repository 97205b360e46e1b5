#include "DomFixture.h"

#include <climits>

namespace dom_test {

Bstr::Bstr(std::string_view utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                         nullptr, 0);
  m_text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), m_text, length);
  }
}

std::string Bstr::Utf8() const {
  const int units = static_cast<int>(SysStringLen(m_text));
  if (units == 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, m_text, units, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, m_text, units, text.data(), bytes, nullptr, nullptr);
  return text;
}

Bstr RawUtf16(std::u16string_view units) {
  Bstr text;
  BSTR* out = text.out();
  *out = SysAllocStringLen(nullptr, static_cast<UINT>(units.size()));
  for (std::size_t i = 0; i < units.size(); ++i) (*out)[i] = static_cast<OLECHAR>(units[i]);
  return text;
}

std::string Text(IXMLDOMNode* node) {
  Bstr text;
  EXPECT_EQ(node->get_text(text.out()), S_OK);
  return text.Utf8();
}

std::string Xml(IXMLDOMNode* node) {
  Bstr xml;
  EXPECT_EQ(node->get_xml(xml.out()), S_OK);
  return xml.Utf8();
}

IXMLDOMDocument2Ptr NewDocument() {
  IXMLDOMDocument2Ptr document;
  const HRESULT hr = CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document));
  EXPECT_EQ(hr, S_OK);
  return document;
}

void DomTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  m_document = NewDocument();
  ASSERT_TRUE(m_document);
  ASSERT_EQ(m_document->put_async(VARIANT_FALSE), S_OK);
}

void DomTest::TearDown() {
  m_document = nullptr;
  CoUninitialize();
}

HRESULT DomTest::Load(std::string_view utf8) {
  const Bstr text(utf8);
  VARIANT_BOOL loaded = VARIANT_TRUE;
  const HRESULT hr = m_document->loadXML(text.get(), &loaded);
  EXPECT_EQ(loaded, hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE) << utf8;
  return hr;
}

IXMLDOMElementPtr DomTest::LoadRoot(std::string_view utf8) {
  EXPECT_EQ(Load(utf8), S_OK) << utf8;
  IXMLDOMElementPtr root;
  EXPECT_EQ(m_document->get_documentElement(&root), S_OK);
  return root;
}

IXMLDOMNodePtr DomTest::SelectOne(IXMLDOMNode* context, std::string_view query,
                                  HRESULT expected) {
  const Bstr path(query);
  IXMLDOMNodePtr node;
  EXPECT_EQ(context->selectSingleNode(path.get(), &node), expected) << query;
  EXPECT_EQ(static_cast<bool>(node), expected == S_OK) << query;
  return node;
}

IXMLDOMNodeListPtr DomTest::SelectAll(IXMLDOMNode* context, std::string_view query) {
  const Bstr path(query);
  IXMLDOMNodeListPtr nodes;
  EXPECT_EQ(context->selectNodes(path.get(), &nodes), S_OK) << query;
  return nodes;
}

IXMLDOMParseErrorPtr DomTest::ParseError() {
  IXMLDOMParseErrorPtr error;
  EXPECT_EQ(m_document->get_parseError(&error), S_OK);
  return error;
}

}  // namespace dom_test
