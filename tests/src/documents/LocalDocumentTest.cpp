// Loading the placement configuration folder's files into DOM documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "HostProfile.h"

#ifndef _WIN32
#include "platform/linux/PlatformTestSupport.h"
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
  return std::string(
      static_cast<const char*>(Util::TString(static_cast<const WCHAR*>(name.m_str))));
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
    // The text of the line the parser stopped on is in the log line.
    std::istringstream content(GetParam().content);
    std::string line;
    for (int i = 0; i < GetParam().expectedLine; ++i) std::getline(content, line);
    EXPECT_NE(lines[0].text.find(line), std::string::npos) << lines[0].text;
  }
  EXPECT_GE(lines[0].position, 0);
  // A full parser names the reason, never the bare word.
  EXPECT_EQ(lines[0].text.find("with reason error\n"), std::string::npos) << lines[0].text;
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedFileTest,
    ::testing::Values(
        MalformedCase{"Empty", "", -1},
        MalformedCase{"MismatchedTag", "<TSMConfiguration>\n  <A></B>\n</TSMConfiguration>", 2},
        MalformedCase{"UnclosedRoot", "<TSMConfiguration>\n<A/>\n", 3},
        MalformedCase{"TextOnly", "not xml at all", 1}, MalformedCase{"TwoRoots", "<A/>\n<B/>", 2},
        MalformedCase{"UnquotedAttribute",
                      "<TSMConfiguration>\n<Broken attr=novalue/>\n</TSMConfiguration>", 2}),
    [](const ::testing::TestParamInfo<MalformedCase>& testParam) { return testParam.param.name; });

TEST_F(LocalDocumentTest, FactoryFailureRaisesTheHostStatusAndNoDocumentAPointerError) {
  profile.WritePlacementConfiguration("<TSMConfiguration/>");
  for (const HRESULT result : {REGDB_E_CLASSNOTREG, E_OUTOFMEMORY, E_FAIL}) {
    hostsim::SetDomFactoryResult(result);
    char expected[64];
    std::snprintf(expected, sizeof expected, "MSXML could not CoCreateInstance HRESULT=%08X",
                  static_cast<unsigned>(result));
    try {
      static_cast<void>(Worker().LoadLocalDocument("TSMCnfg.XML"));
      ADD_FAILURE() << "no exception";
    } catch (const Util::Exception& exception) {
      EXPECT_EQ(exception.GetStatus().GetStatusCode(), static_cast<long>(result));
      EXPECT_STREQ(static_cast<const char*>(exception.GetStatus().GetStatusMessage()), expected);
    }
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
