// XPath selection (the properties that govern it, queries that fail), what a node gives back
// (its text and its serialisation) and how long it lives. Queries from the module's contexts
// run through the module's own tests on both targets.
#include "DomFixture.h"

namespace dom_test {
namespace {

HRESULT SetProperty(IXMLDOMDocument2* document, std::string_view name, std::string_view value) {
  const ATL::CComVariant variant(Bstr(value).get());
  return document->setProperty(Bstr(name).get(), variant);
}

// Un-prefixed names in XPath 1.0 are in no namespace: a default namespace on the root hides
// the whole document from such paths until SelectionNamespaces binds a prefix to it.
TEST_F(DomTest, SelectionPropertiesAndNamespaces) {
  const IXMLDOMElementPtr root = LoadRoot(
      "<WebControlMessage xmlns=\"urn:corvane\" Userpref_CheckSum=\"1\">"
      "<Messages/></WebControlMessage>");
  ASSERT_TRUE(root);
  SelectOne(root, "/WebControlMessage/Messages", S_FALSE);
  SelectOne(root, "@Userpref_CheckSum");  // the attribute itself is in no namespace
  EXPECT_EQ(SetProperty(m_document, "SelectionLanguage", "XPath"), S_OK);
  // MSXML 6 selects with XPath only; Wine's MSXML still takes the old pattern language.
  EXPECT_EQ(SetProperty(m_document, "SelectionLanguage", "XSLPattern"),
            PlatformExpectation(E_FAIL, S_OK));
  EXPECT_EQ(SetProperty(m_document, "NoSuchProperty", "XPath"), E_FAIL);
  for (const char* malformed : {"xmlns:c=", "xmlns:c='u'/><x"}) {
    EXPECT_EQ(SetProperty(m_document, "SelectionNamespaces", malformed), E_FAIL) << malformed;
  }
  ASSERT_EQ(
      SetProperty(m_document, "SelectionNamespaces", "xmlns:a='urn:a' xmlns:c=\"urn:corvane\""),
      S_OK);
  SelectOne(root, "/c:WebControlMessage/c:Messages");  // nodes handed out before see it too
}

TEST_F(DomTest, BadQueriesFailWithoutANode) {
  const IXMLDOMElementPtr root = LoadRoot("<a><b/></a>");
  ASSERT_TRUE(root);
  for (const std::u16string_view text : {u"/a/[", u"count(/a)", u"/x:a", u"", u"/a[@x='\xDC00']"}) {
    SCOPED_TRACE(Utf8(Bstr(text).get()));
    IXMLDOMNodePtr node;
    IXMLDOMNodeListPtr nodes;
    const HRESULT single = root->selectSingleNode(Bstr(text).get(), &node);
    const HRESULT all = root->selectNodes(Bstr(text).get(), &nodes);
    EXPECT_FALSE(node);
    // Wine's MSXML takes a lone surrogate in a query.
    if (kWine && text.find(u'\xDC00') != std::u16string_view::npos) continue;
    EXPECT_TRUE(FAILED(single) && FAILED(all));
    EXPECT_FALSE(nodes);
  }
}

struct ContentCase {
  const char* document;
  const char* query;  // from the document
  const char* text;   // nullptr: not checked
  const char* xml;    // nullptr: not checked
  const char* xmlOnWine = xml;
};

TEST_F(DomTest, NodeTextAndMarkup) {
  const ContentCase cases[] = {
      {"<a v=\"  x &amp; y &lt;z&gt; &quot;q&quot; \xC3\xA9\"/>", "/a/@v",
       "  x & y <z> \"q\" \xC3\xA9", nullptr},
      {"<a v=\"\"/>", "/a/@v", "", "v=\"\""},
      {"<a><b>one</b><![CDATA[<raw>]]><!--no--><c>two<d>three</d></c></a>", "/a",
       "one<raw>twothree", nullptr},
      {"<a>\n  padded  \n</a>", "/a", "padded", nullptr},
      {"<a><Messages></Messages></a>", "/a/Messages", "", "<Messages/>"},
      {"<a><m v='&lt;&amp;&quot;'>a &lt; b &amp;&amp; c &gt; d \"q\"</m></a>", "/a/m", nullptr,
       "<m v=\"&lt;&amp;&quot;\">a &lt; b &amp;&amp; c &gt; d \"q\"</m>"},
      {"<a><m>Grüße € 日本 😀</m></a>", "/a/m", "Grüße € 日本 😀", "<m>Grüße € 日本 😀</m>"},
      // Wine's MSXML writes non-ASCII characters of attribute values as references.
      {"<a><m t=\"é€\"/></a>", "/a/m", nullptr, "<m t=\"é€\"/>", "<m t=\"&#xE9;&#x20AC;\"/>"},
      {"<a><m><![CDATA[x<y]]><!--c--></m></a>", "/a/m", nullptr, "<m><![CDATA[x<y]]><!--c--></m>"},
      // Serialised alone, an element declares what its ancestors declared for it; Wine's MSXML
      // leaves the declarations out, and its markup does not stand on its own.
      {"<a xmlns=\"urn:d\" xmlns:p=\"urn:p\" xmlns:q=\"urn:q\"><m><p:x p:v=\"1\"/></m></a>", "/*/*",
       nullptr, "<m xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:x p:v=\"1\"/></m>",
       "<m>\r\n\t<p:x p:v=\"1\"/>\r\n</m>"},
      // The parser turns CR LF into LF; the serialisation writes line breaks as CR LF.
      {"<a><m>line one\r\nline two\nthree</m></a>", "/a/m", nullptr,
       "<m>line one\r\nline two\r\nthree</m>"},
      // White space between elements is dropped on loading; where it stood, the serialisation
      // writes CR LF and indents with tabs.
      {"<W>\n    <Messages>\n        <Message id=\"1\">Hi</Message>\n        <Message id=\"2\"/>\n"
       "    </Messages>\n</W>",
       "/W/Messages", "Hi",
       "<Messages>\r\n\t<Message id=\"1\">Hi</Message>\r\n\t<Message id=\"2\"/>\r\n</Messages>"},
      // xml:space="preserve" keeps the white space of its own element only (Wine's MSXML
      // indents between all elements).
      {"<a><keep xml:space=\"preserve\">  <b/>  </keep><drop>  <b/>  </drop></a>", "/a", nullptr,
       "<a><keep xml:space=\"preserve\">  <b/>  </keep><drop>\r\n\t\t<b/>\r\n\t</drop></a>",
       "<a>\r\n\t<keep xml:space=\"preserve\">  <b/>  </keep>\r\n\t<drop>\r\n\t\t<b/>\r\n\t</drop>"
       "\r\n</a>"},
  };
  for (const ContentCase& c : cases) {
    SCOPED_TRACE(c.document);
    ASSERT_EQ(Load(c.document), S_OK);
    const IXMLDOMNodePtr node = SelectOne(m_document, c.query);
    ASSERT_TRUE(node);
    if (c.text != nullptr) {
      EXPECT_EQ(Text(node), c.text);
    }
    const char* xml = PlatformExpectation(c.xml, c.xmlOnWine);
    if (xml != nullptr) {
      EXPECT_EQ(Xml(node), xml);
    }
  }
}

// Nodes and lists stay usable after their document is reloaded and released.
TEST_F(DomTest, NodesStayUsableAfterTheDocumentIsReleasedOrReloaded) {
  const IXMLDOMElementPtr root = LoadRoot(
      "<WebControlMessage Userpref_CheckSum=\"42\"><Messages><Message id=\"1\">Hello</Message>"
      "</Messages></WebControlMessage>");
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr messages = SelectOne(root, "/WebControlMessage/Messages");
  IXMLDOMNodeListPtr all;
  ASSERT_EQ(root->selectNodes(Bstr("//Message").get(), &all), S_OK);
  ASSERT_TRUE(messages);
  ASSERT_EQ(Load("<other/>"), S_OK);
  m_document = nullptr;
  EXPECT_EQ(Xml(messages), PlatformExpectation(
                               "<Messages><Message id=\"1\">Hello</Message></Messages>",
                               "<Messages>\r\n\t<Message id=\"1\">Hello</Message>\r\n</Messages>"));
  EXPECT_EQ(Text(SelectOne(root, "@Userpref_CheckSum")), "42");
  IXMLDOMNodePtr first;
  EXPECT_EQ(all->nextNode(&first), S_OK);
  ASSERT_TRUE(first);
  EXPECT_EQ(Text(first), "Hello");
}

}  // namespace
}  // namespace dom_test
