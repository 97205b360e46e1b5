// corvane-service without the network: how files become sets, which set is current, and
// which answer a request gets.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "Checksum.h"
#include "ParamName.h"
#include "MessageSetFolder.h"
#include "ServiceOptions.h"
#include "WebControlMessage.h"
#include "XmlDocument.h"

namespace fs = std::filesystem;
using namespace corvane::service;

namespace {

class TempFolder {
public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = fs::temp_directory_path() /
             ("corvane-service-" + std::string(info->name()) + "-" + std::to_string(::getpid()));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TempFolder() { fs::remove_all(m_path); }
  const fs::path& Path() const { return m_path; }
  fs::path Write(const std::string& name, const std::string& content) const {
    std::ofstream(m_path / name, std::ios::binary) << content;
    return m_path / name;
  }

private:
  fs::path m_path;
};

std::string Set(const std::string& text) {
  return "<?xml version=\"1.0\"?><Messages><Message>" + text + "</Message></Messages>";
}

}  // namespace

TEST(ContentChecksum, IsSixteenLowerHexDigitsAndFollowsTheContent) {
  const std::string a = ContentChecksum("<Messages/>");
  EXPECT_EQ(a.size(), 16u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(a, ContentChecksum("<Messages/>"));
  EXPECT_NE(a, ContentChecksum("<Messages />"));
  // FNV-1a 64 reference values.
  EXPECT_EQ(ContentChecksum(""), "cbf29ce484222325");
  EXPECT_EQ(ContentChecksum("a"), "af63dc4c8601ec8c");
}

struct LoadCase {
  const char* name;
  const char* content;
  bool loads;
  const char* errorPart;
  const char* markupPart;
};

class LoadMessageSetTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadMessageSetTest, TakesTheFirstMessagesElementInNoNamespace) {
  const TempFolder folder;
  const LoadCase& c = GetParam();
  const MessageSetLoad load = LoadMessageSet(folder.Write("set.xml", c.content));
  ASSERT_EQ(load.set.has_value(), c.loads) << load.error;
  if (c.loads) {
    EXPECT_EQ(load.set->fileName, "set.xml");
    EXPECT_NE(load.set->messagesXml.find(c.markupPart), std::string::npos)
        << load.set->messagesXml;
    EXPECT_TRUE(load.set->messagesXml.starts_with("<Messages"));
    EXPECT_EQ(load.set->checksum, ContentChecksum(load.set->messagesXml));
  } else {
    EXPECT_NE(load.error.find(c.errorPart), std::string::npos) << load.error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadMessageSetTest,
    ::testing::Values(
        LoadCase{"Root", "<Messages><M>x</M></Messages>", true, "", "<M>x</M>"},
        LoadCase{"Nested", "<Wrap><Other/><Messages a='1'><M>first</M></Messages>"
                 "<Messages><M>second</M></Messages></Wrap>", true, "", "first"},
        LoadCase{"LineBreakAndUtf8", "<Messages><M>caf\xC3\xA9\nzwei</M></Messages>", true, "",
                 "caf\xC3\xA9\nzwei"},
        LoadCase{"Namespaced", "<Messages xmlns='urn:x'><M/></Messages>", false,
                 "no Messages element", ""},
        LoadCase{"NotWellFormed", "<Messages><M></Messages>", false, "not well-formed", ""},
        LoadCase{"Empty", "", false, "not well-formed", ""},
        LoadCase{"NoMessages", "<Other/>", false, "no Messages element", ""},
        LoadCase{"ExternalEntityNotFetched",
                 "<!DOCTYPE M [<!ENTITY e SYSTEM 'file:///etc/hostname'>]><Messages>&e;</Messages>",
                 true, "", "&e;"}),
    ParamName());

TEST(MessageSetFolder, NewestIsTheLastNameAndUnusableFilesArePassedOver) {
  const TempFolder folder;
  folder.Write("2024-01.xml", Set("old"));
  folder.Write("2024-02.xml", Set("current"));
  folder.Write("2024-03.xml", "<Messages>broken");
  folder.Write("2024-04.txt", Set("not xml by name"));
  folder.Write(".2024-05.xml", Set("hidden"));
  fs::create_directory(folder.Path() / "2024-06.xml");
  std::vector<std::string> warnings;
  const MessageSetFolder sets(folder.Path(), [&](const std::string& w) { warnings.push_back(w); });

  const auto current = sets.Current();
  ASSERT_TRUE(current);
  EXPECT_EQ(current->fileName, "2024-02.xml");
  EXPECT_NE(current->messagesXml.find("current"), std::string::npos);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("2024-03.xml is not well-formed"), std::string::npos);
}

