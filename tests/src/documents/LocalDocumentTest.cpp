// Loading the placement configuration folder's files into DOM documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "HostProfile.h"

#ifndef _WIN32
#  include "platform/linux/PlatformTestSupport.h"
#endif

namespace {

using corvane_test::HostProfile;
using corvane_test::Worker;

constexpr const char* kConfigurationSource =
    "Features\\MarketingSupport\\Corvane\\src\\corvaneconfiguration";

struct ParseErrorLine {
  int line = -1;
  int position = -1;
  std::string text;
};

// The one parse-error line of the log, split into its numbers and its full text.
std::vector<ParseErrorLine> ParseErrorLines() {
  std::vector<ParseErrorLine> lines;
  for (const hostsim::LogRecord& record : hostsim::LogRecords()) {
    ParseErrorLine parsed;
    if (std::sscanf(record.text.c_str(), "XSD parsing error in %d line, pos %d", &parsed.line,
                    &parsed.position) == 2) {
      EXPECT_EQ(record.level, 3);
      EXPECT_EQ(record.eventType, 5);
      EXPECT_EQ(record.file, kConfigurationSource);
      EXPECT_EQ(record.function, "CorvaneConfiguration::LoadIntoXML");
      parsed.text = record.text;
      lines.push_back(parsed);
    }
  }
  return lines;
}

std::string RootName(IXMLDOMDocument2* document) {
  IXMLDOMElementPtr root;
  EXPECT_EQ(document->get_documentElement(&root), S_OK);
  if (!root) {
    return {};
  }
  ATL::CComBSTR name;
  EXPECT_EQ(root->get_nodeName(&name), S_OK);
  return std::string(static_cast<const char*>(Util::TString(static_cast<const WCHAR*>(name.m_str))));
}

class LocalDocumentTest : public ::testing::Test {
protected:
  HostProfile profile;
};

TEST_F(LocalDocumentTest, PathIsBaseDirectoryThenComponentsPlacementConfigurationThenName) {
  const std::string separator(1, platform::kPathSeparator);
  std::string expected = profile.base.string();
  if (expected.back() != platform::kPathSeparator) {
    expected += separator;
  }
  expected += "components" + separator + "PlacementConfiguration" + separator + "TSMCnfg.XML";
  EXPECT_EQ(std::string(CorvaneConfiguration::GetPlacementConfigurationFilePath("TSMCnfg.XML")),
            expected);
}

TEST_F(LocalDocumentTest, MissingFileGivesNoDocumentAndNoLogLine) {
  const IXMLDOMDocument2Ptr document = Worker().LoadLocalDocument("TSMCnfg.XML");
  EXPECT_FALSE(document);
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

TEST_F(LocalDocumentTest, WellFormedFileGivesItsDocument) {
  profile.WritePlacementConfiguration("<TSMConfiguration><A/></TSMConfiguration>");
  const IXMLDOMDocument2Ptr document = Worker().LoadLocalDocument("TSMCnfg.XML");
  ASSERT_TRUE(document);
  EXPECT_EQ(RootName(document), "TSMConfiguration");
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

TEST_F(LocalDocumentTest, NameWithSubFolderReachesThatSubFolder) {
  corvane_test::fs::create_directories(profile.placementFolder / "sub");
  profile.WritePlacementConfiguration("<Nested/>", std::string("sub") + platform::kPathSeparator +
                                                       "other.xml");
  const IXMLDOMDocument2Ptr document =
      Worker().LoadLocalDocument((std::string("sub") + platform::kPathSeparator + "other.xml").c_str());
  ASSERT_TRUE(document);
  EXPECT_EQ(RootName(document), "Nested");
}

TEST_F(LocalDocumentTest, TwoLoadsGiveIndependentDocuments) {
  profile.WritePlacementConfiguration("<TSMConfiguration/>");
  const IXMLDOMDocument2Ptr first = Worker().LoadLocalDocument("TSMCnfg.XML");
  const IXMLDOMDocument2Ptr second = Worker().LoadLocalDocument("TSMCnfg.XML");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(first.GetInterfacePtr(), second.GetInterfacePtr());
}

#ifndef _WIN32
// The thread stays initialised after every load that read its file, so that the returned
// document stays usable; a missing file leaves COM alone.
TEST_F(LocalDocumentTest, EveryLoadThatReadsItsFileInitialisesComOnceMore) {
  const int before = PlatformComInitCount();
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(PlatformComInitCount(), before);
  profile.WritePlacementConfiguration("<TSMConfiguration/>");
  EXPECT_TRUE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(PlatformComInitCount(), before + 1);
  profile.WritePlacementConfiguration("<broken");
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(PlatformComInitCount(), before + 2);
}
#endif

struct MalformedCase {
  const char* name;
  const char* content;
  int expectedLine;  // as a full parser reports it, -1 for any; Wine's MSXML reports 0
};

class MalformedFileTest : public LocalDocumentTest,
                          public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedFileTest, GivesNoDocumentAndOneParseErrorLine) {
  profile.WritePlacementConfiguration(GetParam().content);
  const IXMLDOMDocument2Ptr document = Worker().LoadLocalDocument("TSMCnfg.XML");
  EXPECT_FALSE(document);
  ASSERT_EQ(hostsim::LogRecords().size(), 1u);
  const std::vector<ParseErrorLine> lines = ParseErrorLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].text.find(" line, pos "), std::string::npos);
  EXPECT_NE(lines[0].text.find(" and text is \n "), std::string::npos);
  EXPECT_NE(lines[0].text.find(" with reason "), std::string::npos);
  EXPECT_EQ(lines[0].text.back(), '\n');
#ifdef _WIN32
  EXPECT_EQ(lines[0].line, 0);
  EXPECT_NE(lines[0].text.find("with reason error"), std::string::npos) << lines[0].text;
#else
  if (GetParam().expectedLine >= 0) {
    EXPECT_EQ(lines[0].line, GetParam().expectedLine) << lines[0].text;
  }
  EXPECT_GE(lines[0].position, 0);
  // A full parser names the reason, never the bare word.
  EXPECT_EQ(lines[0].text.find("with reason error\n"), std::string::npos) << lines[0].text;
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedFileTest,
    ::testing::Values(MalformedCase{"Empty", "", -1},
                      MalformedCase{"MismatchedTag", "<TSMConfiguration>\n  <A></B>\n</TSMConfiguration>", 2},
                      MalformedCase{"UnclosedRoot", "<TSMConfiguration>\n<A/>\n", 3},
                      MalformedCase{"TextOnly", "not xml at all", 1},
                      MalformedCase{"TwoRoots", "<A/>\n<B/>", 2}),
    [](const ::testing::TestParamInfo<MalformedCase>& testParam) { return testParam.param.name; });

