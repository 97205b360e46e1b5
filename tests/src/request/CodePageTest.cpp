// Non-ASCII text on its way from the placement configuration and the evaluator into the URL.
// The file's bytes are decoded with the ANSI code page whatever its XML declaration says,
// and every value goes back into that code page before it is percent-encoded. The same
// tests run under code page 1252 and under UTF-8 (Linux: CORVANE_ACP); the expectations
// follow the code page the process has.
#include <gtest/gtest.h>

#include <string>

#include "HostProfile.h"
#include "WorkerPriming.h"

namespace {

using corvane_test::HostProfile;
using corvane_test::Worker;

constexpr UINT kWindows1252 = 1252;
constexpr UINT kUtf8 = 65001;

class CodePageTest : public ::testing::Test {
protected:
  void SetUp() override {
    acp = GetACP();
    if (acp != kWindows1252 && acp != kUtf8) {
      GTEST_SKIP() << "ANSI code page " << acp << " is neither 1252 nor UTF-8";
    }
    corvane_test::PrimeWorker(profile, "0");
    hostsim::SetVariable("v", Value("1"));
  }

  static Util::Variant Value(const char* text) {
    Util::Variant value;
    value.SetString(text);
    return value;
  }

  std::string Build() { return std::string(static_cast<const char*>(Worker().BuildRequestURL())); }

  static std::string Configuration(const std::string& declaredEncoding, const std::string& url,
                                   const std::string& parameterName) {
    return "<?xml version=\"1.0\" encoding=\"" + declaredEncoding + "\"?>\n<TSMConfiguration>" +
           "<WebTSMPlacementConfiguration url=\"" + url + "\"><AceVariableList>" +
           "<AceVariable name=\"v\" parameterName=\"" + parameterName + "\"/>" +
           "</AceVariableList></WebTSMPlacementConfiguration></TSMConfiguration>";
  }

  UINT acp = 0;
  HostProfile profile;
};

TEST_F(CodePageTest, Utf8FileKeepsItsBytesUnderEitherCodePage) {
  // Under 1252 the two bytes of é are decoded as two characters and encoded back to the same
  // two bytes; under UTF-8 they are one character and the same two bytes again.
  profile.WritePlacementConfiguration(Configuration("UTF-8", "http://h/\xC3\xA9", "caf\xC3\xA9"));
  EXPECT_EQ(Build(), "http://h/\xC3\xA9?caf%C3%A9=1");
}

TEST_F(CodePageTest, Windows1252File) {
  profile.WritePlacementConfiguration(
      Configuration("windows-1252", "http://h/\xE9", "caf\xE9"));
  if (acp == kWindows1252) {
    EXPECT_EQ(Build(), "http://h/\xE9?caf%E9=1");
  } else {
    // Not UTF-8: each broken sequence decodes to U+FFFD, which UTF-8 writes in three bytes.
    EXPECT_EQ(Build(), "http://h/\xEF\xBF\xBD?caf%EF%BF%BD=1");
  }
}

TEST_F(CodePageTest, WideEvaluatorValuesAreConvertedToTheCodePage) {
  const WCHAR zurich[] = {'Z', 0xFC, 'r', 'i', 'c', 'h', 0};
  const WCHAR middle[] = {0x4E2D, 0};
  Util::Variant city;
  city.SetWideString(zurich);
  Util::Variant word;
  word.SetWideString(middle);
  hostsim::SetVariable("City", city);
  hostsim::SetVariable("Word", word);
  profile.WritePlacementConfiguration(
      "<TSMConfiguration><WebTSMPlacementConfiguration url='U'><AceVariableList>"
      "<AceVariable name='City'/><AceVariable name='Word'/>"
      "</AceVariableList></WebTSMPlacementConfiguration></TSMConfiguration>");
  if (acp == kWindows1252) {
    // A character the code page lacks becomes its default character.
    EXPECT_EQ(Build(), "U?City=Z%FCrich&Word=%3F");
  } else {
    EXPECT_EQ(Build(), "U?City=Z%C3%BCrich&Word=%E4%B8%AD");
  }
}

}  // namespace