TEST(MessageSetFolder, IsReadAnewOnEveryCall) {
  const TempFolder folder;
  const MessageSetFolder sets(folder.Path(), nullptr);
  EXPECT_FALSE(sets.Current());
  folder.Write("a.xml", Set("one"));
  const auto first = sets.Current();
  folder.Write("b.xml", Set("two"));
  const auto second = sets.Current();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->checksum, second->checksum);
  EXPECT_EQ(second->fileName, "b.xml");
}

TEST(MessageSetFolder, MissingFolderGivesNoSetAndAWarning) {
  std::vector<std::string> warnings;
  const MessageSetFolder sets("/nonexistent/corvane/sets",
                              [&](const std::string& w) { warnings.push_back(w); });
  EXPECT_FALSE(sets.Current());
  EXPECT_EQ(warnings.size(), 1u);
}

TEST(MessageSetFolder, BundledSamplesHoldTwoSetsWithALineBreakAndNonAsciiText) {
  const MessageSetFolder sets(CORVANE_SERVICE_SAMPLES_DIR, nullptr);
  ASSERT_EQ(sets.CandidateFiles().size(), 2u);
  std::set<std::string> checksums;
  for (const auto& file : sets.CandidateFiles()) {
    const auto load = LoadMessageSet(file);
    ASSERT_TRUE(load.set) << file << ": " << load.error;
    checksums.insert(load.set->checksum);
  }
  EXPECT_EQ(checksums.size(), 2u);
  const auto current = sets.Current();
  ASSERT_TRUE(current);
  EXPECT_NE(current->messagesXml.find("start-up.\n"), std::string::npos);
  EXPECT_NE(current->messagesXml.find("\xE2\x82\xAC"), std::string::npos);  // the euro sign
}

namespace {

struct ParsedAnswer {
  XmlDocPtr doc;
  xmlNode* root = nullptr;
  std::string checksum;
  xmlNode* messages = nullptr;
  xmlNode* noOperation = nullptr;
};

ParsedAnswer Parse(const std::string& body) {
  ParsedAnswer answer;
  answer.doc = ParseXml(body, "answer");
  if (!answer.doc) return answer;
  answer.root = xmlDocGetRootElement(answer.doc.get());
  xmlChar* value = xmlGetProp(answer.root, reinterpret_cast<const xmlChar*>("Userpref_CheckSum"));
  if (value) answer.checksum = reinterpret_cast<const char*>(value);
  xmlFree(value);
  answer.messages = FindFirstElement(answer.root->children, "Messages");
  answer.noOperation = FindFirstElement(answer.root->children, "NoOperation");
  return answer;
}

MessageSet SampleSet() {
  MessageSet set;
  set.fileName = "s.xml";
  set.messagesXml = "<Messages><M a=\"&amp;\">Zeile 1\nZeile 2 \xC3\xA4</M></Messages>";
  set.checksum = ContentChecksum(set.messagesXml);
  return set;
}

}  // namespace

struct AnswerCase {
  const char* name;
  std::optional<std::string> clientChecksum;
  bool sameAsCurrent;
  bool expectNoOperation;
};

class AnswerForTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerForTest, CarriesTheChecksumAndEitherTheSetOrNoOperation) {
  const MessageSet set = SampleSet();
  auto clientChecksum = GetParam().clientChecksum;
  if (GetParam().sameAsCurrent) clientChecksum = set.checksum;
  const Answer answer = AnswerFor(set, clientChecksum);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.contentType, "text/xml; charset=utf-8");
  const ParsedAnswer parsed = Parse(answer.body);
  ASSERT_TRUE(parsed.doc) << answer.body;
  EXPECT_STREQ(reinterpret_cast<const char*>(parsed.root->name), "WebControlMessage");
  EXPECT_EQ(parsed.checksum, set.checksum);
  EXPECT_EQ(parsed.noOperation != nullptr, GetParam().expectNoOperation);
  EXPECT_EQ(parsed.messages != nullptr, !GetParam().expectNoOperation);
  if (parsed.messages) {
    EXPECT_EQ(SerializeElement(parsed.doc.get(), parsed.messages), set.messagesXml);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AnswerForTest,
    ::testing::Values(AnswerCase{"NoChecksumSent", std::nullopt, false, false},
                      AnswerCase{"DefaultZero", std::string("0"), false, false},
                      AnswerCase{"EmptyChecksum", std::string(), false, false},
                      AnswerCase{"Current", std::nullopt, true, true},
                      AnswerCase{"InvalidVariableText", std::string("invalid variable"), false, false}),
    ParamName());

TEST(AnswerFor, WithoutAnySetAnswers503) {
  const Answer answer = AnswerFor(std::nullopt, std::string("0"));
  EXPECT_EQ(answer.status, 503);
  EXPECT_FALSE(ParseXml(answer.body, "answer"));
}

TEST(AnswerFor, UpperCaseHexOfTheCurrentChecksumIsNotTheSame) {
  const MessageSet set = SampleSet();
  std::string upper = set.checksum;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_NE(upper, set.checksum);  // FNV-1a of this set has letters in it
  EXPECT_TRUE(Parse(AnswerFor(set, upper).body).messages);
}

struct OptionsCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* errorPart;  // empty: accepted
};

class ServiceOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ServiceOptionsTest, AcceptsOrNamesTheProblem) {
  const auto result = ParseServiceCommandLine(GetParam().arguments, "/default");
  const std::string errorPart = GetParam().errorPart;
  if (errorPart.empty()) {
    ASSERT_TRUE(result.options) << result.error;
  } else {
    EXPECT_FALSE(result.options);
    EXPECT_NE(result.error.find(errorPart), std::string::npos) << result.error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ServiceOptionsTest,
    ::testing::Values(
        OptionsCase{"Defaults", {}, ""},
        OptionsCase{"All", {"--folder", "x", "--port", "8080", "--address", "::1",
                            "--checksum-param", "sum", "--delay-ms", "20"}, ""},
        OptionsCase{"PortTooLarge", {"--port", "65536"}, "--port must be"},
        OptionsCase{"PortNotANumber", {"--port", "80a"}, "--port must be"},
        OptionsCase{"PublicAddress", {"--address", "0.0.0.0"}, "loopback"},
        OptionsCase{"MissingValue", {"--folder"}, "needs a value"},
        OptionsCase{"Unknown", {"--verbose", "1"}, "unknown option --verbose"},
        OptionsCase{"EmptyParameter", {"--checksum-param", ""}, "must not be empty"},
        OptionsCase{"DelayTooLong", {"--delay-ms", "60001"}, "--delay-ms must be"}),
    ParamName());

TEST(ServiceOptions, DefaultsAndHelp) {
  const auto defaults = ParseServiceCommandLine({}, "/default");
  ASSERT_TRUE(defaults.options);
  EXPECT_EQ(defaults.options->folder, "/default");
  EXPECT_EQ(defaults.options->address, "127.0.0.1");
  EXPECT_EQ(defaults.options->port, 0);
  EXPECT_EQ(defaults.options->checksumParameter, "cs");
  EXPECT_TRUE(ParseServiceCommandLine({"--port", "1", "--help"}, "/d").help);
  EXPECT_NE(ServiceUsage().find("--checksum-param"), std::string::npos);
}
