// Loading the placement configuration folder's files into DOM documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "HostProfile.h"

#ifndef _WIN32
#include "platform/linux/PlatformTestSupport.h"
#endif

namespace {

using corvane_test::HostProfile;
using corvane_test::Worker;

std::string RootName(IXMLDOMDocument2* document) {
  IXMLDOMElementPtr root;
  ATL::CComBSTR name;
  if (document->get_documentElement(&root) != S_OK || root->get_nodeName(&name) != S_OK) return {};
  return static_cast<const char*>(Util::TString(static_cast<const WCHAR*>(name.m_str)));
}

class LocalDocumentTest : public ::testing::Test {
 protected:
  HostProfile profile;
};

// A missing file asks neither the DOM factory nor COM and logs nothing; every load that reads
// its file initialises COM once more, so that the returned document stays usable.
TEST_F(LocalDocumentTest, EachLoadGivesAnIndependentDocumentOrNothing) {
#ifndef _WIN32
  const int comBefore = PlatformComInitCount();
#endif
  const unsigned created = hostsim::DomDocumentsCreated();
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(hostsim::DomDocumentsCreated(), created);
  EXPECT_TRUE(hostsim::LogRecords().empty());

  profile.WritePlacementConfiguration("<TSMConfiguration><A/></TSMConfiguration>");
  const IXMLDOMDocument2Ptr first = Worker().LoadLocalDocument("TSMCnfg.XML");
  const IXMLDOMDocument2Ptr second = Worker().LoadLocalDocument("TSMCnfg.XML");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.GetInterfacePtr(), second.GetInterfacePtr());
  EXPECT_EQ(RootName(first), "TSMConfiguration");
  EXPECT_TRUE(hostsim::LogRecords().empty());
#ifndef _WIN32
  EXPECT_EQ(PlatformComInitCount(), comBefore + 2);
  profile.WritePlacementConfiguration("<broken");
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(PlatformComInitCount(), comBefore + 3);
#endif

  const std::string nested = std::string("sub") + platform::kPathSeparator + "other.xml";
  corvane_test::fs::create_directories(profile.placementFolder / "sub");
  profile.WritePlacementConfiguration("<Nested/>", nested);
  EXPECT_EQ(RootName(Worker().LoadLocalDocument(nested.c_str())), "Nested");
}

// Text that is not well-formed gives no document and one error line: where the parser
// stopped, the text there and the reason. Wine's MSXML gives line 0 and the bare word "error";
// how errors are located is the DOM's own concern (tests/platform/msxml).
TEST_F(LocalDocumentTest, MalformedFileGivesNoDocumentAndOneParseErrorLine) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"", -1, ""}, {"<TSMConfiguration>\n  <A></B>\n</TSMConfiguration>", 2, "  <A></B>"}};
  for (const auto& [content, expectedLine, sourceLine] : cases) {
    SCOPED_TRACE(content);
    hostsim::ClearLog();
    profile.WritePlacementConfiguration(content);
    EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
    const std::vector<hostsim::LogRecord> records = hostsim::LogRecords();
    ASSERT_EQ(records.size(), 1u);
    const std::string& text = records[0].text;
    EXPECT_EQ(std::tie(records[0].level, records[0].eventType, records[0].function),
              std::make_tuple(3, 5, std::string("CorvaneConfiguration::LoadIntoXML")));
    int line = -1;
    int position = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "XSD parsing error in %d line, pos %d", &line, &position),
              2)
        << text;
    EXPECT_NE(text.find(" and text is \n "), std::string::npos);
    EXPECT_NE(text.find(" with reason "), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
#ifdef _WIN32
    EXPECT_EQ(line, 0);
    EXPECT_NE(text.find("with reason error"), std::string::npos) << text;
#else
    if (expectedLine >= 0) {
      EXPECT_EQ(line, expectedLine) << text;
    }
    EXPECT_NE(text.find(sourceLine), std::string::npos) << text;
    EXPECT_GE(position, 0);
    EXPECT_EQ(text.find("with reason error\n"), std::string::npos) << text;
#endif
  }
}

TEST_F(LocalDocumentTest, FactoryFailureRaisesTheHostStatusAndNoDocumentAPointerError) {
  profile.WritePlacementConfiguration("<TSMConfiguration/>");
  hostsim::SetDomFactoryResult(REGDB_E_CLASSNOTREG);
  try {
    static_cast<void>(Worker().LoadLocalDocument("TSMCnfg.XML"));
    ADD_FAILURE() << "no exception";
  } catch (const Util::Exception& exception) {
    EXPECT_EQ(exception.GetStatus().GetStatusCode(), static_cast<long>(REGDB_E_CLASSNOTREG));
    EXPECT_STREQ(static_cast<const char*>(exception.GetStatus().GetStatusMessage()),
                 "MSXML could not CoCreateInstance HRESULT=80040154");
  }
  EXPECT_TRUE(hostsim::LogRecords().empty());

  ATL::CComBSTR text;
  text.Attach(SysAllocStringLen(nullptr, 0));
  IXMLDOMDocument2Ptr none;
  try {
    Worker().LoadIntoXML(text, none);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
}

}  // namespace
