// What a node gives back: its text and its serialisation.
#include "DomFixture.h"

namespace dom_test {
namespace {

struct TextCase {
  const char* name;
  const char* document;
  const char* query;
  const char* expected;
};

class NodeText : public DomTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(NodeText, IsTheValueOrTheConcatenatedDescendantText) {
  const IXMLDOMElementPtr root = LoadRoot(GetParam().document);
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr node = SelectOne(root, GetParam().query);
  ASSERT_TRUE(node);
  EXPECT_EQ(Text(node), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, NodeText,
    ::testing::Values(
        TextCase{"AttributeWithEntities", "<a v=\"x &amp; y &lt;z&gt; &quot;q&quot;\"/>", "@v",
                 "x & y <z> \"q\""},
        TextCase{"AttributeKeepsInnerSpaces", "<a v=\"  two  spaces  \"/>", "@v",
                 "  two  spaces  "},
        TextCase{"EmptyAttribute", "<a v=\"\"/>", "@v", ""},
        TextCase{"NonAsciiAttribute", "<a v=\"Grüße €\"/>", "@v", "Grüße €"},
        TextCase{"ElementConcatenatesDescendants", "<a><b>one</b><c>two<d>three</d></c></a>", "/a",
                 "onetwothree"},
        TextCase{"CdataCounts", "<a><![CDATA[<raw>]]>x</a>", "/a", "<raw>x"},
        TextCase{"CommentsDoNotCount", "<a>x<!--no-->y</a>", "/a", "xy"},
        TextCase{"ElementTextLosesOuterWhiteSpace", "<a>\n  padded  \n</a>", "/a", "padded"},
        TextCase{"ElementWithoutText", "<a><b/></a>", "/a", ""}),
    CaseName());

struct XmlCase {
  const char* name;
  const char* document;
  const char* query;
  const char* expected;
  const char* expectedOnWine = expected;
};

class NodeXml : public DomTest, public ::testing::WithParamInterface<XmlCase> {};

TEST_P(NodeXml, IsTheNodesMarkupWithoutADeclaration) {
  const IXMLDOMElementPtr root = LoadRoot(GetParam().document);
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr node = SelectOne(root, GetParam().query);
  ASSERT_TRUE(node);
  EXPECT_EQ(Xml(node), PlatformExpectation(GetParam().expected, GetParam().expectedOnWine));
}

INSTANTIATE_TEST_SUITE_P(
    Elements, NodeXml,
    ::testing::Values(
        XmlCase{"EmptyElement", "<a><Messages></Messages></a>", "/a/Messages", "<Messages/>"},
        XmlCase{"AttributesInDoubleQuotes", "<a><m id='1' kind=\"x\"/></a>", "/a/m",
                "<m id=\"1\" kind=\"x\"/>"},
        XmlCase{"EscapedText", "<a><m>a &lt; b &amp;&amp; c &gt; d \"q\"</m></a>", "/a/m",
                "<m>a &lt; b &amp;&amp; c &gt; d \"q\"</m>"},
        XmlCase{"EscapedAttribute", "<a><m v='&lt;&amp;&quot;'/></a>", "/a/m",
                "<m v=\"&lt;&amp;&quot;\"/>"},
        XmlCase{"NonAsciiText", "<a><m>Grüße € 日本 😀</m></a>", "/a/m",
                "<m>Grüße € 日本 😀</m>"},
        // Wine's MSXML writes non-ASCII characters of attribute values as references.
        XmlCase{"NonAsciiAttribute", "<a><m t=\"é€\"/></a>", "/a/m", "<m t=\"é€\"/>",
                "<m t=\"&#xE9;&#x20AC;\"/>"},
        XmlCase{"NestedElements",
                "<WebControlMessage><Messages><Message id=\"1\"><Body>Hi</Body></Message>"
                "<Message id=\"2\"/></Messages></WebControlMessage>",
                "/WebControlMessage/Messages",
                "<Messages><Message id=\"1\"><Body>Hi</Body></Message><Message id=\"2\"/>"
                "</Messages>",
                // Wine's MSXML indents every element without preserved white space.
                "<Messages>\r\n\t<Message id=\"1\">\r\n\t\t<Body>Hi</Body>\r\n\t</Message>\r\n"
                "\t<Message id=\"2\"/>\r\n</Messages>"},
        XmlCase{"CdataAndComment", "<a><m><![CDATA[x<y]]><!--c--></m></a>", "/a/m",
                "<m><![CDATA[x<y]]><!--c--></m>"},
        // Serialised alone, an element declares what its ancestors declared for it; Wine's
        // MSXML leaves the declarations out, and its markup does not stand on its own.
        XmlCase{"InheritedNamespacesDeclared",
                "<a xmlns=\"urn:d\" xmlns:p=\"urn:p\" xmlns:q=\"urn:q\"><m><p:x p:v=\"1\"/></m></a>",
                "/*/*", "<m xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:x p:v=\"1\"/></m>",
                "<m>\r\n\t<p:x p:v=\"1\"/>\r\n</m>"},
        XmlCase{"NamespaceDeclarationKept", "<a><p:m xmlns:p=\"urn:p\" p:x=\"1\"/></a>", "/a/*",
                "<p:m xmlns:p=\"urn:p\" p:x=\"1\"/>"}),
    CaseName());

TEST_F(DomTest, LineBreakInsideTextIsKept) {
  const IXMLDOMElementPtr root = LoadRoot("<a><m>line one\r\nline two\nthree</m></a>");
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr message = SelectOne(root, "/a/m");
  ASSERT_TRUE(message);
  const std::string xml = Xml(message);
  // The parser turns CR LF into LF; the serialisation writes line breaks as CR LF.
  EXPECT_EQ(xml, "<m>line one\r\nline two\r\nthree</m>");
}

// White space between elements is dropped on loading. Where it stood, MSXML writes a line
// break; Wine and this platform write CR LF and indent with tabs.
TEST_F(DomTest, IndentationIsRewrittenWithoutPreservedWhiteSpace) {
  const IXMLDOMElementPtr root = LoadRoot(
      "<WebControlMessage>\n"
      "    <Messages>\n"
      "        <Message id=\"1\">Hi</Message>\n"
      "        <Message id=\"2\"/>\n"
      "    </Messages>\n"
      "</WebControlMessage>");
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr messages = SelectOne(root, "/WebControlMessage/Messages");
  ASSERT_TRUE(messages);
  EXPECT_EQ(Xml(messages),
            "<Messages>\r\n\t<Message id=\"1\">Hi</Message>\r\n\t<Message id=\"2\"/>\r\n"
            "</Messages>");
  // The white space is gone from the tree: no text children to select.
  const IXMLDOMNodeListPtr texts = SelectAll(messages, "text()");
  ASSERT_TRUE(texts);
  LONG length = -1;
  EXPECT_EQ(texts->get_length(&length), S_OK);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Text(messages), "Hi");
}

TEST_F(DomTest, PreservedWhiteSpaceIsSerialisedAsItWas) {
  ASSERT_EQ(m_document->put_preserveWhiteSpace(VARIANT_TRUE), S_OK);
  const IXMLDOMElementPtr root = LoadRoot("<a>\n  <m> x </m>\n</a>");
  ASSERT_TRUE(root);
  EXPECT_EQ(Xml(root), "<a>\r\n  <m> x </m>\r\n</a>");
  const IXMLDOMNodePtr message = SelectOne(root, "/a/m");
  ASSERT_TRUE(message);
  EXPECT_EQ(Text(message), " x ");
}

TEST_F(DomTest, XmlSpacePreserveKeepsWhiteSpaceOfItsElement) {
  const IXMLDOMElementPtr root =
      LoadRoot("<a><keep xml:space=\"preserve\">  <b/>  </keep><drop>  <b/>  </drop></a>");
  ASSERT_TRUE(root);
  const IXMLDOMNodeListPtr kept = SelectAll(root, "/a/keep/text()");
  const IXMLDOMNodeListPtr dropped = SelectAll(root, "/a/drop/text()");
  ASSERT_TRUE(kept);
  ASSERT_TRUE(dropped);
  LONG keptLength = -1;
  LONG droppedLength = -1;
  EXPECT_EQ(kept->get_length(&keptLength), S_OK);
  EXPECT_EQ(dropped->get_length(&droppedLength), S_OK);
  EXPECT_EQ(keptLength, 2);
  EXPECT_EQ(droppedLength, 0);
}

TEST_F(DomTest, NodeNamesAndTypes) {
  const IXMLDOMElementPtr root = LoadRoot("<p:a xmlns:p=\"urn:p\" v=\"1\">t</p:a>");
  ASSERT_TRUE(root);
  Bstr tag;
  EXPECT_EQ(root->get_tagName(tag.out()), S_OK);
  EXPECT_EQ(tag.Utf8(), "p:a");
  const IXMLDOMNodePtr attribute = SelectOne(root, "@v");
  const IXMLDOMNodePtr text = SelectOne(root, "text()");
  ASSERT_TRUE(attribute);
  ASSERT_TRUE(text);
  DOMNodeType type = NODE_INVALID;
  EXPECT_EQ(attribute->get_nodeType(&type), S_OK);
  EXPECT_EQ(type, NODE_ATTRIBUTE);
  EXPECT_EQ(text->get_nodeType(&type), S_OK);
  EXPECT_EQ(type, NODE_TEXT);
  EXPECT_EQ(m_document->get_nodeType(&type), S_OK);
  EXPECT_EQ(type, NODE_DOCUMENT);
  EXPECT_EQ(Xml(attribute), "v=\"1\"");
}

}  // namespace
}  // namespace dom_test
