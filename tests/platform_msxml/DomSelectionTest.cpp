// XPath selection: from which context, what matches, in which order, and the properties that
// govern it.
#include "DomFixture.h"

namespace dom_test {
namespace {

constexpr const char* kConfiguration =
    "<TSMConfiguration>"
    "<WebTSMPlacementConfiguration url=\"http://first\">"
    "<AceVariableList>"
    "<AceVariable name=\"one\" parameterName=\"p1\"/>"
    "<AceVariable name=\"two\"/>"
    "</AceVariableList>"
    "</WebTSMPlacementConfiguration>"
    "<WebTSMPlacementConfiguration url=\"http://second\">"
    "<AceVariableList><AceVariable name=\"three\"/></AceVariableList>"
    "</WebTSMPlacementConfiguration>"
    "</TSMConfiguration>";

constexpr const char* kVariables =
    "/TSMConfiguration/WebTSMPlacementConfiguration/AceVariableList/AceVariable";

std::string NameOf(IXMLDOMNode* node) {
  Bstr name;
  EXPECT_EQ(node->get_nodeName(name.out()), S_OK);
  return name.Utf8();
}

// Walks a list with nextNode and gives the text of each node's "name" attribute.
std::vector<std::string> Names(IXMLDOMNodeList* nodes) {
  std::vector<std::string> names;
  IXMLDOMNodePtr node;
  while (nodes->nextNode(&node) == S_OK) {
    const Bstr query("@name");
    IXMLDOMNodePtr name;
    EXPECT_EQ(node->selectSingleNode(query.get(), &name), S_OK);
    names.push_back(name ? Text(name) : "");
  }
  EXPECT_FALSE(node);
  return names;
}

struct SelectCase {
  const char* name;
  const char* context;  // path from the root element to the context node
  const char* query;
  const char* expectedText;  // text of the first match, nullptr for no match
};

class SelectSingleNode : public DomTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectSingleNode, FindsTheFirstMatchFromTheContextNode) {
  const SelectCase& c = GetParam();
  const IXMLDOMElementPtr root = LoadRoot(kConfiguration);
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr context = SelectOne(root, c.context);
  ASSERT_TRUE(context);
  const IXMLDOMNodePtr match = SelectOne(context, c.query, c.expectedText ? S_OK : S_FALSE);
  if (c.expectedText != nullptr && match) {
    EXPECT_EQ(Text(match), c.expectedText);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SelectSingleNode,
    ::testing::Values(
        SelectCase{"AbsoluteFromRoot", ".", "/TSMConfiguration/WebTSMPlacementConfiguration/@url",
                   "http://first"},
        SelectCase{"AbsoluteFromDeepNode", "WebTSMPlacementConfiguration/AceVariableList",
                   "/TSMConfiguration/WebTSMPlacementConfiguration/@url", "http://first"},
        SelectCase{"RelativeChild", "WebTSMPlacementConfiguration", "AceVariableList/AceVariable/@name",
                   "one"},
        SelectCase{"AttributeOfContext", "WebTSMPlacementConfiguration", "@url", "http://first"},
        SelectCase{"FirstOfSeveral", ".", "WebTSMPlacementConfiguration/@url", "http://first"},
        SelectCase{"SecondByPosition", ".", "WebTSMPlacementConfiguration[2]/@url",
                   "http://second"},
        SelectCase{"MissingAttribute", "WebTSMPlacementConfiguration/AceVariableList/AceVariable[2]",
                   "@parameterName", nullptr},
        SelectCase{"NamesAreCaseSensitive", ".", "/tsmconfiguration", nullptr},
        SelectCase{"ParentStep", "WebTSMPlacementConfiguration/AceVariableList", "../@url",
                   "http://first"},
        SelectCase{"Descendants", ".", "//AceVariable[@name='three']/@name", "three"}),
    CaseName());

TEST_F(DomTest, SelectNodesGivesAllMatchesInDocumentOrder) {
  const IXMLDOMElementPtr root = LoadRoot(kConfiguration);
  ASSERT_TRUE(root);
  const IXMLDOMNodeListPtr variables = SelectAll(root, kVariables);
  ASSERT_TRUE(variables);
  LONG length = 0;
  EXPECT_EQ(variables->get_length(&length), S_OK);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(Names(variables), (std::vector<std::string>{"one", "two", "three"}));

  // After the end nextNode keeps answering S_FALSE; reset starts over.
  IXMLDOMNodePtr past;
  EXPECT_EQ(variables->nextNode(&past), S_FALSE);
  EXPECT_FALSE(past);
  EXPECT_EQ(variables->reset(), S_OK);
  EXPECT_EQ(Names(variables), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(DomTest, NodeListItemsByIndex) {
  const IXMLDOMElementPtr root = LoadRoot(kConfiguration);
  ASSERT_TRUE(root);
  const IXMLDOMNodeListPtr variables = SelectAll(root, kVariables);
  ASSERT_TRUE(variables);
  IXMLDOMNodePtr item;
  EXPECT_EQ(variables->get_item(2, &item), S_OK);
  ASSERT_TRUE(item);
  EXPECT_EQ(NameOf(item), "AceVariable");
  EXPECT_EQ(variables->get_item(3, &item), S_FALSE);
  EXPECT_FALSE(item);
  EXPECT_EQ(variables->get_item(-1, &item), S_FALSE);
}

TEST_F(DomTest, SelectNodesWithoutMatchesGivesAnEmptyList) {
  const IXMLDOMElementPtr root = LoadRoot("<a><b/></a>");
  ASSERT_TRUE(root);
  const IXMLDOMNodeListPtr nodes = SelectAll(root, "/a/c");
  ASSERT_TRUE(nodes);
  LONG length = -1;
  EXPECT_EQ(nodes->get_length(&length), S_OK);
  EXPECT_EQ(length, 0);
  IXMLDOMNodePtr node;
  EXPECT_EQ(nodes->nextNode(&node), S_FALSE);
}

TEST_F(DomTest, SelectionFromTheDocumentNode) {
  ASSERT_EQ(Load(kConfiguration), S_OK);
  const IXMLDOMNodePtr placement =
      SelectOne(m_document, "TSMConfiguration/WebTSMPlacementConfiguration");
  ASSERT_TRUE(placement);
  EXPECT_EQ(NameOf(placement), "WebTSMPlacementConfiguration");
}

// Un-prefixed names in XPath 1.0 are in no namespace: a default namespace on the root hides
// the whole document from such paths, as for an answer in the wrong vocabulary.
TEST_F(DomTest, NamespacedRootIsNotMatchedByUnprefixedPaths) {
  const IXMLDOMElementPtr root =
      LoadRoot("<WebControlMessage xmlns=\"urn:corvane\" Userpref_CheckSum=\"1\">"
               "<Messages/></WebControlMessage>");
  ASSERT_TRUE(root);
  SelectOne(root, "/WebControlMessage", S_FALSE);
  SelectOne(root, "/WebControlMessage/Messages", S_FALSE);
  // The attribute itself is in no namespace.
  SelectOne(root, "@Userpref_CheckSum");
}

TEST_F(DomTest, SelectionNamespacesBindPrefixesForQueries) {
  const IXMLDOMElementPtr root =
      LoadRoot("<WebControlMessage xmlns=\"urn:corvane\"><Messages/></WebControlMessage>");
  ASSERT_TRUE(root);
  const Bstr name("SelectionNamespaces");
  const Bstr declarations("xmlns:c='urn:corvane'");
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = declarations.get();
  ASSERT_EQ(m_document->setProperty(name.get(), value), S_OK);
  // Nodes handed out before the property was set see it too.
  SelectOne(root, "/c:WebControlMessage/c:Messages");
}

struct PropertyCase {
  const char* name;
  const char* property;
  const char* value;
  HRESULT expected;
  HRESULT expectedOnWine = expected;
};

class SetProperty : public DomTest, public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(SetProperty, AcceptsOnlyWhatItSupports) {
  const Bstr name(GetParam().property);
  const Bstr text(GetParam().value);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text.get();
  EXPECT_EQ(m_document->setProperty(name.get(), value),
            PlatformExpectation(GetParam().expected, GetParam().expectedOnWine));
}

INSTANTIATE_TEST_SUITE_P(
    Properties, SetProperty,
    ::testing::Values(
        PropertyCase{"XPathLanguage", "SelectionLanguage", "XPath", S_OK},
        // MSXML 6 selects with XPath only; Wine's MSXML still takes the old pattern language.
        PropertyCase{"OtherLanguage", "SelectionLanguage", "XSLPattern", E_FAIL, S_OK},
        PropertyCase{"UnknownName", "NoSuchProperty", "XPath", E_FAIL},
        PropertyCase{"NamespaceList", "SelectionNamespaces", "xmlns:a='urn:a' xmlns:b=\"urn:b\"",
                     S_OK},
        PropertyCase{"BrokenNamespaceList", "SelectionNamespaces", "xmlns:c=", E_FAIL},
        PropertyCase{"MarkupInNamespaceList", "SelectionNamespaces", "xmlns:c='u'/><x", E_FAIL}),
    CaseName());

struct BadQueryCase {
  const char* name;
  const char* query;
};

class BadQuery : public DomTest, public ::testing::WithParamInterface<BadQueryCase> {};

TEST_P(BadQuery, FailsWithoutANode) {
  const IXMLDOMElementPtr root = LoadRoot("<a><b/></a>");
  ASSERT_TRUE(root);
  const Bstr query(GetParam().query);
  IXMLDOMNodePtr node;
  EXPECT_TRUE(FAILED(root->selectSingleNode(query.get(), &node))) << GetParam().query;
  EXPECT_FALSE(node);
  IXMLDOMNodeListPtr nodes;
  EXPECT_TRUE(FAILED(root->selectNodes(query.get(), &nodes))) << GetParam().query;
  EXPECT_FALSE(nodes);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, BadQuery,
    ::testing::Values(BadQueryCase{"Syntax", "/a/["}, BadQueryCase{"NotANodeSet", "count(/a)"},
                      BadQueryCase{"UnboundPrefix", "/x:a"}, BadQueryCase{"Empty", ""}),
    CaseName());

TEST_F(DomTest, QueryWithALoneSurrogateFails) {
  const IXMLDOMElementPtr root = LoadRoot("<a/>");
  ASSERT_TRUE(root);
  const Bstr query = RawUtf16(u"/a[@x='\xDC00']");
  IXMLDOMNodePtr node;
  const HRESULT hr = root->selectSingleNode(query.get(), &node);
  if (!kWine) {
    EXPECT_TRUE(FAILED(hr));
  }
  EXPECT_FALSE(node);
}

}  // namespace
}  // namespace dom_test
