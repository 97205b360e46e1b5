// loadXML: what loads, what is refused, what the parse error then says, and secure defaults: a
// document type declaration cannot make the parser read a file or expand entities. Ours
// refuses the declaration as a parse error; Wine's MSXML loads it but leaves external entities
// unexpanded. On Linux the test also watches the file for any open.
#include <filesystem>
#include <fstream>
#include <string>

#include "DomFixture.h"

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace dom_test {
namespace {

// What loads, with a root, and what is refused, and where the parse error places the fault:
// ours gives libxml2's line and column and the source line, Wine's MSXML little detail. After
// a good load the error has no reason and zeros. Rows alternate so that most failures follow
// a document that loaded: a failed load empties it.
TEST_F(DomTest, LoadKeepsARootOnlyForWellFormedTextAndLocatesTheFault) {
  const struct {
    std::u16string text;
    HRESULT expected;
    HRESULT expectedOnWine = expected;
    LONG line = 0;
    LONG linepos = 0;
    const char* srcText = nullptr;  // nullptr: the location is not checked
    const char* reason = nullptr;   // nullptr: libxml2's wording, not checked
  } cases[] = {
      // The text is Unicode already: an encoding named in the declaration does not apply.
      {u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", S_OK},
      {u"", S_FALSE, S_FALSE, 1, 1, "", "XML document must have a top level element.\r\n"},
      {u"<!--c--><?pi x?><a/><!--d-->", S_OK},
      {u" \r\n\t", S_FALSE},
      {u"<a>&#233;&#x41;&lt;&amp;</a>", S_OK, S_OK, 0, 0, "", ""},
      {u"<a>\r\n  <b></a>\r\n", S_FALSE, S_FALSE, 2, 10, "  <b></a>"},
      {u"<a/>", S_OK},
      {u"<a>&nbsp;</a>", S_FALSE},
      // MSXML 6 refuses an undeclared prefix; Wine's MSXML accepts it.
      {u"<a><p:b/></a>", S_FALSE, S_OK},
      {u"<a>\n<b>x\xD800</b></a>", S_FALSE, S_FALSE, 2, 5, "<b>x\xEF\xBF\xBD</b></a>",
       "An invalid character was found in text content.\r\n"},  // a lone surrogate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(Bstr(c.text).get()));
    const HRESULT expected = PlatformExpectation(c.expected, c.expectedOnWine);
    const bool loads = expected == S_OK;
    EXPECT_EQ(Load(std::u16string_view(c.text)), expected);
    IXMLDOMElementPtr root;
    EXPECT_EQ(m_document->get_documentElement(&root), expected);
    EXPECT_EQ(static_cast<bool>(root), loads);
    SelectOne(m_document, "/*", loads ? S_OK : S_FALSE);
    IXMLDOMParseErrorPtr error;
    ASSERT_EQ(m_document->get_parseError(&error), S_OK);
    ATL::CComBSTR reason;
    EXPECT_EQ(error->get_reason(&reason), loads ? S_FALSE : S_OK);
    EXPECT_EQ(Utf8(reason).empty(), loads);
    if (kWine || c.srcText == nullptr) continue;
    LONG line = -1;
    LONG position = -1;
    ATL::CComBSTR source;
    EXPECT_EQ(error->get_line(&line), S_OK);
    EXPECT_EQ(error->get_linepos(&position), S_OK);
    EXPECT_EQ(error->get_srcText(&source), loads ? S_FALSE : S_OK);
    EXPECT_EQ(std::make_tuple(line, position, Utf8(source)),
              std::make_tuple(c.line, c.linepos, std::string(c.srcText)));
    if (c.reason != nullptr) {
      EXPECT_EQ(Utf8(reason), c.reason);
    }
  }
}

// Nested internal entities that would expand to a billion characters if a DTD were honoured.
std::string BillionLaughs() {
  std::string text = "<!DOCTYPE a [<!ENTITY l0 \"lollollollol\">";
  for (int level = 1; level <= 8; ++level) {
    text += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) text += "&l" + std::to_string(level - 1) + ";";
    text += "\">";
  }
  return text + "]><a>&l8;</a>";
}

// Each document names, where "URL" stands, a file that a parser resolving external entities
// would read; on Linux an inotify watch tells whether anything opened it.
TEST_F(DomTest, HostileDocumentsNeitherReadFilesNorExpandEntities) {
  constexpr std::string_view kSecret = "CORVANE-SECRET-CONTENT";
  const std::filesystem::path secret =
      std::filesystem::temp_directory_path() /
      ("corvane-msxml-secret-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ".txt");
  std::ofstream(secret) << kSecret;
#ifndef _WIN32
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  EXPECT_GE(inotify_add_watch(watch, secret.c_str(), IN_OPEN | IN_ACCESS), 0);
#endif
  const std::string documents[] = {
      "<!DOCTYPE a [<!ENTITY x SYSTEM \"URL\">]><a>&x;</a>",
      "<!DOCTYPE a SYSTEM \"URL\"><a/>",
      "<!DOCTYPE a [<!ENTITY % p SYSTEM \"URL\"> %p;]><a/>",
      "<!DOCTYPE a [<!ENTITY x SYSTEM \"URL\">]><a v=\"&x;\"/>",
      BillionLaughs(),
  };
  for (std::string text : documents) {
    if (const auto at = text.find("URL"); at != std::string::npos)
      text.replace(at, 3, "file:///" + secret.generic_string());
    SCOPED_TRACE(text);
    const HRESULT hr = Load(text);
    if (kWine) {
      if (hr == S_OK) {
        EXPECT_EQ(Xml(m_document).find(kSecret), std::string::npos);
        EXPECT_EQ(Text(m_document).find(kSecret), std::string::npos);
        EXPECT_LT(Text(m_document).size(), 1'000'000U);
      }
      continue;
    }
    EXPECT_EQ(hr, S_FALSE);
    IXMLDOMParseErrorPtr error;
    ATL::CComBSTR reason;
    EXPECT_EQ(m_document->get_parseError(&error), S_OK);
    EXPECT_EQ(error->get_reason(&reason), S_OK);
    EXPECT_NE(Utf8(reason).find("DTD"), std::string::npos) << Utf8(reason);
  }
#ifndef _WIN32
  alignas(inotify_event) char events[4096];
  EXPECT_LE(read(watch, events, sizeof events), 0) << "the file was opened";
  close(watch);
#endif
  std::filesystem::remove(secret);
}

}  // namespace
}  // namespace dom_test
