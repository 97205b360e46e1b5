// corvane-service without the network: how files become sets, which set is current, and its
// command line (end-to-end.sh asks it over HTTP).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Checksum.h"
#include "MessageSetFolder.h"
#include "ParamName.h"
#include "ServiceOptions.h"
#include "TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace corvane::service;
using corvane_test::TemporaryFolder;

namespace {

std::string Set(const std::string& text) {
  return "<Messages><Message>" + text + "</Message></Messages>";
}

}  // namespace

// The folder is read anew on every call: the newest usable set is the last name, its first
// Messages element in no namespace, with no external entity fetched; files that hold no set
// are passed over with a warning.
TEST(MessageSetFolder, NewestUsableSetByNameReadAnewOnEveryCall) {
  const TemporaryFolder folder;
  std::vector<std::string> warnings;
  const MessageSetFolder sets(folder.path, [&](const std::string& w) { warnings.push_back(w); });
  EXPECT_FALSE(sets.Current());
  folder.Write("2024-01.xml",
               "<Wrap><Other/><Messages a='1'><M>first</M></Messages>"
               "<Messages><M>second</M></Messages></Wrap>");
  const auto first = sets.Current();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->messagesXml, "<Messages a=\"1\"><M>first</M></Messages>");
  EXPECT_EQ(first->checksum, ContentChecksum(first->messagesXml));
  folder.Write("2024-02.xml",
               "<?xml version='1.0'?><!DOCTYPE M [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>" +
                   Set("current &e;"));
  folder.Write("2024-03.xml", "<Messages>broken");
  folder.Write("2024-04.txt", Set("not xml by name"));
  folder.Write(".2024-05.xml", Set("hidden"));
  fs::create_directory(folder.path / "2024-06.xml");
  folder.Write("2024-07.xml", "<Messages xmlns='urn:x'><M/></Messages>");
  const auto current = sets.Current();
  ASSERT_TRUE(current);
  EXPECT_EQ(current->fileName, "2024-02.xml");
  EXPECT_NE(current->messagesXml.find("current &e;"), std::string::npos) << current->messagesXml;
  EXPECT_NE(first->checksum, current->checksum);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("2024-07.xml holds no Messages element"), std::string::npos)
      << warnings[0];
  EXPECT_NE(warnings[1].find("2024-03.xml is not well-formed"), std::string::npos);

  warnings.clear();
  const MessageSetFolder missing(folder.path / "missing",
                                 [&](const std::string& w) { warnings.push_back(w); });
  EXPECT_FALSE(missing.Current());
  EXPECT_EQ(warnings.size(), 1u) << "a missing folder is reported";
}

struct OptionsCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* errorPart;  // empty: accepted; "help": the usage is asked for
};

class ServiceOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ServiceOptionsTest, AcceptsOrNamesTheProblem) {
  const auto result = ParseServiceCommandLine(GetParam().arguments, "/default");
  const std::string errorPart = GetParam().errorPart;
  EXPECT_EQ(result.help, errorPart == "help");
  if (errorPart.empty()) {
    ASSERT_TRUE(result.options) << result.error;
  } else if (errorPart != "help") {
    EXPECT_FALSE(result.options);
    EXPECT_NE(result.error.find(errorPart), std::string::npos) << result.error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ServiceOptionsTest,
    ::testing::Values(OptionsCase{"All",
                                  {"--folder", "x", "--port", "8080", "--address", "::1",
                                   "--checksum-param", "sum", "--delay-ms", "20"},
                                  ""},
                      OptionsCase{"Help", {"--port", "1", "--help"}, "help"},
                      OptionsCase{"PortNotANumber", {"--port", "80a"}, "--port must be"},
                      OptionsCase{"PublicAddress", {"--address", "0.0.0.0"}, "loopback"},
                      OptionsCase{"MissingValue", {"--folder"}, "needs a value"},
                      OptionsCase{"Unknown", {"--verbose", "1"}, "unknown option --verbose"},
                      OptionsCase{"EmptyParameter", {"--checksum-param", ""}, "must not be empty"},
                      OptionsCase{"DelayTooLong", {"--delay-ms", "60001"}, "--delay-ms must be"}),
    ParamName());
