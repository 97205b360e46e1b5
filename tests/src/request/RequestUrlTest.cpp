// Assembling the request URL from the placement configuration and the host's values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostProfile.h"
#include "PlacementConfiguration.h"
#include "WorkerPriming.h"

namespace {

using corvane_test::HostProfile;
using corvane_test::PlacementConfiguration;
using corvane_test::Worker;

class RequestUrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Util::Variant one;
    one.SetInteger(Util::Variant::TagInt32, 1);
    hostsim::SetVariable("a", one);
    Util::Variant two;
    two.SetString("two");
    hostsim::SetVariable("b", two);
  }

  // The URL a fresh handshake builds from this configuration, which it keeps for the request.
  std::string BuildFrom(const std::string& configuration) {
    corvane_test::PrimeWorker(profile, "0");
    profile.WritePlacementConfiguration(configuration);
    const std::string built = static_cast<const char*>(Worker().BuildRequestURL());
    EXPECT_EQ(std::string(Worker().RequestUrl()), built);
    return built;
  }

  HostProfile profile;
};

// The URL comes from the first WebTSMPlacementConfiguration under a TSMConfiguration root
// (matched by name and case, without a namespace), the variables from every one; a variable
// without a name adds nothing, though the next one's separator counts it (fuzz/request checks
// the pairs, their encoding and the evaluations). The Linux DOM keeps MSXML 6's secure
// defaults: a DOCTYPE is refused, so an external entity is never read.
TEST_F(RequestUrlTest, OnlyAConfigurationOfTheRightShapeGivesAUrl) {
  std::vector<std::pair<std::string, const char*>> cases = {
      {"<TSMConfiguration><WebTSMPlacementConfiguration url='U'><AceVariableList><AceVariable "
       "parameterName='x'/><AceVariable name='a'/></AceVariableList>"
       "</WebTSMPlacementConfiguration><WebTSMPlacementConfiguration url='V'><AceVariableList>"
       "<AceVariable name='b'/></AceVariableList></WebTSMPlacementConfiguration>"
       "</TSMConfiguration>",
       "U?&a=1&b=two"},
      {"<TSMConfiguration><WebTSMPlacementConfiguration url='U'/></TSMConfiguration>", "U?"},
      {"<TSMConfiguration><WebTSMPlacementConfiguration/></TSMConfiguration>", ""},
      {"<tsmconfiguration><WebTSMPlacementConfiguration url='U'/></tsmconfiguration>", ""},
      {"<TSMConfiguration xmlns='urn:corvane:tsm'><WebTSMPlacementConfiguration url='U'/>"
       "</TSMConfiguration>",
       ""},
      {"<TSMConfiguration><WebTSMPlacementConfiguration url='U'>", ""}};
#ifndef _WIN32
  const corvane_test::fs::path secret = profile.base / "secret.txt";
  corvane_test::WriteBytes(secret, "TOPSECRET");
  cases.emplace_back("<!DOCTYPE TSMConfiguration [<!ENTITY leak SYSTEM 'file://" + secret.string() +
                         "'>]><TSMConfiguration><WebTSMPlacementConfiguration url='U&leak;'/>"
                         "</TSMConfiguration>",
                     "");
#endif
  for (const auto& [configuration, expected] : cases) {
    EXPECT_EQ(BuildFrom(configuration), expected) << configuration;
  }
}

// The file's bytes are decoded with the ANSI code page whatever its XML declaration says, and
// every value goes back into that code page before it is percent-encoded. This test runs once
// more under windows-1252 (Linux: CORVANE_ACP); the expectations follow the process's code page.
TEST_F(RequestUrlTest, CodePageCarriesNonAsciiTextIntoTheUrl) {
  const UINT acp = GetACP();
  if (acp != 1252 && acp != 65001) GTEST_SKIP() << "ANSI code page " << acp;
  // Under 1252 the two bytes of é are two characters encoded back to the same two bytes.
  EXPECT_EQ(BuildFrom(PlacementConfiguration("http://h/\xC3\xA9", {{"a", "caf\xC3\xA9"}})),
            "http://h/\xC3\xA9?caf%C3%A9=1");
  // Under UTF-8 each broken sequence decodes to U+FFFD, which UTF-8 writes in three bytes.
  std::string windows1252 = PlacementConfiguration("http://h/\xE9", {{"a", "caf\xE9"}});
  windows1252.replace(windows1252.find("UTF-8"), 5, "windows-1252");
  EXPECT_EQ(BuildFrom(windows1252),
            acp == 1252 ? "http://h/\xE9?caf%E9=1" : "http://h/\xEF\xBF\xBD?caf%EF%BF%BD=1");

  const WCHAR zurich[] = {'Z', 0xFC, 'r', 'i', 'c', 'h', 0};
  const WCHAR middle[] = {0x4E2D, 0};
  Util::Variant city;
  city.SetWideString(zurich);
  Util::Variant word;
  word.SetWideString(middle);
  hostsim::SetVariable("City", city);
  hostsim::SetVariable("Word", word);
  // A character the code page lacks becomes its default character.
  EXPECT_EQ(BuildFrom(PlacementConfiguration("U", {{"City", "City"}, {"Word", "Word"}})),
            acp == 1252 ? "U?City=Z%FCrich&Word=%3F" : "U?City=Z%C3%BCrich&Word=%E4%B8%AD");
}

}  // namespace
