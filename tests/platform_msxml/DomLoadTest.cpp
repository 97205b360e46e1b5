// loadXML: what loads, what is refused, and what the parse error then says.
#include "DomFixture.h"

namespace dom_test {
namespace {

struct LoadCase {
  const char* name;
  const char* text;
  HRESULT expected;
  HRESULT expectedOnWine = expected;
};

class LoadXml : public DomTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadXml, AnswersWithTheExpectedResultAndRootElement) {
  const LoadCase& c = GetParam();
  const HRESULT expected = PlatformExpectation(c.expected, c.expectedOnWine);
  EXPECT_EQ(Load(c.text), expected);
  IXMLDOMElementPtr root;
  EXPECT_EQ(m_document->get_documentElement(&root), expected);
  EXPECT_EQ(static_cast<bool>(root), expected == S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    WellFormed, LoadXml,
    ::testing::Values(
        LoadCase{"Element", "<a/>", S_OK},
        LoadCase{"DeclarationAndContent", "<?xml version=\"1.0\"?><a><b>x</b></a>", S_OK},
        // The text is Unicode already: an encoding named in the declaration does not apply.
        LoadCase{"DeclarationNamingUtf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>é</a>",
                 S_OK},
        LoadCase{"DeclarationNamingLatin1",
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>é</a>", S_OK},
        LoadCase{"CommentsAndInstructionsAroundRoot", "<!--c--><?pi x?><a/><!--d-->", S_OK},
        LoadCase{"DeclaredPrefix", "<a xmlns:p=\"urn:p\"><p:b/></a>", S_OK},
        LoadCase{"CharacterReferences", "<a>&#233;&#x41;&lt;&amp;</a>", S_OK}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    NotWellFormed, LoadXml,
    ::testing::Values(LoadCase{"EmptyText", "", S_FALSE},
                      LoadCase{"OnlyWhiteSpace", " \r\n\t", S_FALSE},
                      LoadCase{"OnlyText", "hello", S_FALSE},
                      LoadCase{"MismatchedEndTag", "<a><b></a>", S_FALSE},
                      LoadCase{"Unclosed", "<a><b/>", S_FALSE},
                      LoadCase{"TwoRoots", "<a/><b/>", S_FALSE},
                      LoadCase{"UndefinedEntity", "<a>&nbsp;</a>", S_FALSE},
                      // MSXML 6 refuses an undeclared prefix; Wine's MSXML accepts it.
                      LoadCase{"UndeclaredPrefix", "<a><p:b/></a>", S_FALSE, S_OK},
                      LoadCase{"DuplicateAttribute", "<a x=\"1\" x=\"2\"/>", S_FALSE},
                      LoadCase{"BareAmpersand", "<a>A & B</a>", S_FALSE},
                      LoadCase{"UnquotedAttribute", "<a x=1/>", S_FALSE}),
    CaseName());

TEST_F(DomTest, FailedLoadEmptiesTheDocumentThatWasLoadedBefore) {
  ASSERT_EQ(Load("<a><b/></a>"), S_OK);
  ASSERT_EQ(Load("<a>"), S_FALSE);
  IXMLDOMElementPtr root;
  EXPECT_EQ(m_document->get_documentElement(&root), S_FALSE);
  EXPECT_FALSE(root);
  SelectOne(m_document, "/a/b", S_FALSE);
}

TEST_F(DomTest, LoadingAgainReplacesTheTree) {
  ASSERT_EQ(Load("<a><b/></a>"), S_OK);
  ASSERT_EQ(Load("<c/>"), S_OK);
  SelectOne(m_document, "/a/b", S_FALSE);
  SelectOne(m_document, "/c");
}

TEST_F(DomTest, LoneSurrogateIsNotWellFormed) {
  const Bstr text = RawUtf16(u"<a>\n<b>x\xD800</b></a>");
  VARIANT_BOOL loaded = VARIANT_TRUE;
  EXPECT_EQ(m_document->loadXML(text.get(), &loaded), S_FALSE);
  EXPECT_EQ(loaded, VARIANT_FALSE);
  LONG line = -1;
  LONG position = -1;
  EXPECT_EQ(ParseError()->get_line(&line), S_OK);
  EXPECT_EQ(ParseError()->get_linepos(&position), S_OK);
  EXPECT_EQ(line, PlatformExpectation(2, 0));
  EXPECT_EQ(position, PlatformExpectation(5, 0));
}

TEST_F(DomTest, SuccessfulLoadLeavesNoParseError) {
  ASSERT_EQ(Load("<a/>"), S_OK);
  const IXMLDOMParseErrorPtr error = ParseError();
  LONG code = -1;
  LONG line = -1;
  EXPECT_EQ(error->get_errorCode(&code), S_FALSE);
  EXPECT_EQ(error->get_line(&line), S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(line, 0);
}

// What each platform reports for a syntax error on the second line. Wine's MSXML gives
// little detail; ours comes from libxml2's error, with the source line's text.
struct ParseErrorReport {
  LONG line;
  bool linePositionKnown;
  const char* sourceText;
};
constexpr ParseErrorReport kLinuxMismatchReport{2, true, "  <b></a>"};
constexpr ParseErrorReport kWineMismatchReport{0, false, ""};

TEST_F(DomTest, ParseErrorLocatesAMismatchedEndTag) {
  ASSERT_EQ(Load("<a>\r\n  <b></a>\r\n"), S_FALSE);
  const ParseErrorReport expected = kWine ? kWineMismatchReport : kLinuxMismatchReport;
  const IXMLDOMParseErrorPtr error = ParseError();
  LONG code = 0;
  LONG line = -1;
  LONG position = -1;
  Bstr reason;
  Bstr source;
  EXPECT_EQ(error->get_errorCode(&code), S_OK);
  EXPECT_EQ(error->get_line(&line), S_OK);
  EXPECT_EQ(error->get_linepos(&position), S_OK);
  EXPECT_EQ(error->get_reason(reason.out()), S_OK);
  static_cast<void>(error->get_srcText(source.out()));
  EXPECT_LT(code, 0);
  EXPECT_EQ(line, expected.line);
  if (expected.linePositionKnown) {
    EXPECT_GT(position, 0);
  }
  EXPECT_FALSE(reason.Utf8().empty());
  EXPECT_EQ(source.Utf8(), expected.sourceText);
}

TEST_F(DomTest, ParseErrorOfEmptyTextSaysTheRootIsMissing) {
  ASSERT_EQ(Load(""), S_FALSE);
  LONG code = 0;
  EXPECT_EQ(ParseError()->get_errorCode(&code), S_OK);
  EXPECT_LT(code, 0);
  if (!kWine) {
    EXPECT_EQ(code, static_cast<LONG>(0xC00CE558u));
    Bstr reason;
    EXPECT_EQ(ParseError()->get_reason(reason.out()), S_OK);
    EXPECT_EQ(reason.Utf8(), "XML document must have a top level element.\r\n");
  }
}

}  // namespace
}  // namespace dom_test