TEST_F(LocalDocumentTest, ParseErrorCarriesTheSourceLineText) {
  profile.WritePlacementConfiguration("<TSMConfiguration>\n<Broken attr=novalue/>\n</TSMConfiguration>");
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  const std::vector<ParseErrorLine> lines = ParseErrorLines();
  ASSERT_EQ(lines.size(), 1u);
#ifndef _WIN32
  EXPECT_NE(lines[0].text.find("<Broken attr=novalue/>"), std::string::npos) << lines[0].text;
#endif
}

class FactoryFailureTest : public LocalDocumentTest,
                           public ::testing::WithParamInterface<HRESULT> {};

TEST_P(FactoryFailureTest, RaisesTheHostStatusWithTheHresult) {
  profile.WritePlacementConfiguration("<TSMConfiguration/>");
  hostsim::SetDomFactoryResult(GetParam());
  char expected[64];
  std::snprintf(expected, sizeof expected, "MSXML could not CoCreateInstance HRESULT=%08X",
                static_cast<unsigned>(GetParam()));
  try {
    static_cast<void>(Worker().LoadLocalDocument("TSMCnfg.XML"));
    FAIL() << "no exception";
  } catch (const Util::Exception& exception) {
    EXPECT_EQ(exception.GetStatus().GetStatusCode(), static_cast<long>(GetParam()));
    EXPECT_STREQ(static_cast<const char*>(exception.GetStatus().GetStatusMessage()), expected);
  }
  EXPECT_TRUE(hostsim::LogRecords().empty());
}

INSTANTIATE_TEST_SUITE_P(Results, FactoryFailureTest,
                         ::testing::Values(REGDB_E_CLASSNOTREG, E_OUTOFMEMORY, E_FAIL));

TEST_F(LocalDocumentTest, FactoryIsNotAskedWhenTheFileIsMissing) {
  const unsigned before = hostsim::DomDocumentsCreated();
  EXPECT_FALSE(Worker().LoadLocalDocument("TSMCnfg.XML"));
  EXPECT_EQ(hostsim::DomDocumentsCreated(), before);
}

TEST_F(LocalDocumentTest, LoadIntoXmlWithoutDocumentRaisesPointerError) {
  ATL::CComBSTR text;
  text.Attach(SysAllocStringLen(nullptr, 0));
  IXMLDOMDocument2Ptr none;
  try {
    Worker().LoadIntoXML(text, none);
    FAIL() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
}

TEST_F(LocalDocumentTest, LoadIntoXmlReleasesTheDocumentOnParseFailure) {
  IXMLDOMDocument2Ptr document;
  ASSERT_EQ(CoInitialize(nullptr) >= 0, true);
  ASSERT_GE(Util::MSXML_XML::CreateDOMDocument(&document), 0);
  ASSERT_TRUE(document);
  const Util::TString source("<unclosed>");
  ATL::CComBSTR text;
  text.Attach(SysAllocStringLen(nullptr, 10));
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, source, -1, text.m_str, 11), 11);
  Worker().LoadIntoXML(text, document);
  EXPECT_FALSE(document);
  EXPECT_EQ(ParseErrorLines().size(), 1u);
  CoUninitialize();
}

}  // namespace
